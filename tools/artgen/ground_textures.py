# Writes assets/bitmaps/ground/ground_*.jpg.svg: python3 tools/artgen/ground_textures.py assets/bitmaps/ground
# Generates the seamless 512 px ground texture SVGs.
import math, random, sys
S = 512
OUT = sys.argv[1]

def f(v): return ('%.1f' % v).rstrip('0').rstrip('.')

class Svg:
    def __init__(s): s.parts = []
    def wrap(s, body, x0, y0, x1, y1):
        # Emit the shape once for every tile copy its box touches, so it wraps to the opposite edge.
        for dx in (-S, 0, S):
            for dy in (-S, 0, S):
                if x1 + dx < 0 or x0 + dx > S or y1 + dy < 0 or y0 + dy > S: continue
                if dx == 0 and dy == 0: s.parts.append(body)
                else: s.parts.append('<g transform="translate(%d %d)">%s</g>' % (dx, dy, body))
    def raw(s, t): s.parts.append(t)


PRELUDE = ('<linearGradient id="gu" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="512" y2="0"><stop offset="0" stop-color="#fff" stop-opacity="0"/><stop offset="1" stop-color="#fff"/></linearGradient>'
           '<linearGradient id="gv" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="0" y2="512"><stop offset="0" stop-color="#fff" stop-opacity="0"/><stop offset="1" stop-color="#fff"/></linearGradient>'
           '<mask id="mu" maskUnits="userSpaceOnUse" x="-600" y="-600" width="1800" height="1800"><rect x="0" y="-600" width="512" height="1800" fill="url(#gu)"/><rect x="512" y="-600" width="700" height="1800" fill="#fff"/></mask>'
           '<mask id="mv" maskUnits="userSpaceOnUse" x="-600" y="-600" width="1800" height="1800"><rect x="-600" y="0" width="1800" height="512" fill="url(#gv)"/><rect x="-600" y="512" width="1800" height="700" fill="#fff"/></mask>')

def periodic_noise(svg, nid, freq, octaves, seed):
    # Turbulence made to repeat every 512 px: the field is cross-faded with its copies one
    # tile to the left and one tile up, so opposite edges hold the same values.
    if not any(p.startswith('<linearGradient id="gu"') for p in svg.parts): svg.parts.insert(0, PRELUDE)
    svg.raw('<filter id="%s_t" filterUnits="userSpaceOnUse" x="-1100" y="-1100" width="2200" height="2200" color-interpolation-filters="sRGB">'
            '<feTurbulence type="fractalNoise" baseFrequency="%s" numOctaves="%d" seed="%d"/>'
            '<feColorMatrix type="matrix" values="1 0 0 0 0 0 1 0 0 0 0 0 1 0 0 0 0 0 0 1"/></filter>' % (nid, repr(freq / S), octaves, seed))
    r = lambda x, y: '<rect x="%d" y="%d" width="512" height="512" filter="url(#%s_t)"/>' % (x, y, nid)
    row = lambda y: r(0, y) + '<g mask="url(#mu)"><g transform="translate(512 0)">%s</g></g>' % r(-512, y)
    svg.raw('<defs><g id="%s">%s<g mask="url(#mv)"><g transform="translate(0 512)">%s</g></g></g></defs>' % (nid, row(0), row(-512)))

_noise_ids = {}
def field(svg, freq, octaves, seed):
    key = (freq, octaves, seed)
    if key not in _noise_ids or _noise_ids[key][0] is not svg:
        nid = 'pn%d_%d' % (seed, freq)
        periodic_noise(svg, nid, freq, octaves, seed)
        _noise_ids[key] = (svg, nid)
    return _noise_ids[key][1]

def noise_layer(svg, fid, freq, octaves, seed, colour, gain, bias, channel=0, kind=None):
    # A tint whose alpha follows one channel of the periodic noise.
    nid = field(svg, freq, octaves, seed)
    r, g, b = (int(colour[i:i + 2], 16) / 255 for i in (1, 3, 5))
    row = ['0'] * 5
    row[channel] = f2(gain * 1.15); row[4] = f2(bias - (gain * 1.15 - gain) * 0.5)
    svg.raw('<filter id="%s" x="0" y="0" width="%d" height="%d" filterUnits="userSpaceOnUse" color-interpolation-filters="sRGB">'
            '<feColorMatrix type="matrix" values="0 0 0 0 %s 0 0 0 0 %s 0 0 0 0 %s %s"/></filter>'
            % (fid, S, S, f2(r), f2(g), f2(b), ' '.join(row)))
    svg.raw('<g filter="url(#%s)"><use xlink:href="#%s"/></g>' % (fid, nid))

