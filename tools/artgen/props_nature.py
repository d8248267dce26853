# Writes the nature prop sheet: python3 tools/artgen/props_nature.py assets/bitmaps/props/props_nature.dds.svg
import math, random, sys
rnd = random.Random(4242)
def f(v): return ('%.1f' % v).rstrip('0').rstrip('.')
def poly(pts): return 'M' + ' L'.join('%s %s' % (f(x), f(y)) for x, y in pts) + 'Z'
def smooth(pts):
    n = len(pts); d = ''
    for i in range(n):
        p1 = pts[(i + 1) % n]; p0 = pts[i]; p2 = pts[(i + 2) % n]
        m = ((p0[0] + p1[0]) / 2, (p0[1] + p1[1]) / 2); m2 = ((p1[0] + p2[0]) / 2, (p1[1] + p2[1]) / 2)
        if i == 0: d = 'M%s %s' % (f(m[0]), f(m[1]))
        d += ' Q%s %s %s %s' % (f(p1[0]), f(p1[1]), f(m2[0]), f(m2[1]))
    return d + 'Z'
def lobed(cx, cy, r, lobes, depth, jitter=0.08, n=None):
    n = n or lobes * 6; pts = []; ph = rnd.uniform(0, 6.28)
    for i in range(n):
        a = 2 * math.pi * i / n
        rr = r * (1 - depth * (0.5 - 0.5 * math.cos(lobes * a + ph)) ** 0.6) * rnd.uniform(1 - jitter, 1 + jitter)
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    return smooth(pts)
def shade(c, k):
    r, g, b = int(c[1:3], 16), int(c[3:5], 16), int(c[5:7], 16)
    return '#%02x%02x%02x' % tuple(max(0, min(255, int(v * k))) for v in (r, g, b))

out = []
def cell(cx, cy, body): out.append('<g transform="translate(%d %d)">%s</g>' % (cx, cy, body))

# Light comes from overhead, leaning to the upper right (props turn with their heading, the
# code casts the shadow down-left), so each clump is lit on top and dark at its rim.
def canopy(base, dark, lit, high, r, clumps, lobes, seed_dx=0):
    b = '<defs><radialGradient id="cg%s" cx="0.58" cy="0.4" r="0.65"><stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/></radialGradient>' % (base[1:], base, dark)
    b += ('<filter id="leaf%s" x="0" y="0" width="1" height="1" color-interpolation-filters="sRGB"><feTurbulence type="fractalNoise" baseFrequency="0.16" numOctaves="2" seed="%d"/>'
          '<feColorMatrix type="matrix" values="0 0 0 0 0.08 0 0 0 0 0.14 0 0 0 0 0.05 1.6 0 0 0 -0.72"/><feComposite in2="SourceGraphic" operator="in"/></filter></defs>') % (base[1:], rnd.randint(1, 99))
    outline = lobed(64, 64, r, lobes, 0.16)
    b += '<path d="%s" fill="%s"/>' % (outline, dark)
    b += '<path d="%s" fill="url(#cg%s)" transform="translate(64 64) scale(0.93) translate(-64 -64)"/>' % (outline, base[1:])
    for i in range(clumps):
        a = 2 * math.pi * i / clumps + rnd.uniform(-0.3, 0.3); d = r * rnd.uniform(0.25, 0.55)
        x, y = 64 + d * math.cos(a), 64 + d * math.sin(a); cr = r * rnd.uniform(0.3, 0.42)
        b += '<path d="%s" fill="%s" fill-opacity="0.9"/>' % (lobed(x - 1.5, y + 1.5, cr, 5, 0.2), dark)
        b += '<path d="%s" fill="%s"/>' % (lobed(x, y, cr * 0.92, 5, 0.2), base)
        b += '<path d="%s" fill="%s" fill-opacity="0.85"/>' % (lobed(x + cr * 0.18, y - cr * 0.18, cr * 0.6, 4, 0.25), lit)
        b += '<path d="%s" fill="%s" fill-opacity="0.7"/>' % (lobed(x + cr * 0.3, y - cr * 0.3, cr * 0.28, 3, 0.3), high)
    b += '<path d="%s" fill="%s" fill-opacity="0.9"/>' % (lobed(66, 62, r * 0.32, 5, 0.2), lit)
    b += '<path d="%s" fill="%s" fill-opacity="0.75"/>' % (lobed(68, 60, r * 0.16, 4, 0.3), high)
    b += '<path d="%s" fill="#000" filter="url(#leaf%s)" fill-opacity="1"/>' % (outline, base[1:])
    return b

# Oak (128,0) and bush (0,128): layered broadleaf canopies.
cell(128, 0, canopy('#47652f', '#263b1c', '#62843f', '#86a35a', 54, 7, 9))
cell(0, 128, canopy('#4a6a36', '#2a4020', '#668a48', '#88a766', 40, 5, 7))

