# Writes the map designer's art: python3 tools/artgen/map_designer_art.py <repo root>
#  - assets/bitmaps/maps/textures/<look>.jpg.svg: per ground look one 512 px sheet of four
#    seamless 2 x 2 tile sets (each set is the look's seamless texture at half size with its
#    own tint and marks), and data/groundtextures/textures.ini entries "<look><set>_<quarter>";
#  - editor_buttons.dds, arrow.dds, exit_square.dds, crosshatch.dds, gui_square_brown.dds and
#    shadowmap_default.jpg.
import math, os, random, re, sys

ROOT = sys.argv[1]
LOOKS = ['grass', 'desert', 'snow', 'mud', 'rock', 'urban']
# Per set: tint colour and opacity, then marks (count, colour).
SETS = [(None, 0.0, 0, '#000'), ('#000000', 0.18, 6, '#2a2418'), ('#ffffff', 0.12, 10, '#6b6150'),
        ('#3a2c10', 0.22, 14, '#1c160c')]

def body(svg_text):
    return re.sub(r'^\s*<svg[^>]*>', '', svg_text, count=1).rsplit('</svg>', 1)[0]

def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as f: f.write(text)

def tile_sheets():
    lines = []
    for look in LOOKS:
        src = open(os.path.join(ROOT, 'assets/bitmaps/ground/ground_%s.jpg.svg' % look)).read()
        parts = ['<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="512" height="512" viewBox="0 0 512 512">',
                 '<!-- Four seamless 2 x 2 tile sets of the %s ground. -->' % look,
                 '<defs><g id="base">%s</g></defs>' % body(src)]
        rnd = random.Random(look)
        for k, (tint, opacity, marks, mark_colour) in enumerate(SETS):
            x, y = (k % 2) * 256, (k // 2) * 256
            parts.append('<g transform="translate(%d %d) scale(0.5)"><use xlink:href="#base"/>' % (x, y))
            if tint: parts.append('<rect width="512" height="512" fill="%s" fill-opacity="%.2f"/>' % (tint, opacity))
            # Marks kept clear of the set's edges so the set still tiles with every other.
            for _ in range(marks):
                cx, cy = rnd.uniform(60, 452), rnd.uniform(60, 452)
                rx, ry = rnd.uniform(8, 40), rnd.uniform(6, 24)
                parts.append('<ellipse cx="%.0f" cy="%.0f" rx="%.0f" ry="%.0f" transform="rotate(%d %.0f %.0f)" fill="%s" fill-opacity="0.35"/>'
                             % (cx, cy, rx, ry, rnd.randint(0, 179), cx, cy, mark_colour))
            parts.append('</g>')
        parts.append('</svg>\n')
        write(os.path.join(ROOT, 'assets/bitmaps/maps/textures/%s.jpg.svg' % look), '\n'.join(parts))
        for k in range(4):
            for q in range(4):
                u = (k % 2) * 0.5 + (q % 2) * 0.25
                v = (k // 2) * 0.5 + (q // 2) * 0.25
                lines.append('%s%d_%d,%s.jpg,%g,%g,%g,%g' % (look, k + 1, q + 1, look, u, v, u + 0.25, v + 0.25))
    return lines

def cell_icon(n, hi):
    # One 64 px cell of the editor sheet: a plate and a white glyph.
    x, y = (n % 8) * 64, (n // 8) * 64
    plate = '#3c4a3a' if hi else '#222a22'
    rim = '#c8d8a8' if hi else '#6d7c66'
    g = ['<g transform="translate(%d %d)"><rect x="3" y="3" width="58" height="58" rx="8" fill="%s" stroke="%s" stroke-width="3"/>' % (x, y, plate, rim)]
    ink = '#ffffff' if hi else '#dfe6d6'
    base = n - 8 if hi else n
    arrow = '<path d="M14 32 L40 32 M32 20 L46 32 L32 44" stroke="%s" stroke-width="7" fill="none" stroke-linecap="round" stroke-linejoin="round"/>' % ink
    rot = {16: 0, 17: 180, 18: 90, 19: 270}
    if base in rot:
        g.append('<g transform="rotate(%d 32 32)">%s</g>' % (rot[base], arrow))
    elif base == 2:  # clear
        g.append('<rect x="18" y="22" width="28" height="30" rx="3" fill="none" stroke="%s" stroke-width="5"/><path d="M14 18 H50 M26 14 H38" stroke="%s" stroke-width="5"/>' % (ink, ink))
    elif base == 4:  # save
        g.append('<rect x="14" y="14" width="36" height="36" rx="4" fill="%s"/><rect x="22" y="16" width="20" height="12" fill="%s"/><rect x="20" y="36" width="24" height="12" fill="%s"/>' % (ink, plate, plate))
    elif base in (5, 6):  # rotate tile prop
        flip = '' if base == 5 else ' transform="translate(64 0) scale(-1 1)"'
        g.append('<g%s><path d="M44 22 A14 14 0 1 0 46 38" stroke="%s" stroke-width="6" fill="none"/><path d="M38 14 L48 22 L36 28 Z" fill="%s"/></g>' % (flip, ink, ink))
    elif base == 7:  # clear tile prop
        g.append('<rect x="16" y="16" width="32" height="32" fill="none" stroke="%s" stroke-width="4"/><path d="M20 20 L44 44 M44 20 L20 44" stroke="#ff7060" stroke-width="6"/>' % ink)
    elif base == 20:  # attacker zone
        g.append('<rect x="14" y="14" width="36" height="36" fill="#ff6464"/>')
    elif base == 21:  # defender zone
        g.append('<rect x="14" y="14" width="36" height="36" fill="#64ff64"/>')
    elif base == 22:  # no units
        g.append('<circle cx="32" cy="32" r="16" fill="none" stroke="%s" stroke-width="5"/><path d="M21 43 L43 21" stroke="%s" stroke-width="5"/>' % (ink, ink))
    elif base == 23:  # clear path
        g.append('<path d="M12 40 H40" stroke="%s" stroke-width="6"/><path d="M36 14 L52 30 M52 14 L36 30" stroke="#ff7060" stroke-width="6"/>' % ink)
    elif base == 32:  # exit
        g.append('<rect x="16" y="12" width="24" height="40" fill="none" stroke="%s" stroke-width="5"/><path d="M30 32 H54 M46 24 L54 32 L46 40" stroke="%s" stroke-width="5" fill="none"/>' % (ink, ink))
    elif base in (33, 34):  # automatic path, plain or rocky
        g.append('<path d="M12 50 C24 50 22 32 32 32 C42 32 40 14 52 14" stroke="%s" stroke-width="8" fill="none"/>' % ('#c8b48a' if base == 33 else '#9a9a9a'))
        if base == 34:
            for cx, cy in ((20, 22), (44, 46), (30, 50)): g.append('<circle cx="%d" cy="%d" r="5" fill="%s"/>' % (cx, cy, ink))
        g.append('<text x="48" y="56" font-family="DejaVu Sans" font-weight="bold" font-size="16" fill="%s">A</text>' % ink)
    elif base == 35:  # support square
        g.append('<path d="M14 50 L50 14 M14 36 L36 14 M28 50 L50 28" stroke="#64ff64" stroke-width="5"/>')
    g.append('</g>')
    return ''.join(g)

def editor_buttons():
    used = [2, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23, 32, 33, 34, 35]
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512" data-texture="uncompressed">',
             '<!-- Map designer buttons: an 8 x 8 sheet, each icon with its highlight 8 cells on. -->']
    for n in used:
        parts.append(cell_icon(n, False))
        parts.append(cell_icon(n + 8, True))
    parts.append('</svg>\n')
    write(os.path.join(ROOT, 'assets/bitmaps/mapdesigner/editor_buttons.dds.svg'), '\n'.join(parts))

def marks():
    d = os.path.join(ROOT, 'assets/bitmaps/mapdesigner')
    write(os.path.join(d, 'arrow.dds.svg'),
          '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="128" viewBox="0 0 64 128">\n'
          '<!-- Path arrow, pointing up the texture (the view turns it). -->\n'
          '<path d="M32 6 L60 50 L42 50 L42 122 L22 122 L22 50 L4 50 Z" fill="#ffffff" stroke="#000000" stroke-opacity="0.5" stroke-width="3"/>\n</svg>\n')
    write(os.path.join(d, 'exit_square.dds.svg'),
          '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">\n'
          '<!-- Exit square: a ringed target. -->\n'
          '<circle cx="64" cy="64" r="54" fill="none" stroke="#ffffff" stroke-width="12"/>\n'
          '<circle cx="64" cy="64" r="28" fill="none" stroke="#ffffff" stroke-width="10"/>\n'
          '<path d="M64 4 V30 M64 98 V124 M4 64 H30 M98 64 H124" stroke="#ffffff" stroke-width="8"/>\n</svg>\n')
    lines = ''.join('<path d="M%d 0 L0 %d" stroke="#ffffff" stroke-width="5"/>' % (i, i) for i in range(16, 256, 16))
    write(os.path.join(d, 'crosshatch.dds.svg'),
          '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">\n'
          '<!-- Support square hatching, tinted by the vertex colour. -->\n' + lines + '\n</svg>\n')
    write(os.path.join(ROOT, 'assets/bitmaps/gui/gui_square_brown.dds.svg'),
          '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
          '<!-- Highlighted picker square: warm brown with a bright rim. -->\n'
          '<rect x="2" y="2" width="28" height="28" rx="3" fill="#1a1008"/>\n'
          '<rect x="3.5" y="3.5" width="25" height="25" rx="2" fill="#5a3a18" stroke="#e0a860" stroke-width="1.5"/>\n</svg>\n')
    rnd = random.Random(7)
    blobs = ''.join('<ellipse cx="%d" cy="%d" rx="%d" ry="%d" fill="#000000" fill-opacity="%.2f"/>'
                    % (rnd.randint(40, 472), rnd.randint(40, 472), rnd.randint(30, 90), rnd.randint(20, 70), rnd.uniform(0.05, 0.16))
                    for _ in range(24))
    write(os.path.join(d, 'shadowmap_default.jpg.svg'),
          '<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">\n'
          '<!-- Default shadow map: light ground, soft cloud shadows and darker edges. -->\n'
          '<defs><radialGradient id="v" cx="50%" cy="50%" r="72%"><stop offset="0.55" stop-color="#000" stop-opacity="0"/>'
          '<stop offset="1" stop-color="#000" stop-opacity="0.45"/></radialGradient>'
          '<filter id="b" x="-10%" y="-10%" width="120%" height="120%"><feGaussianBlur stdDeviation="18"/></filter></defs>\n'
          '<rect width="512" height="512" fill="#f4f2ec"/>\n<g filter="url(#b)">' + blobs + '</g>\n'
          '<rect width="512" height="512" fill="url(#v)"/>\n</svg>\n')

def catalogue(lines):
    # The loader reads every line of the section as an entry, so the note on the tile sets
    # goes in the file's header and the entries follow the plain looks directly.
    path = os.path.join(ROOT, 'data/groundtextures/textures.ini')
    text = open(path).read()
    note = ('; The map designer\'s tile sets are "<look><set>_<quarter>": quarters top-left, top-right,\n'
            '; bottom-left, bottom-right of each 2 x 2 set on the sheet "<look>.jpg".\n')
    text = text.replace(note, '')
    text = re.sub(r'\n; Tile sets of the map designer.*', '', text, flags=re.S)
    text = re.sub(r'^\d+ = \w+\d_\d,.*\n', '', text, flags=re.M).rstrip('\n') + '\n'
    text = text.replace('[textures]\n', note + '[textures]\n', 1)
    n = len(re.findall(r'^\d+ =', text, flags=re.M))
    for i, line in enumerate(lines):
        text += '%d = %s\n' % (n + i, line)
    write(path, text)

lines = tile_sheets()
editor_buttons()
marks()
catalogue(lines)