def f2(v): return ('%.4f' % v).rstrip('0').rstrip('.') or '0'

def relief(svg, fid, freq, octaves, seed, scale, strength, elevation=40):
    # Bump-lit periodic noise, light from the upper right; drawn over a margin so the lighting wraps too.
    nid = field(svg, freq, octaves, seed)
    svg.raw('<filter id="%s" x="-16" y="-16" width="%d" height="%d" filterUnits="userSpaceOnUse" color-interpolation-filters="sRGB">'
            '<feColorMatrix in="SourceGraphic" x="0" y="0" width="512" height="512" type="matrix" values="0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 0" result="h"/><feTile in="h" result="ht"/><feDiffuseLighting in="ht" surfaceScale="%s" diffuseConstant="1" lighting-color="#ffffff" result="l"><feDistantLight azimuth="-45" elevation="%d"/></feDiffuseLighting>'
            '<feColorMatrix in="l" type="matrix" values="0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 %s 0 %s" result="dark"/>'
            '<feColorMatrix in="l" type="matrix" values="0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 0 0 %s 0 %s" result="lite"/>'
            '<feMerge><feMergeNode in="dark"/><feMergeNode in="lite"/></feMerge></filter>'
            % (fid, S + 32, S + 32, f2(scale * 1.5), elevation,
               f2(-strength * 1.6), f2(strength * 1.6 * 0.62), f2(strength * 1.6), f2(-strength * 1.6 * 0.72)))
    uses = '<use xlink:href="#%s"/>' % nid
    svg.raw('<g filter="url(#%s)">%s</g>' % (fid, uses))

def blob(rnd, cx, cy, r, n=9, jag=0.3):
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n + rnd.uniform(-0.2, 0.2)
        rr = r * rnd.uniform(1 - jag, 1 + jag * 0.5)
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return pts

def poly(pts): return 'M' + ' L'.join('%s %s' % (f(x), f(y)) for x, y in pts) + 'Z'

