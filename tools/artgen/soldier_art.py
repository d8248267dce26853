# Writes the soldiers' and crates' art: python3 tools/artgen/soldier_art.py assets/bitmaps
#  - units/soldier1_deathanim1.dds.svg, units/soldier1_deathanim2.dds.svg: 16 x 8 cells of
#    64 px; frames 0-31 the body, 32-63 its armour, 64-95 the head, falling back (1) or
#    sideways (2). Drawn in light greys: the game tints each part with the design's colour.
#  - units/soldier_gun.dds.svg: the rifle a fallen soldier drops.
#  - shared/blobshadow.dds.svg: the soft round shadow under a soldier.
#  - shared/supplydrop.dds.svg: a supply crate seen from above.
#  - effects/supply_collect.dds.svg: the ring of a crate being picked up.
#  - effects/blood_particles.dds.svg: droplets for the blood spray (cells 0-3 of 8 x 8).
import math, os, sys

OUT = sys.argv[1]


def write(rel, width, height, body, comment):
    path = os.path.join(OUT, rel)
    with open(path, "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
                % (width, height, width, height))
        f.write("  <!-- %s -->\n" % comment)
        f.write(body)
        f.write("</svg>\n")


def cell(n):
    return (n % 16) * 64, (n // 16) * 64


def ease(t):
    return t * t * (3 - 2 * t)


def death_sheet(kind):
    parts = []
    for f in range(32):
        t = ease(f / 31.0)
        if kind == 1:
            # Knocked backwards: the body tips over behind the feet and lies stretched out.
            angle = 0.0
            dx, dy = 0.0, 12.0 * t
        else:
            # Spun round by the hit: falls to his right side.
            angle = 80.0 * t
            dx, dy = 10.0 * t, 4.0 * t
        length = 8 + 9 * t  # the torso grows longer as it lies flat
        cx, cy = 32 + dx, 34 + dy
        x, y = cell(f)
        parts.append('  <g transform="translate(%d %d) rotate(%.1f %.1f %.1f)">\n' % (x, y, angle, cx, cy))
        # Legs show as the body lies down.
        if t > 0.2:
            o = 0.9 * (t - 0.2) / 0.8
            parts.append('    <rect x="%.1f" y="%.1f" width="6" height="%.1f" rx="3" fill="#c8c8c8" '
                         'stroke="#555555" stroke-width="1" fill-opacity="%.2f"/>\n'
                         % (cx - 8, cy - length - 12 * o, 12 * o + 2, o))
            parts.append('    <rect x="%.1f" y="%.1f" width="6" height="%.1f" rx="3" fill="#c8c8c8" '
                         'stroke="#555555" stroke-width="1" fill-opacity="%.2f"/>\n'
                         % (cx + 2, cy - length - 12 * o, 12 * o + 2, o))
        parts.append('    <ellipse cx="%.1f" cy="%.1f" rx="13" ry="%.1f" fill="#e0e0e0" stroke="#555555" '
                     'stroke-width="1"/>\n' % (cx, cy, length))
        # Arms flung out.
        spread = 4 + 8 * t
        parts.append('    <line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="#cfcfcf" stroke-width="4" '
                     'stroke-linecap="round"/>\n' % (cx - 11, cy, cx - 11 - spread, cy + 6 * t))
        parts.append('    <line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="#cfcfcf" stroke-width="4" '
                     'stroke-linecap="round"/>\n' % (cx + 11, cy, cx + 11 + spread, cy + 6 * t))
        parts.append("  </g>\n")
        # Armour: the vest over the chest.
        x, y = cell(32 + f)
        parts.append('  <g transform="translate(%d %d) rotate(%.1f %.1f %.1f)">\n' % (x, y, angle, cx, cy))
        parts.append('    <rect x="%.1f" y="%.1f" width="16" height="%.1f" rx="3" fill="#ffffff" '
                     'fill-opacity="0.9" stroke="#666666" stroke-width="0.8"/>\n'
                     % (cx - 8, cy - 4 - 2 * t, 9 + 5 * t))
        parts.append("  </g>\n")
        # Head: ends up beyond the shoulders.
        x, y = cell(64 + f)
        hy = cy + length + 2 * t - 8 if kind == 1 else cy + 9 * t
        parts.append('  <g transform="translate(%d %d) rotate(%.1f %.1f %.1f)">\n' % (x, y, angle, cx, cy))
        parts.append('    <circle cx="%.1f" cy="%.1f" r="7" fill="#e6e6e6" stroke="#555555" stroke-width="1"/>\n'
                     % (cx, hy))
        parts.append('    <ellipse cx="%.1f" cy="%.1f" rx="5" ry="3" fill="#ffffff" fill-opacity="0.7"/>\n'
                     % (cx, hy - 2))
        parts.append("  </g>\n")
    write("units/soldier1_deathanim%d.dds.svg" % kind, 1024, 512, "".join(parts),
          "Soldier death %s: 16 x 8 cells of 64 px; body 0-31, armour 32-63, head 64-95." %
          ("falling back" if kind == 1 else "spinning to the side"))


def gun():
    body = ('  <rect x="10" y="29" width="40" height="6" rx="2" fill="#3b3b35" stroke="#1c1c1a" stroke-width="1"/>\n'
            '  <rect x="44" y="30.5" width="14" height="3" fill="#2a2a27"/>\n'
            '  <rect x="4" y="28" width="12" height="8" rx="2" fill="#6b5438" stroke="#3a2d1e" stroke-width="1"/>\n'
            '  <rect x="24" y="35" width="4" height="8" rx="1" fill="#2a2a27"/>\n')
    write("units/soldier_gun.dds.svg", 64, 64, body, "A dropped rifle, seen from above.")


def blob():
    body = ('  <defs><radialGradient id="g"><stop offset="0" stop-color="#000000" stop-opacity="0.9"/>'
            '<stop offset="0.35" stop-color="#000000" stop-opacity="0.6"/>'
            '<stop offset="0.7" stop-color="#000000" stop-opacity="0.15"/>'
            '<stop offset="1" stop-color="#000000" stop-opacity="0"/></radialGradient></defs>\n'
            '  <circle cx="32" cy="32" r="32" fill="url(#g)"/>\n')
    write("shared/blobshadow.dds.svg", 64, 64, body, "Soft round shadow under a soldier, dark at its heart.")


def crate():
    body = ('  <rect x="14" y="14" width="100" height="100" rx="6" fill="#7a5a32" stroke="#3e2c14" stroke-width="4"/>\n'
            '  <rect x="22" y="22" width="84" height="84" rx="3" fill="#94703f"/>\n'
            '  <path d="M22 22 L106 106 M106 22 L22 106" stroke="#6a4d26" stroke-width="9"/>\n'
            '  <rect x="14" y="56" width="100" height="16" fill="#4f5a3a" stroke="#2b3220" stroke-width="2"/>\n'
            '  <rect x="56" y="14" width="16" height="100" fill="#4f5a3a" stroke="#2b3220" stroke-width="2"/>\n'
            '  <circle cx="64" cy="64" r="13" fill="#e8e2c8" stroke="#2b3220" stroke-width="2"/>\n'
            '  <path d="M64 55 V73 M55 64 H73" stroke="#b8342a" stroke-width="5"/>\n')
    write("shared/supplydrop.dds.svg", 128, 128, body, "Supply crate from above, strapped, with the supply mark.")


def collect_ring():
    body = ('  <defs><radialGradient id="r"><stop offset="0.55" stop-color="#fff6c0" stop-opacity="0"/>'
            '<stop offset="0.82" stop-color="#fff6c0" stop-opacity="0.9"/>'
            '<stop offset="0.9" stop-color="#ffd050" stop-opacity="0.6"/>'
            '<stop offset="1" stop-color="#ffd050" stop-opacity="0"/></radialGradient></defs>\n'
            '  <circle cx="64" cy="64" r="64" fill="url(#r)"/>\n')
    write("effects/supply_collect.dds.svg", 128, 128, body, "The bright ring of a crate being picked up.")


def blood_particles():
    parts = []
    for n in range(4):
        x, y = (n % 8) * 64, (n // 8) * 64
        parts.append('  <g transform="translate(%d %d)">\n' % (x, y))
        for k in range(5 + n):
            a = k * 2.4 + n
            r = 6 + 14 * ((k * 37 + n * 11) % 10) / 10.0
            cx, cy = 32 + math.cos(a) * r, 32 + math.sin(a) * r
            parts.append('    <circle cx="%.1f" cy="%.1f" r="%.1f" fill="#7a0c0c" fill-opacity="0.9"/>\n'
                         % (cx, cy, 3 + (k % 3)))
        parts.append('    <circle cx="32" cy="32" r="8" fill="#8e1010"/>\n  </g>\n')
    write("effects/blood_particles.dds.svg", 512, 512, "".join(parts),
          "Blood spray: 8 x 8 cells of 64 px, droplets in cells 0-3.")


death_sheet(1)
death_sheet(2)
gun()
blob()
crate()
collect_ring()
blood_particles()


def unit_lights():
    # Light-map copies of lit layers: white where light falls, laid over the layer's quad.
    grad = ('<defs><radialGradient id="g"><stop offset="0" stop-color="#ffffff" stop-opacity="1"/>'
            '<stop offset="0.4" stop-color="#fff4d8" stop-opacity="0.55"/>'
            '<stop offset="1" stop-color="#fff4d8" stop-opacity="0"/></radialGradient></defs>\n')
    write("units/light_mech_cockpit.dds.svg", 64, 64,
          "  " + grad + '  <circle cx="32" cy="30" r="26" fill="url(#g)"/>\n'
          '  <rect x="24" y="22" width="16" height="4" rx="2" fill="#ffffff"/>\n',
          "A mech cockpit's glow, over the head layer.")
    write("units/light_tank_lamps.dds.svg", 128, 128,
          "  " + grad + '  <circle cx="50" cy="30" r="18" fill="url(#g)"/>\n'
          '  <circle cx="78" cy="30" r="18" fill="url(#g)"/>\n'
          '  <circle cx="50" cy="30" r="4" fill="#ffffff"/>\n  <circle cx="78" cy="30" r="4" fill="#ffffff"/>\n',
          "A tank's two headlamps, over the chassis layer (the front is up).")


unit_lights()
