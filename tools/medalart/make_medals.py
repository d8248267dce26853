#!/usr/bin/env python3
"""Writes the medal art: three SVG layers per achievement of data/ach.csv.

medal_<id>_disc.dds   the lower picture: the medal itself, metal by rank, with its emblem
medal_<id>_ribbon.dds the upper picture: the ribbon in the achievement's own colours
medal_<id>_clasp.dds  the overlay: a clasp across the ribbon, one star per rank step

Run from the repository root; the SVGs land in assets/bitmaps/ui/medals.
"""
import os

OUT = "assets/bitmaps/ui/medals"
HEAD = '<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">\n'

METAL = {  # rim, face, shade
    "bronze": ("#7a4a1e", "#c98a4b", "#9c6630"),
    "silver": ("#6f7780", "#d9dee3", "#a8b0b8"),
    "gold": ("#8a6a10", "#f2c94c", "#c99a1f"),
}

# id, rank, ribbon stripes (outer, middle, centre), emblem
MEDALS = [
    ("first_victory", "bronze", ("#7b1e1e", "#e8e1cf", "#1e3f7b"), "laurel"),
    ("ten_victories", "silver", ("#1e3f7b", "#e2b101", "#1e3f7b"), "ten"),
    ("fifty_battles", "gold", ("#3b2a14", "#c0392b", "#e8e1cf"), "crossed"),
    ("winning_streak", "silver", ("#155e3a", "#e8e1cf", "#e2b101"), "chevrons"),
    ("armour_only", "silver", ("#4a4f55", "#e67e22", "#4a4f55"), "tank"),
    ("hold_the_line", "bronze", ("#2c3e50", "#95a5a6", "#2c3e50"), "shield"),
    ("tank_hunter", "bronze", ("#5d1a1a", "#111111", "#d35400"), "crosshair"),
    ("demolition_crew", "bronze", ("#6e5a1e", "#1a1a1a", "#e2b101"), "burst"),
    ("challenger", "bronze", ("#1b4f72", "#5dade2", "#ffffff"), "globe"),
    ("campaign_easy", "silver", ("#145a32", "#f4d03f", "#145a32"), "star1"),
    ("campaign_medium", "gold", ("#512e5f", "#f4d03f", "#512e5f"), "star2"),
    ("campaign_hard", "gold", ("#17202a", "#c0392b", "#f4d03f"), "star3"),
]

def star(cx, cy, r, fill):
    import math
    pts = []
    for i in range(10):
        a = math.pi / 2 + i * math.pi / 5
        rr = r if i % 2 == 0 else r * 0.42
        pts.append(f"{cx + rr * math.cos(a):.1f},{cy - rr * math.sin(a):.1f}")
    return f'<polygon points="{" ".join(pts)}" fill="{fill}"/>'