def smooth(pts):
    # Closed Catmull-Rom-ish curve through midpoints.
    n = len(pts); d = ''
    for i in range(n):
        p0, p1 = pts[i], pts[(i + 1) % n]
        m = ((p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2)
        if i == 0: d = 'M%s %s' % (f(m[0]), f(m[1]))
        p2 = pts[(i + 2) % n]; m2 = ((p1[0] + p2[0]) / 2, (p1[1] + p2[1]) / 2)
        d += ' Q%s %s %s %s' % (f(p1[0]), f(p1[1]), f(m2[0]), f(m2[1]))
    return d + 'Z'

def bbox(pts, pad=0):
    xs = [p[0] for p in pts]; ys = [p[1] for p in pts]
    return min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad

def pebble(svg, rnd, cx, cy, r, body, lit, dark, shade_op=0.45):
    pts = blob(rnd, cx, cy, r, n=rnd.randint(6, 9), jag=0.25)
    d = smooth(pts)
    sh = smooth([(x - r * 0.35, y + r * 0.35) for x, y in pts])
    hl = smooth([(cx + (x - cx) * 0.55 + r * 0.25, cy + (y - cy) * 0.55 - r * 0.25) for x, y in pts])
    body_svg = ('<path d="%s" fill="#000" fill-opacity="%s"/><path d="%s" fill="%s"/><path d="%s" fill="%s" fill-opacity="0.75"/>'
                % (sh, f2(shade_op), d, body, hl, lit))
    svg.wrap(body_svg, *bbox(pts, r * 0.6))

def speckles(svg, rnd, n, rmin, rmax, colours, op=(0.4, 0.9)):
    for _ in range(n):
        x, y = rnd.uniform(0, S), rnd.uniform(0, S); r = rnd.uniform(rmin, rmax)
        svg.wrap('<circle cx="%s" cy="%s" r="%s" fill="%s" fill-opacity="%s"/>' % (f(x), f(y), f2(r), rnd.choice(colours), f2(rnd.uniform(*op))), x - r, y - r, x + r, y + r)

def blade_tuft(svg, rnd, cx, cy, colours, n, lmin, lmax, wmax, shadow=0.22):
    parts = []; pts = []
    parts.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="#1d2a12" fill-opacity="%s"/>' % (f(cx - 1.5), f(cy + 1.5), f(lmax * 0.55), f(lmax * 0.45), f2(shadow)))
    base = rnd.uniform(0, 2 * math.pi)
    for i in range(n):
        a = base + 2 * math.pi * i / n + rnd.uniform(-0.5, 0.5)
        L = rnd.uniform(lmin, lmax); w = rnd.uniform(wmax * 0.5, wmax)
        bend = rnd.uniform(-0.5, 0.5)
        ox, oy = cx + math.cos(a) * 1.5, cy + math.sin(a) * 1.5
        tx, ty = ox + math.cos(a + bend * 0.4) * L, oy + math.sin(a + bend * 0.4) * L
        mx, my = ox + math.cos(a + bend) * L * 0.5, oy + math.sin(a + bend) * L * 0.5
        nx, ny = -math.sin(a) * w / 2, math.cos(a) * w / 2
        d = 'M%s %s Q%s %s %s %s Q%s %s %s %sZ' % (f(ox + nx), f(oy + ny), f(mx + nx * 0.6), f(my + ny * 0.6), f(tx), f(ty),
                                                  f(mx - nx * 0.6), f(my - ny * 0.6), f(ox - nx), f(oy - ny))
        parts.append('<path d="%s" fill="%s"/>' % (d, rnd.choice(colours)))
        pts += [(tx, ty), (ox, oy)]
    svg.wrap(''.join(parts), *bbox(pts + [(cx, cy)], lmax * 0.6))

def head(svg, name, base):
    svg.raw('<!-- Seamless %s ground, 512 px: shapes crossing an edge repeat on the opposite edge, noise is stitched to the tile. -->' % name)
    svg.raw('<rect width="%d" height="%d" fill="%s"/>' % (S, S, base))

def grass(rnd):
    s = Svg(); head(s, 'grass', '#4c6733')
    noise_layer(s, 'broadDark', 3, 3, 11, '#34481f', 2.4, -1.15, 0)
    noise_layer(s, 'broadLight', 4, 3, 12, '#6f8b47', 2.2, -1.15, 1)
    noise_layer(s, 'soil', 6, 3, 13, '#5d5236', 3.0, -1.75, 2)
    relief(s, 'relief', 40, 3, 14, 3, 0.18)
    speckles(s, rnd, 260, 0.8, 1.8, ['#5a4e34', '#3b3324'], (0.25, 0.55))
    cols_dark = ['#2f4420', '#38502a', '#3d5527']
    cols_mid = ['#4b6a31', '#56753a', '#5f7d3d', '#4f6e2f']
    cols_lit = ['#6c8c47', '#7a9850', '#86a35a', '#8a9a55']
    # A few dozen tufts drawn once and reused, so the lawn can be dense without a huge file.
    kinds = []
    for k in range(24):
        t = Svg()
        if k < 8: blade_tuft(t, rnd, 0, 0, cols_dark + cols_mid, rnd.randint(7, 11), 6, 13, 2.4, 0.2)
        elif k < 18: blade_tuft(t, rnd, 0, 0, cols_mid + cols_lit, rnd.randint(6, 10), 5, 11, 2.1, 0.14)
        else: blade_tuft(t, rnd, 0, 0, cols_lit + ['#93a45e'], rnd.randint(4, 7), 4, 8, 1.8, 0.1)
        s.raw('<defs><g id="tuft%d">%s</g></defs>' % (k, ''.join(p for p in t.parts if p).replace('<g transform', '<g data-copy="1" transform') if False else t.parts[0]))
        kinds.append(k)
    for layer, (n, ks) in enumerate([(420, range(0, 8)), (620, range(8, 18)), (260, range(18, 24))]):
        for _ in range(n):
            x, y = rnd.uniform(0, S), rnd.uniform(0, S)
            s.wrap('<use xlink:href="#tuft%d" transform="translate(%s %s) rotate(%d) scale(%s)"/>' % (rnd.choice(list(ks)), f(x), f(y), rnd.randint(0, 359), f2(rnd.uniform(0.8, 1.2))), x - 17, y - 17, x + 17, y + 17)
    for _ in range(10):
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(2, 3.5), '#807a68', '#a29c88', '#000')
    speckles(s, rnd, 40, 1.0, 1.6, ['#b8b27a', '#c9c7a8', '#a8a060'], (0.5, 0.8))  # dull flowers/seed heads
    return s