# Pine (0,0): stacked star whorls, darker below, a bright leader at the top.
b = ''
for k, (r, c) in enumerate([(52, '#1f3824'), (44, '#28472d'), (35, '#315636'), (26, '#3b6640'), (17, '#4b7a4c'), (9, '#5f9060')]):
    n = 13 - k; pts = []
    for i in range(2 * n):
        a = math.pi * i / n + k * 0.31
        rr = r * (1.0 if i % 2 == 0 else 0.72) * rnd.uniform(0.92, 1.05)
        pts.append((64 + k * 0.6 + rr * math.cos(a), 64 - k * 0.6 + rr * math.sin(a)))
    b += '<path d="%s" fill="%s" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>' % (poly(pts), c, shade(c, 0.7))
b += '<circle cx="68" cy="60" r="3.5" fill="#7aa271"/>'
cell(0, 0, b)

# Dead tree (256,0): forked grey-brown limbs tapering outwards, a lit ridge on each.
b = ''
def limb(x, y, a, L, w, depth):
    global b
    x2, y2 = x + L * math.cos(a), y + L * math.sin(a)
    b += '<path d="M%s %s L%s %s" stroke="#3a3027" stroke-width="%s" stroke-linecap="round"/>' % (f(x), f(y), f(x2), f(y2), f(w + 1.5))
    b += '<path d="M%s %s L%s %s" stroke="#6e6152" stroke-width="%s" stroke-linecap="round"/>' % (f(x + 0.5), f(y - 0.5), f(x2 + 0.5), f(y2 - 0.5), f(w * 0.45))
    if depth > 0:
        for da in (-0.5, 0.45):
            limb(x2, y2, a + da + rnd.uniform(-0.15, 0.15), L * 0.62, w * 0.6, depth - 1)
for i in range(6):
    limb(64, 64, 2 * math.pi * i / 6 + rnd.uniform(-0.3, 0.3), rnd.uniform(20, 28), 5, 2)
b += '<circle cx="64" cy="64" r="8" fill="#4a3d30"/><circle cx="65.5" cy="62.5" r="4.5" fill="#6e6152"/><circle cx="64" cy="64" r="1.8" fill="#2f261e"/>'
cell(256, 0, b)

# Palm (384,0): long fronds with a midrib and leaflets.
b = ''
for i in range(8):
    a = 2 * math.pi * i / 8 + rnd.uniform(-0.15, 0.15); L = rnd.uniform(48, 56)
    tx, ty = 64 + L * math.cos(a), 64 + L * math.sin(a); nx, ny = -math.sin(a), math.cos(a)
    mx, my = 64 + L * 0.5 * math.cos(a) + nx * 5, 64 + L * 0.5 * math.sin(a) + ny * 5
    leaf = 'M64 64 Q%s %s %s %s Q%s %s 64 64Z' % (f(mx + nx * 9), f(my + ny * 9), f(tx), f(ty), f(mx - nx * 9), f(my - ny * 9))
    b += '<path d="%s" fill="#3f6530" stroke="#27401e" stroke-width="1.2"/>' % leaf
    for t in range(3, 10):
        px, py = 64 + (tx - 64) * t / 10 + nx * 5 * math.sin(math.pi * t / 10), 64 + (ty - 64) * t / 10 + ny * 5 * math.sin(math.pi * t / 10)
        w = 8 * math.sin(math.pi * t / 10)
        b += '<path d="M%s %s l%s %s M%s %s l%s %s" stroke="#27401e" stroke-width="1"/>' % (f(px), f(py), f(nx * w), f(ny * w), f(px), f(py), f(-nx * w), f(-ny * w))
    b += '<path d="M64 64 Q%s %s %s %s" stroke="#7d9a55" stroke-width="1.6" fill="none"/>' % (f(mx), f(my), f(tx), f(ty))
b += '<circle cx="64" cy="64" r="8" fill="#5a4a32"/><circle cx="65" cy="63" r="5" fill="#7a6646"/>'
cell(384, 0, b)