def emblem(kind, ink):
    c = 64
    if kind == "laurel":
        leaves = "".join(
            f'<ellipse cx="{c + s * (24 - abs(i - 3) * 2)}" cy="{44 + i * 8}" rx="7" ry="3.5" '
            f'transform="rotate({s * -35} {c + s * (24 - abs(i - 3) * 2)} {44 + i * 8})" fill="{ink}"/>'
            for s in (-1, 1) for i in range(6))
        return leaves + star(c, 62, 13, ink)
    if kind == "ten":
        return f'<text x="64" y="76" font-family="DejaVu Sans" font-weight="bold" font-size="36" text-anchor="middle" fill="{ink}">X</text>'
    if kind == "crossed":
        return (f'<rect x="60" y="30" width="8" height="66" rx="2" fill="{ink}" transform="rotate(40 64 63)"/>'
                f'<rect x="60" y="30" width="8" height="66" rx="2" fill="{ink}" transform="rotate(-40 64 63)"/>'
                f'<circle cx="64" cy="63" r="8" fill="{ink}"/>')
    if kind == "chevrons":
        return "".join(f'<path d="M40 {46 + i * 14} L64 {34 + i * 14} L88 {46 + i * 14} L88 {54 + i * 14} '
                       f'L64 {42 + i * 14} L40 {54 + i * 14} Z" fill="{ink}"/>' for i in range(3))
    if kind == "tank":
        return (f'<rect x="38" y="58" width="52" height="18" rx="4" fill="{ink}"/>'
                f'<rect x="50" y="48" width="26" height="12" rx="3" fill="{ink}"/>'
                f'<rect x="74" y="51" width="22" height="5" fill="{ink}"/>'
                f'<circle cx="46" cy="80" r="4" fill="{ink}"/><circle cx="64" cy="80" r="4" fill="{ink}"/>'
                f'<circle cx="82" cy="80" r="4" fill="{ink}"/>')
    if kind == "shield":
        return (f'<path d="M64 34 L88 42 L86 66 Q82 84 64 94 Q46 84 42 66 L40 42 Z" fill="{ink}"/>'
                f'<path d="M64 44 L64 86" stroke="#ffffff" stroke-opacity="0.35" stroke-width="4"/>')
    if kind == "crosshair":
        return (f'<circle cx="64" cy="64" r="22" fill="none" stroke="{ink}" stroke-width="6"/>'
                f'<path d="M64 32 V50 M64 78 V96 M32 64 H50 M78 64 H96" stroke="{ink}" stroke-width="6"/>'
                f'<circle cx="64" cy="64" r="4" fill="{ink}"/>')
    if kind == "burst":
        import math
        pts = []
        for i in range(16):
            a = i * math.pi / 8
            r = 30 if i % 2 == 0 else 14
            pts.append(f"{64 + r * math.cos(a):.1f},{64 + r * math.sin(a):.1f}")
        return f'<polygon points="{" ".join(pts)}" fill="{ink}"/>'
    if kind == "globe":
        return (f'<circle cx="64" cy="64" r="26" fill="none" stroke="{ink}" stroke-width="5"/>'
                f'<ellipse cx="64" cy="64" rx="11" ry="26" fill="none" stroke="{ink}" stroke-width="4"/>'
                f'<path d="M38 64 H90 M43 50 H85 M43 78 H85" stroke="{ink}" stroke-width="4"/>')
    if kind.startswith("star"):
        n = int(kind[-1])
        xs = {1: [64], 2: [50, 78], 3: [40, 64, 88]}[n]
        return "".join(star(x, 64 if n < 3 or x == 64 else 70, 18 if n == 1 else 13, ink) for x in xs)
    raise ValueError(kind)

def disc(rank, kind):
    rim, face, shade = METAL[rank]
    return (HEAD + f'  <!-- The medal: a {rank} disc with its emblem. -->\n'
            f'  <rect x="52" y="0" width="24" height="14" fill="{shade}"/>\n'
            f'  <circle cx="64" cy="64" r="54" fill="{rim}"/>\n'
            f'  <circle cx="64" cy="64" r="48" fill="{face}"/>\n'
            f'  <circle cx="64" cy="64" r="41" fill="none" stroke="{shade}" stroke-width="3"/>\n'
            f'  <path d="M26 50 A40 40 0 0 1 70 22" stroke="#ffffff" stroke-opacity="0.45" stroke-width="5" fill="none"/>\n'
            f'  {emblem(kind, rim)}\n</svg>\n')

def ribbon(colours):
    outer, middle, centre = colours
    return (HEAD + '  <!-- The ribbon the medal hangs from, in the achievement\'s colours. -->\n'
            f'  <path d="M24 0 H104 V104 L64 128 L24 104 Z" fill="{outer}"/>\n'
            f'  <rect x="38" y="0" width="52" height="112" fill="{middle}"/>\n'
            f'  <rect x="54" y="0" width="20" height="122" fill="{centre}"/>\n'
            f'  <path d="M24 104 L64 128 L104 104" stroke="#000000" stroke-opacity="0.35" stroke-width="3" fill="none"/>\n'
            f'  <rect x="24" y="0" width="80" height="6" fill="#000000" fill-opacity="0.3"/>\n</svg>\n')

def clasp(rank):
    rim, face, _ = METAL[rank]
    n = {"bronze": 1, "silver": 2, "gold": 3}[rank]
    xs = {1: [64], 2: [52, 76], 3: [42, 64, 86]}[n]
    stars = "".join(star(x, 64, 8, rim) for x in xs)
    return (HEAD + f'  <!-- A {rank} clasp across the ribbon: one star per rank. -->\n'
            f'  <rect x="18" y="52" width="92" height="24" rx="5" fill="{rim}"/>\n'
            f'  <rect x="21" y="55" width="86" height="18" rx="3" fill="{face}"/>\n'
            f'  {stars}\n</svg>\n')

def main():
    os.makedirs(OUT, exist_ok=True)
    for ident, rank, colours, kind in MEDALS:
        for layer, text in (("disc", disc(rank, kind)), ("ribbon", ribbon(colours)), ("clasp", clasp(rank))):
            with open(os.path.join(OUT, f"medal_{ident}_{layer}.dds.svg"), "w") as f:
                f.write(text)

if __name__ == "__main__":
    main()