def rut(s, rnd, y0, amp, phase, width, wet):
    # A tyre rut wrapping horizontally: a dark pressed band, a lit lip on the far side, tread bars.
    n = 64
    def yat(x): return y0 + amp * math.sin(2 * math.pi * x / S + phase) + amp * 0.3 * math.sin(4 * math.pi * x / S + phase * 2)
    top = [(S * i / n, yat(S * i / n) - width / 2) for i in range(n + 1)]
    bot = [(S * i / n, yat(S * i / n) + width / 2) for i in range(n + 1)]
    band = poly(top + bot[::-1])
    lip_hi = 'M' + ' L'.join('%s %s' % (f(x), f(y + 1.2)) for x, y in bot)
    lip_lo = 'M' + ' L'.join('%s %s' % (f(x), f(y - 1)) for x, y in top)
    body = ('<path d="%s" fill="#2e2318" fill-opacity="0.32"/>' % band +
            '<path d="%s" fill="none" stroke="#86705a" stroke-width="2.6" stroke-opacity="0.4"/>' % lip_hi +
            '<path d="%s" fill="none" stroke="#241b12" stroke-width="2" stroke-opacity="0.35"/>' % lip_lo)
    bars = []
    x = 0.0
    while x < S:
        y = yat(x)
        if rnd.random() < 0.7:  # the tread is smeared in places
            bars.append('M%s %s L%s %s L%s %s' % (f(x - 2), f(y - width / 2 + 2.5), f(x + 1.5), f(y), f(x - 2), f(y + width / 2 - 2.5)))
        x += 6
    body += '<path d="%s" stroke="#1f170f" stroke-width="1.8" stroke-opacity="0.3" fill="none"/>' % ' '.join(bars)
    ys = [p[1] for p in top + bot]
    s.wrap(body, -4, min(ys) - 3, S + 4, max(ys) + 3)
    s.wrap(body.replace('<path', '<path transform="translate(%d 0)"' % S, 1) if False else '', 0, 0, 0, 0)
    # Water lying in the lowest stretches.
    for _ in range(wet):
        cx = rnd.uniform(0, S); L = rnd.uniform(20, 60)
        pts = [(cx + t, yat(cx + t)) for t in [L * k / 8 - L / 2 for k in range(9)]]
        d = 'M' + ' L'.join('%s %s' % (f(x), f(y)) for x, y in pts)
        w = width * 0.55
        s.wrap('<path d="%s" stroke="#3b3a33" stroke-width="%s" stroke-linecap="round" fill="none" stroke-opacity="0.7"/>'
               '<path d="%s" transform="translate(1 -1)" stroke="#6f7470" stroke-width="%s" stroke-linecap="round" fill="none" stroke-opacity="0.35"/>'
               % (d, f(w), d, f(w * 0.35)), *bbox(pts, w))