# Rocks (128,128) large and (256,128) small: faceted, ridge lit from the upper right.
def rock(cx, cy, r, base, n, seed):
    rr = random.Random(seed)
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n + rr.uniform(-0.2, 0.2)
        d = r * rr.uniform(0.8, 1.05)
        pts.append((cx + d * math.cos(a), cy + d * math.sin(a) * 0.85))
    apex = (cx + r * 0.12, cy - r * 0.12)
    ridge = [(apex[0] + (x - apex[0]) * 0.42, apex[1] + (y - apex[1]) * 0.42) for x, y in pts]
    s = '<path d="%s" fill="%s"/>' % (poly(pts), shade(base, 0.55))
    for i in range(n):
        a, bq = pts[i], pts[(i + 1) % n]; ta, tb = ridge[i], ridge[(i + 1) % n]
        mx, my = (a[0] + bq[0]) / 2 - cx, (a[1] + bq[1]) / 2 - cy
        lit = (mx - my) / (math.hypot(mx, my) + 1e-6) / math.sqrt(2)
        s += '<path d="%s" fill="%s" stroke="%s" stroke-width="0.8" stroke-linejoin="round"/>' % (poly([a, bq, tb, ta]), shade(base, 0.82 + 0.3 * lit + rr.uniform(-0.05, 0.05)), shade(base, 0.6))
    for i in range(0, n, 2):
        ta, tb = ridge[i], ridge[(i + 1) % n]
        s += '<path d="%s" fill="%s"/>' % (poly([ta, tb, apex]), shade(base, 1.12 + rr.uniform(-0.04, 0.06)))
    for i in range(1, n, 2):
        ta, tb = ridge[i], ridge[(i + 1) % n]
        s += '<path d="%s" fill="%s"/>' % (poly([ta, tb, apex]), shade(base, 1.22 + rr.uniform(-0.04, 0.06)))
    s += '<path d="%s" fill="none" stroke="%s" stroke-width="1.5" stroke-linejoin="round"/>' % (poly(pts), shade(base, 0.45))
    return s
b = rock(62, 66, 42, '#7d7a72', 9, 5)
b += '<path d="M52 60 Q60 70 58 84" stroke="#4b4943" stroke-width="1.3" fill="none"/><path d="M74 52 l8 -6" stroke="#4b4943" stroke-width="1.1"/>'
b += '<circle cx="46" cy="80" r="3" fill="#6c7350" fill-opacity="0.7"/><circle cx="50" cy="84" r="2" fill="#6c7350" fill-opacity="0.6"/>'
cell(128, 128, b)
cell(256, 128, rock(64, 64, 26, '#807c73', 8, 9))

# Grass tuft (384,128): blades radiating from a root, lit tips.
b = '<ellipse cx="64" cy="68" rx="14" ry="10" fill="#1d2a12" fill-opacity="0.35"/>'
for i in range(26):
    a = -math.pi / 2 + rnd.uniform(-1.5, 1.5) if i < 18 else rnd.uniform(0, 6.28)
    L = rnd.uniform(26, 42); w = rnd.uniform(3, 5); bend = rnd.uniform(-0.4, 0.4)
    ox, oy = 64, 68; tx, ty = ox + L * math.cos(a + bend * 0.4), oy + L * math.sin(a + bend * 0.4)
    mx, my = ox + L * 0.5 * math.cos(a + bend), oy + L * 0.5 * math.sin(a + bend); nx, ny = -math.sin(a) * w / 2, math.cos(a) * w / 2
    c = rnd.choice(['#4f6e2f', '#5b7a37', '#6f8f45', '#7f9b4c', '#3f5a27'])
    b += '<path d="M%s %s Q%s %s %s %s Q%s %s %s %sZ" fill="%s" stroke="%s" stroke-width="0.6"/>' % (f(ox + nx), f(oy + ny), f(mx + nx * 0.6), f(my + ny * 0.6), f(tx), f(ty), f(mx - nx * 0.6), f(my - ny * 0.6), f(ox - nx), f(oy - ny), c, shade(c, 0.7))
cell(384, 128, b)

# Old crater (0,256): scorched halo, raised rim lit on the upper right outside and the lower left inside, dark bowl.
b = ('<defs><radialGradient id="scorch"><stop offset="0.45" stop-color="#1a1510" stop-opacity="0.85"/><stop offset="0.75" stop-color="#2a231a" stop-opacity="0.5"/><stop offset="1" stop-color="#2a231a" stop-opacity="0"/></radialGradient>'
     '<linearGradient id="rim" x1="0" y1="1" x2="1" y2="0"><stop offset="0" stop-color="#4a3c2d"/><stop offset="1" stop-color="#8a7458"/></linearGradient>'
     '<linearGradient id="bowl" x1="0" y1="1" x2="1" y2="0"><stop offset="0" stop-color="#6b573f"/><stop offset="0.55" stop-color="#2c241a"/><stop offset="1" stop-color="#16120d"/></linearGradient>'
     '<radialGradient id="floor" cx="0.45" cy="0.55"><stop offset="0" stop-color="#17130f"/><stop offset="1" stop-color="#2c241a" stop-opacity="0"/></radialGradient>'
     '<filter id="clod" x="0" y="0" width="1" height="1"><feTurbulence type="fractalNoise" baseFrequency="0.12" numOctaves="2" seed="7"/><feColorMatrix type="matrix" values="0 0 0 0 0.12 0 0 0 0 0.1 0 0 0 0 0.07 2.2 0 0 0 -1.05"/><feComposite in2="SourceGraphic" operator="in"/></filter></defs>')
