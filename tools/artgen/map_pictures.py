# Draws a campaign map's picture (the battle browser's preview) from its scenario file:
#   python3 tools/artgen/map_pictures.py <repo root> <scenario folder> [...]
# writes assets/scenarios/<folder>/bitmaps/<texture>.svg: the squares' ground, the routes,
# props, the attacker zone, exits, emplacements, supports and defender squares.
import csv, io, os, random, re, sys

GROUND = {'snow': ['#dfe6ec', '#eef2f5'], 'rock': ['#978b7b', '#8a7f70'], 'grass': ['#6b8744', '#5d7a3a'],
          'desert': ['#d4b574', '#c9a865'], 'mud': ['#6e5a3c', '#7a6545'], 'urban': ['#555962', '#4a4d55']}
# Prop type: colour and radius as a fraction of a square.
PROPS = {'tree_pine': ('#23401f', 0.15625), 'snow_drift': ('#f8fbfd', 0.15625), 'rock_large': ('#5e5951', 0.140625),
         'tree_dead': ('#4a3b2e', 0.125), 'tank_trap': ('#2e2b28', 0.078125), 'barbed_wire': ('#3a3a3a', 0.09375),
         'tree_oak': ('#2f4a1e', 0.1875), 'bush': ('#3d5a26', 0.09375), 'grass_tuft': ('#7d9a4c', 0.0625),
         'rock_small': ('#6f6a62', 0.0625), 'wreck_truck': ('#3b3530', 0.125), 'crater_old': ('#4a3f33', 0.140625),
         'road_sign': ('#c8b060', 0.046875), 'crates': ('#6a5334', 0.09375), 'fuel_drums': ('#7a3a2a', 0.078125),
         'sandbags': ('#8c7a55', 0.140625), 'tent': ('#5a5a40', 0.15625), 'ruin_wall': ('#2f3036', 0.1875),
         'puddle': ('#3e6c8c', 0.125), 'palm': ('#3a6a2a', 0.171875), 'cactus': ('#4f7a3a', 0.078125)}


def read_scenario(path):
    cfg, squares, props, section = {}, {}, [], None
    for line in open(path):
        line = line.rstrip('\n')
        m = re.match(r'\s*\[(\w+)\]', line)
        if m:
            section = m.group(1)
            continue
        if '=' not in line or section is None: continue
        key, value = (p.strip() for p in line.split('=', 1))
        if section == 'config': cfg[key] = value
        elif section == 'map':
            row, col = map(int, key.split('-'))
            squares[(row, col)] = next(csv.reader(io.StringIO(value)))
        elif section.startswith('prop_'):
            props.append((section[5:], [float(v) for v in value.split(',')]))
    return cfg, squares, props


def picture(path):
    cfg, squares, props = read_scenario(path)
    cols, rows = int(cfg['maxcols']), int(cfg['maxrows'])
    s = 512.0 / max(cols, rows)
    ox, oy = (512 - cols * s) / 2, (512 - rows * s) / 2
    rnd = random.Random(cfg.get('name', ''))
    centre = lambda r, c: (ox + (c + 0.5) * s, oy + (r + 0.5) * s)
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">']
    first = GROUND.get(squares[(0, 0)][4].strip(), GROUND['snow'])[0]
    out.append('<rect x="0" y="0" width="512" height="512" fill="%s"/>' % first)
    for (r, c), cells in sorted(squares.items()):
        colour = rnd.choice(GROUND.get(cells[4].strip(), GROUND['snow']))
        out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s"/>' %
                   (ox + c * s, oy + r * s, s + 0.5, s + 0.5, colour))
    for (r, c), cells in sorted(squares.items()):
        for link in cells[1].split(','):
            if not link.strip() or int(link) < 0: continue
            lr, lc = divmod(int(link), cols)
            (x1, y1), (x2, y2) = centre(r, c), centre(lr, lc)
            for colour, opacity, width in (('#3b2f22', 0.55, 0.34), ('#d8c79a', 0.35, 0.06)):
                out.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-opacity="%.2f" '
                           'stroke-width="%.1f" stroke-linecap="round"/>' % (x1, y1, x2, y2, colour, opacity, width * s))
    for kind, (colour, radius) in PROPS.items():
        for name, v in props:
            if name == kind:
                out.append('<circle cx="%.1f" cy="%.1f" r="%.1f" fill="%s" fill-opacity="0.85"/>' %
                           (ox + v[0] / 200 * s, oy + v[1] / 200 * s, radius * s, colour))
    for (r, c), cells in sorted(squares.items()):
        if cells[2].strip() == '1':
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#c0392b" fill-opacity="0.35" '
                       'stroke="#e74c3c" stroke-width="2"/>' % (ox + c * s + 3, oy + r * s + 3, s - 6, s - 6))
    for (r, c), cells in sorted(squares.items()):
        if len(cells) > 7 and cells[7].strip() == 'EXIT':
            x, y = centre(r, c)
            d = s * 0.22
            out.append('<polygon points="%.1f,%.1f %.1f,%.1f %.1f,%.1f" fill="#f1c40f" stroke="#7d6608" '
                       'stroke-width="2"/>' % (x, y + d, x - d, y - d, x + d, y - d))
    for (r, c), cells in sorted(squares.items()):
        if cells[3].strip() != '1': continue
        x, y = centre(r, c)
        kind = cells[6].strip()
        if kind == 'EMPLACEMENT':
            out.append('<circle cx="%.1f" cy="%.1f" r="%.1f" fill="none" stroke="#2e86c1" stroke-width="%.1f"/>' %
                       (x, y, s * 0.26, s * 0.08))
        elif kind == 'SUPPORT':
            out.append('<circle cx="%.1f" cy="%.1f" r="%.1f" fill="#f4f6f7" stroke="#1c2833" stroke-width="2"/>' %
                       (x, y, s * 0.285))
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#c0392b"/>' %
                       (x - s * 0.208, y - s * 0.065, s * 0.417, s * 0.13))
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#c0392b"/>' %
                       (x - s * 0.065, y - s * 0.208, s * 0.13, s * 0.417))
        else:
            out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="#1f4e79" stroke="#85c1e9" '
                       'stroke-width="2"/>' % (x - s * 0.26, y - s * 0.26, s * 0.52, s * 0.52))
    out.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="none" stroke="#111111" stroke-width="2"/>' %
               (ox + 1, oy + 1, cols * s - 2, rows * s - 2))
    out.append('</svg>')
    return cfg['texture'], '\n'.join(out) + '\n'


if __name__ == '__main__':
    root = sys.argv[1]
    for folder in sys.argv[2:]:
        texture, svg = picture(os.path.join(root, 'data', 'scenarios', folder, 'scenario.txt'))
        target = os.path.join(root, 'assets', 'scenarios', folder, 'bitmaps', texture + '.svg')
        with open(target, 'w') as f: f.write(svg)
        print('wrote', target)