def mud(rnd):
    s = Svg(); head(s, 'mud', '#5c4934')
    noise_layer(s, 'wet', 3, 3, 21, '#3b2d20', 2.2, -1.1, 0)
    noise_layer(s, 'dry', 4, 3, 22, '#7a6549', 2.4, -1.2, 1)
    relief(s, 'relief', 24, 4, 23, 4, 0.16)
    for _ in range(26):
        x, y = rnd.uniform(0, S), rnd.uniform(0, S); r = rnd.uniform(5, 16)
        pts = blob(rnd, x, y, r, 8, 0.35)
        s.wrap('<path d="%s" fill="#2f2419" fill-opacity="0.35"/>' % smooth(pts), *bbox(pts))
    rut(s, rnd, 150, 12, 0.7, 16, 2)
    rut(s, rnd, 214, 12, 0.7, 16, 1)
    rut(s, rnd, 392, 8, 2.5, 13, 1)
    rut(s, rnd, 448, 8, 2.5, 13, 0)
    speckles(s, rnd, 700, 0.7, 1.6, ['#2c2218', '#8b7658', '#3a2e22'], (0.35, 0.75))
    for _ in range(40):
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(1.8, 4.2), rnd.choice(['#6e6558', '#7b6f5c', '#5d5548']), '#9c9180', '#000', 0.5)
    cols = ['#55552e', '#4d5a2c', '#6a6a3a']
    for _ in range(22): blade_tuft(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), cols, rnd.randint(4, 7), 4, 9, 1.8, 0.15)
    return s

def snow(rnd):
    s = Svg(); head(s, 'snow', '#dde4ea')
    noise_layer(s, 'drift', 3, 3, 31, '#aebdcb', 2.2, -1.05, 0)
    noise_layer(s, 'bright', 4, 3, 32, '#f4f7fa', 2.6, -1.1, 1)
    relief(s, 'crust', 20, 4, 33, 4, 0.22, 35)
    # Wind streaks across the crust.
    for _ in range(60):
        x, y = rnd.uniform(0, S), rnd.uniform(0, S); L = rnd.uniform(20, 70); a = rnd.uniform(-0.25, -0.05)
        x2, y2 = x + L * math.cos(a), y + L * math.sin(a)
        s.wrap('<path d="M%s %s Q%s %s %s %s" stroke="%s" stroke-width="%s" stroke-linecap="round" fill="none" stroke-opacity="%s"/>'
               % (f(x), f(y), f((x + x2) / 2), f((y + y2) / 2 + rnd.uniform(-4, 4)), f(x2), f(y2), rnd.choice(['#b6c4d1', '#ffffff']), f(rnd.uniform(1.5, 3.5)), f2(rnd.uniform(0.25, 0.5))),
               min(x, x2) - 8, min(y, y2) - 8, max(x, x2) + 8, max(y, y2) + 8)
    speckles(s, rnd, 300, 0.6, 1.4, ['#ffffff'], (0.5, 0.9))
    speckles(s, rnd, 160, 0.6, 1.3, ['#9fb0c0'], (0.3, 0.6))
    for _ in range(8):
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(2, 4), '#5f5d58', '#8a8780', '#000', 0.18)
    for _ in range(10): blade_tuft(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), ['#7d7556', '#8e8460', '#6b6446'], rnd.randint(3, 6), 4, 9, 1.5, 0.08)
    return s

def ripples(s, rnd, count, colour_lit, colour_dark, amp):
    spacing = S / count
    for k in range(count):
        y0 = k * spacing + rnd.uniform(-2, 2); ph = rnd.uniform(0, 6.28); ph2 = rnd.uniform(0, 6.28)
        def yat(x): return y0 + amp * math.sin(2 * math.pi * x / S * 2 + ph) + amp * 0.5 * math.sin(2 * math.pi * x / S * 5 + ph2) + 6 * math.sin(2 * math.pi * x / S + k)
        x = rnd.uniform(0, S)
        end = x + S
        while x < end:
            L = rnd.uniform(40, 160)
            seg = [(x + L * i / 16, yat(x + L * i / 16)) for i in range(17)]
            d = 'M' + ' L'.join('%s %s' % (f(a), f(b)) for a, b in seg)
            op = rnd.uniform(0.35, 0.7)
            body = ('<path d="%s" transform="translate(-1 3.5)" stroke="%s" stroke-width="6" stroke-linecap="round" fill="none" stroke-opacity="%s"/>'
                    '<path d="%s" transform="translate(0 1.5)" stroke="%s" stroke-width="2.5" stroke-linecap="round" fill="none" stroke-opacity="%s"/>'
                    '<path d="%s" stroke="%s" stroke-width="2.5" stroke-linecap="round" fill="none" stroke-opacity="%s"/>'
                    % (d, colour_dark, f2(op * 0.22), d, colour_dark, f2(op * 0.3), d, colour_lit, f2(op * 0.45)))
            s.wrap(body, *bbox(seg, 5))
            x += L + rnd.uniform(4, 20)