b += '<path d="%s" fill="url(#scorch)"/>' % lobed(64, 64, 62, 11, 0.12, 0.1)
b += '<path d="%s" fill="#000" filter="url(#clod)"/>' % lobed(64, 64, 60, 11, 0.12, 0.1)
b += '<path d="%s" fill="url(#rim)"/>' % lobed(64, 64, 44, 13, 0.1, 0.06)
b += '<path d="%s" fill="url(#bowl)"/>' % lobed(64, 64, 34, 9, 0.08, 0.05)
b += '<ellipse cx="61" cy="67" rx="19" ry="18" fill="url(#floor)"/>'
for _ in range(22):
    a = rnd.uniform(0, 6.28); d = rnd.uniform(40, 56); x, y = 64 + d * math.cos(a), 64 + d * math.sin(a); r = rnd.uniform(1.5, 3.5)
    b += '<circle cx="%s" cy="%s" r="%s" fill="#3a2f24"/><circle cx="%s" cy="%s" r="%s" fill="#7d6a52"/>' % (f(x - 0.6), f(y + 0.6), f(r), f(x + 0.3), f(y - 0.3), f(r * 0.55))
cell(0, 256, b)

# Snow drift (128,256): soft mound, blue shade on the lower left.
b = ('<defs><radialGradient id="drift" cx="0.6" cy="0.38" r="0.62"><stop offset="0" stop-color="#ffffff"/><stop offset="0.6" stop-color="#e8eef3"/><stop offset="1" stop-color="#b3c2cf" stop-opacity="0.9"/></radialGradient>'
     '<filter id="soft"><feGaussianBlur stdDeviation="2"/></filter></defs>')
b += '<path d="%s" fill="url(#drift)" filter="url(#soft)"/>' % lobed(64, 64, 52, 3, 0.12, 0.03)
b += '<path d="M26 70 Q60 52 100 58" stroke="#ffffff" stroke-width="3" fill="none" stroke-opacity="0.8" stroke-linecap="round"/>'
b += '<path d="M30 76 Q62 60 98 64" stroke="#a9b9c7" stroke-width="2" fill="none" stroke-opacity="0.6" stroke-linecap="round"/>'
cell(128, 256, b)

# Cactus (256,256): ribbed arms seen from above.
b = ''
for (x, y, w, h) in [(56, 18, 16, 94), (28, 46, 30, 13), (70, 36, 28, 13)]:
    b += '<rect x="%d" y="%d" width="%d" height="%d" rx="%s" fill="#3e6a32" stroke="#233f1f" stroke-width="2"/>' % (x, y, w, h, f(min(w, h) / 2))
    if w < h: b += '<rect x="%s" y="%d" width="%s" height="%d" rx="2" fill="#6a9550"/>' % (f(x + w * 0.55), y + 4, f(w * 0.22), h - 8)
    else: b += '<rect x="%d" y="%s" width="%d" height="%s" rx="2" fill="#6a9550"/>' % (x + 4, f(y + h * 0.2), w - 8, f(h * 0.22))
for i in range(16): b += '<circle cx="%s" cy="%s" r="0.9" fill="#d8d0a0"/>' % (f(rnd.uniform(58, 70)), f(rnd.uniform(22, 108)))
cell(256, 256, b)

# Puddle (384,256): dark water with a muddy edge and a sky glint.
b = ('<defs><radialGradient id="water" cx="0.4" cy="0.6"><stop offset="0" stop-color="#2f3a40"/><stop offset="0.8" stop-color="#3f4b50"/><stop offset="1" stop-color="#4d4535"/></radialGradient></defs>')
b += '<path d="%s" fill="#3e3124" fill-opacity="0.7" transform="translate(64 64) scale(1 0.8) translate(-64 -64)"/>' % lobed(64, 64, 56, 4, 0.1, 0.03)
b += '<path d="%s" fill="url(#water)" transform="translate(64 64) scale(1 0.72) translate(-64 -64)"/>' % lobed(64, 64, 48, 4, 0.1, 0.03)
b += '<path d="M50 52 Q66 46 84 52" stroke="#9fb0b8" stroke-width="3" fill="none" stroke-opacity="0.5" stroke-linecap="round"/>'
b += '<path d="M60 60 Q70 57 80 60" stroke="#c8d4da" stroke-width="1.5" fill="none" stroke-opacity="0.5" stroke-linecap="round"/>'
cell(384, 256, b)

svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">\n'
       '<!-- Nature props, 128 px cells: pine, oak, dead tree, palm / bush, rocks, grass / crater, snow drift, cactus, puddle.\n'
       '     Props turn with their heading and the game casts their shadow, so shading is mostly overhead and no shadow is painted. -->\n'
       + '\n'.join(out) + '\n</svg>\n')
open(sys.argv[1], 'w').write(svg)