def desert(rnd):
    s = Svg(); head(s, 'desert', '#bfa26c')
    noise_layer(s, 'dark', 3, 3, 41, '#9c7f50', 2.2, -1.1, 0)
    noise_layer(s, 'light', 4, 3, 42, '#d6bf8d', 2.4, -1.15, 1)
    relief(s, 'grain', 48, 3, 43, 2, 0.12)
    ripples(s, rnd, 20, '#d8c390', '#7d6440', 3)
    speckles(s, rnd, 600, 0.6, 1.4, ['#8a6f45', '#e2d0a4', '#a08458'], (0.35, 0.7))
    for _ in range(30):
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(1.6, 4.5), rnd.choice(['#9a8462', '#8c7a5e', '#a88f66']), '#cdb88e', '#000', 0.35)
    for _ in range(6): blade_tuft(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), ['#7d7348', '#8d8052', '#6e6640'], rnd.randint(5, 8), 5, 11, 1.6, 0.18)
    return s

def cracks(s, rnd, n, colour, width, op):
    for _ in range(n):
        x, y = rnd.uniform(0, S), rnd.uniform(0, S); a = rnd.uniform(0, 6.28)
        pts = [(x, y)]
        for _ in range(rnd.randint(3, 6)):
            a += rnd.uniform(-0.45, 0.45); L = rnd.uniform(5, 12)
            x += L * math.cos(a); y += L * math.sin(a); pts.append((x, y))
        d = 'M' + ' L'.join('%s %s' % (f(px), f(py)) for px, py in pts)
        s.wrap('<path d="%s" transform="translate(0.8 -0.8)" stroke="#ffffff" stroke-opacity="%s" stroke-width="%s" fill="none" stroke-linejoin="round"/>'
               '<path d="%s" stroke="%s" stroke-opacity="%s" stroke-width="%s" fill="none" stroke-linejoin="round" stroke-linecap="round"/>'
               % (d, f2(op * 0.25), f2(width * 0.7), d, colour, f2(op), f2(width)), *bbox(pts, 3))

def facet_rock(s, rnd, cx, cy, r, base):
    # A flat-topped stone: lit upper-right faces, dark lower-left, a cast shadow.
    pts = blob(rnd, cx, cy, r, rnd.randint(6, 8), 0.3)
    top = [(cx + (x - cx) * 0.5 + r * 0.1, cy + (y - cy) * 0.5 - r * 0.1) for x, y in pts]
    br = int(base[1:3], 16), int(base[3:5], 16), int(base[5:7], 16)
    def shade(k): return '#%02x%02x%02x' % tuple(max(0, min(255, int(c * k))) for c in br)
    body = '<path d="%s" fill="#000" fill-opacity="0.35" transform="translate(%s %s)"/>' % (poly(pts), f(-r * 0.3), f(r * 0.3))
    n = len(pts)
    for i in range(n):
        a, b = pts[i], pts[(i + 1) % n]; ta, tb = top[i], top[(i + 1) % n]
        mx, my = (a[0] + b[0]) / 2 - cx, (a[1] + b[1]) / 2 - cy
        lit = (mx - my) / (math.hypot(mx, my) + 1e-6) / math.sqrt(2)
        body += '<path d="%s" fill="%s"/>' % (poly([a, b, tb, ta]), shade(0.8 + 0.35 * lit))
    body += '<path d="%s" fill="%s"/>' % (poly(top), shade(1.15))
    s.wrap(body, *bbox(pts, r * 0.5))

def rock(rnd):
    s = Svg(); head(s, 'rock', '#75716a')
    noise_layer(s, 'dark', 3, 3, 51, '#56534d', 2.4, -1.15, 0)
    noise_layer(s, 'light', 4, 3, 52, '#8f8b82', 2.4, -1.15, 1)
    noise_layer(s, 'ochre', 5, 3, 55, '#7d6f58', 2.8, -1.6, 2)
    relief(s, 'relief', 16, 5, 53, 6, 0.3)
    cracks(s, rnd, 30, '#3d3a35', 2.0, 0.55)
    speckles(s, rnd, 700, 0.6, 1.5, ['#4f4c46', '#9b978d', '#605c55'], (0.35, 0.75))
    for _ in range(70):
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(1.6, 4), rnd.choice(['#6d6962', '#7f7b72', '#8a857b']), '#a7a398', '#000', 0.45)
    for _ in range(14):
        facet_rock(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(6, 13), rnd.choice(['#7c7870', '#85807a', '#736e66']))
    speckles(s, rnd, 50, 1.5, 3.5, ['#6f7450', '#7a7a58'], (0.35, 0.6))  # lichen
    for _ in range(12): blade_tuft(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), ['#59603a', '#646b40', '#4c5332'], rnd.randint(4, 7), 4, 8, 1.6, 0.15)
    return s

def urban(rnd):
    s = Svg(); head(s, 'urban', '#6a6a66')
    noise_layer(s, 'grime', 3, 3, 61, '#4a4a46', 2.4, -1.1, 0)
    noise_layer(s, 'pale', 4, 3, 62, '#85847e', 2.4, -1.15, 1)
    relief(s, 'grain', 40, 3, 63, 2, 0.14)
    # Concrete slabs, 128 px, each a touch different in tone.
    for i in range(4):
        for j in range(4):
            x, y = i * 128, j * 128
            t = rnd.choice(['#000000', '#ffffff', '#3a3a30'])
            s.raw('<rect x="%d" y="%d" width="128" height="128" fill="%s" fill-opacity="%s"/>' % (x, y, t, f2(rnd.uniform(0.02, 0.07))))
    joints = []
    for k in range(4):
        joints.append('M%d 0 V512' % (k * 128)); joints.append('M0 %d H512' % (k * 128))
    jd = ' '.join(joints)
    s.raw('<path d="%s" transform="translate(1.5 1.5)" stroke="#8e8d87" stroke-width="1.6" stroke-opacity="0.7" fill="none"/>' % jd)
    s.raw('<path d="%s" stroke="#353532" stroke-width="2.4" fill="none"/>' % jd)
    s.raw('<path d="%s" transform="translate(512 0)" stroke="#353532" stroke-width="2.4" fill="none"/><path d="%s" transform="translate(0 512)" stroke="#353532" stroke-width="2.4" fill="none"/>' % (jd, jd))
    cracks(s, rnd, 16, '#2f2f2c', 1.8, 0.55)
    for _ in range(8):  # oil and scorch stains
        x, y = rnd.uniform(0, S), rnd.uniform(0, S); r = rnd.uniform(8, 22)
        pts = blob(rnd, x, y, r, 10, 0.35)
        s.wrap('<path d="%s" fill="#24231f" fill-opacity="%s"/>' % (smooth(pts), f2(rnd.uniform(0.15, 0.3))), *bbox(pts))
    speckles(s, rnd, 500, 0.6, 1.4, ['#4a4a46', '#9a9992', '#5a5853'], (0.35, 0.7))
    for _ in range(55):  # rubble: concrete and brick chips
        c = rnd.choice(['#85837c', '#8f8c84', '#7a7770', '#807870', '#7a6a5e'])
        pebble(s, rnd, rnd.uniform(0, S), rnd.uniform(0, S), rnd.uniform(1.8, 4.5), c, '#a9a69d', '#000', 0.45)
    for _ in range(16):  # weeds in the joints
        k = rnd.randint(0, 3) * 128; t = rnd.uniform(0, S)
        x, y = (k, t) if rnd.random() < 0.5 else (t, k)
        blade_tuft(s, rnd, x, y, ['#4f5a32', '#5b6839', '#46502c'], rnd.randint(4, 7), 3, 8, 1.6, 0.1)
    return s

gens = dict(grass=grass, mud=mud, snow=snow, desert=desert, rock=rock, urban=urban)
for name, g in gens.items():
    svg = g(random.Random(hash(name) % 1000 if False else sum(map(ord, name)) * 7919))
    body = '\n'.join(p for p in svg.parts if p)
    with open('%s/ground_%s.jpg.svg' % (OUT, name), 'w') as fo:
        fo.write('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="512" height="512" viewBox="0 0 512 512">\n<defs/>\n%s\n</svg>\n' % body)
