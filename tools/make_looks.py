#!/usr/bin/env python3
"""Makes the editor's eight looks (Qt style sheets) and their small images.

Every look is one colour palette poured into tools/looks/look.qss.in. The
outputs are committed: resources/looks/STYLE_<n>.qss and the check-mark and
arrow images in resources/looks/images/, listed in resources/looks.qrc.

Before writing anything it checks that every text colour reaches a contrast
of at least 4.5:1 against every background it is drawn on, and stops with the
failing pairs otherwise. Run from anywhere: python3 tools/make_looks.py
"""

import pathlib
import string
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TEMPLATE = ROOT / "tools" / "looks" / "look.qss.in"
OUT = ROOT / "resources" / "looks"
QRC = ROOT / "resources" / "looks.qrc"

# name, description, shape, then the colours.
LOOKS = [
    dict(title="Graphite", description="Dark grey with a teal accent; the editor's default.",
         radius="4px", small_radius="2px", border_width="1px",
         bg="#202326", fg="#E6E8EA", muted="#98A1A9",
         base="#16181B", base_fg="#E6E8EA", base_hover="#262B30",
         button="#30353A", button_fg="#EEF0F2", button_hover="#3A4046", button_off="#272B2F",
         border="#4A5158", border_off="#363B40", indicator_border="#7A848D",
         accent="#2BB3A3", accent_fg="#08201D", accent_text="#4FD1C1",
         bar_bg="#1A1C1F", bar_fg="#E6E8EA", menu_bg="#272B2F", menu_fg="#E6E8EA",
         chunk="#137368", groove="#1A1C1F", handle="#4F5760",
         tip_bg="#E6E8EA", tip_fg="#1A1C1F",
         dial_track="#3A4046", dial_value="#2BB3A3", dial_knob="#30353A"),
    dict(title="Daylight", description="Light and clear with a blue accent.",
         radius="4px", small_radius="2px", border_width="1px",
         bg="#F3F5F8", fg="#1B1F24", muted="#5B6470",
         base="#FFFFFF", base_fg="#1B1F24", base_hover="#E8F0FC",
         button="#E4E8EE", button_fg="#1B1F24", button_hover="#D6DDE6", button_off="#ECEFF3",
         border="#AEB7C2", border_off="#CDD3DA", indicator_border="#7D8895",
         accent="#1F5FBF", accent_fg="#FFFFFF", accent_text="#1F5FBF",
         bar_bg="#E9EDF2", bar_fg="#1B1F24", menu_bg="#FFFFFF", menu_fg="#1B1F24",
         chunk="#9EC1F2", groove="#E9EDF2", handle="#B9C2CD",
         tip_bg="#1B1F24", tip_fg="#F3F5F8",
         dial_track="#D6DDE6", dial_value="#1F5FBF", dial_knob="#FFFFFF"),
    dict(title="Midnight", description="Deep navy with a warm amber accent.",
         radius="8px", small_radius="3px", border_width="1px",
         bg="#141B2D", fg="#E8EAF2", muted="#959DB2",
         base="#0D1322", base_fg="#E8EAF2", base_hover="#1C2540",
         button="#222B42", button_fg="#EEF0F6", button_hover="#2C3754", button_off="#1A2236",
         border="#3A4766", border_off="#2A3550", indicator_border="#6E7BA0",
         accent="#F2A93B", accent_fg="#1A1205", accent_text="#F2B65A",
         bar_bg="#0F1524", bar_fg="#E8EAF2", menu_bg="#1A2236", menu_fg="#E8EAF2",
         chunk="#8A5A12", groove="#0F1524", handle="#3A4766",
         tip_bg="#F2B65A", tip_fg="#1A1205",
         dial_track="#2C3754", dial_value="#F2A93B", dial_knob="#222B42"),
    dict(title="Forest", description="Dark green with a fresh lime accent.",
         radius="6px", small_radius="3px", border_width="1px",
         bg="#1B241E", fg="#E4EDE4", muted="#9AAA9E",
         base="#121A15", base_fg="#E4EDE4", base_hover="#233128",
         button="#2A3A2F", button_fg="#EAF2EA", button_hover="#34483A", button_off="#223026",
         border="#4B6352", border_off="#33443A", indicator_border="#7F9986",
         accent="#8BC34A", accent_fg="#102008", accent_text="#A5D46A",
         bar_bg="#151C17", bar_fg="#E4EDE4", menu_bg="#223026", menu_fg="#E4EDE4",
         chunk="#3D6B22", groove="#151C17", handle="#4B6352",
         tip_bg="#E4EDE4", tip_fg="#151C17",
         dial_track="#34483A", dial_value="#8BC34A", dial_knob="#2A3A2F"),
    dict(title="Sand", description="Warm paper tones with a terracotta accent.",
         radius="10px", small_radius="4px", border_width="1px",
         bg="#F4EDE1", fg="#2B2118", muted="#67594A",
         base="#FFFBF4", base_fg="#2B2118", base_hover="#F3E3D6",
         button="#E8DCC8", button_fg="#2B2118", button_hover="#DDCDB2", button_off="#EEE5D6",
         border="#B9A68A", border_off="#D6C8B2", indicator_border="#9A8668",
         accent="#A8432A", accent_fg="#FFFFFF", accent_text="#983B24",
         bar_bg="#EADFCC", bar_fg="#2B2118", menu_bg="#FFFBF4", menu_fg="#2B2118",
         chunk="#E9B9A3", groove="#EADFCC", handle="#C9B79B",
         tip_bg="#2B2118", tip_fg="#F4EDE1",
         dial_track="#DDCDB2", dial_value="#A8432A", dial_knob="#FFFBF4"),
    dict(title="Crimson", description="Stage black with a bold red accent.",
         radius="2px", small_radius="1px", border_width="1px",
         bg="#121212", fg="#F0E6E6", muted="#A89999",
         base="#0A0A0A", base_fg="#F0E6E6", base_hover="#24181A",
         button="#2A1C1E", button_fg="#F4ECEC", button_hover="#3A2226", button_off="#1E1617",
         border="#5A2E34", border_off="#3A2226", indicator_border="#8E5A61",
         accent="#D7263D", accent_fg="#FFFFFF", accent_text="#FF6B7D",
         bar_bg="#0A0A0A", bar_fg="#F0E6E6", menu_bg="#1C1415", menu_fg="#F0E6E6",
         chunk="#8E1B2A", groove="#0A0A0A", handle="#5A2E34",
         tip_bg="#F0E6E6", tip_fg="#121212",
         dial_track="#3A2226", dial_value="#D7263D", dial_knob="#2A1C1E"),
    dict(title="Slate", description="Cool grey-blue with a violet accent.",
         radius="3px", small_radius="2px", border_width="1px",
         bg="#E6EAF0", fg="#1E2430", muted="#535C6E",
         base="#F7F9FC", base_fg="#1E2430", base_hover="#EAE3F7",
         button="#D3D9E3", button_fg="#1E2430", button_hover="#C5CDDA", button_off="#DCE1E8",
         border="#9AA5B8", border_off="#BCC4D1", indicator_border="#7A869B",
         accent="#6A3FB5", accent_fg="#FFFFFF", accent_text="#5B34A0",
         bar_bg="#D9DFE8", bar_fg="#1E2430", menu_bg="#F7F9FC", menu_fg="#1E2430",
         chunk="#C9B6EE", groove="#D9DFE8", handle="#A9B3C4",
         tip_bg="#1E2430", tip_fg="#E6EAF0",
         dial_track="#C5CDDA", dial_value="#6A3FB5", dial_knob="#F7F9FC"),
    dict(title="High Contrast", description="Black and white with a yellow accent, for dim stages and tired eyes.",
         radius="0px", small_radius="0px", border_width="2px",
         bg="#000000", fg="#FFFFFF", muted="#BDBDBD",
         base="#000000", base_fg="#FFFFFF", base_hover="#1F1F1F",
         button="#000000", button_fg="#FFFFFF", button_hover="#1F1F1F", button_off="#000000",
         border="#FFFFFF", border_off="#8A8A8A", indicator_border="#FFFFFF",
         accent="#FFD400", accent_fg="#000000", accent_text="#FFD400",
         bar_bg="#000000", bar_fg="#FFFFFF", menu_bg="#000000", menu_fg="#FFFFFF",
         chunk="#0047AB", groove="#000000", handle="#FFFFFF",
         tip_bg="#FFD400", tip_fg="#000000",
         dial_track="#5A5A5A", dial_value="#FFD400", dial_knob="#000000"),
]

# Every text colour with every background it is drawn on.
TEXT_ON = [
    ("fg", "bg"), ("muted", "bg"), ("accent_text", "bg"), ("fg", "base"), ("fg", "chunk"),
    ("base_fg", "base"), ("base_fg", "base_hover"), ("muted", "base"),
    ("button_fg", "button"), ("button_fg", "button_hover"), ("muted", "button_off"),
    ("accent_fg", "accent"),
    ("bar_fg", "bar_bg"), ("muted", "bar_bg"), ("menu_fg", "menu_bg"), ("muted", "menu_bg"),
    ("tip_fg", "tip_bg"), ("fg", "dial_knob"), ("switch_knob", "switch_on"), ("bg", "muted"),
]

MIN_CONTRAST = 4.5


def luminance(colour):
    value = colour.lstrip("#")
    channels = [int(value[i:i + 2], 16) / 255 for i in (0, 2, 4)]
    linear = [c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def complete(look):
    """Adds the colours that follow from the others."""
    look = dict(look)
    if luminance(look["bg"]) < 0.2:
        # Dark looks: a light knob on a deep track reads at a glance.
        look.setdefault("switch_on", look["chunk"])
        look.setdefault("switch_knob", look["fg"])
    else:
        look.setdefault("switch_on", look["accent"])
        look.setdefault("switch_knob", look["accent_fg"])
    return look


def widget_rules(look):
    path = ROOT / "tools" / "looks" / "widgets.qss.in"
    if not path.exists():
        return ""
    return string.Template(path.read_text()).substitute(look)


def svg(shape, colour):
    shapes = {
        "check": '<path d="M2.5 6.5 L5 9 L10 3.5" fill="none" stroke="{c}" stroke-width="2" '
                 'stroke-linecap="round" stroke-linejoin="round"/>',
        "tick": '<path d="M2.5 6.5 L5 9 L10 3.5" fill="none" stroke="{c}" stroke-width="2" '
                'stroke-linecap="round" stroke-linejoin="round"/>',
        "down": '<path d="M2 4 L6 8.5 L10 4 Z" fill="{c}"/>',
        "right": '<path d="M4 2 L8.5 6 L4 10 Z" fill="{c}"/>',
    }
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="12" height="12" viewBox="0 0 12 12">'
            + shapes[shape].format(c=colour) + "</svg>\n")


def main():
    failures = []
    looks = [complete(look) for look in LOOKS]
    for number, look in enumerate(looks):
        for text, background in TEXT_ON:
            ratio = contrast(look[text], look[background])
            if ratio < MIN_CONTRAST:
                failures.append(f"look {number} ({look['title']}): {text} {look[text]} on "
                                f"{background} {look[background]} is {ratio:.2f}:1")
    if failures:
        print("\n".join(failures), file=sys.stderr)
        return 1

    template = string.Template(TEMPLATE.read_text())
    (OUT / "images").mkdir(parents=True, exist_ok=True)
    files = []
    for number, look in enumerate(looks):
        values = dict(look, number=str(number))
        values["widgets"] = widget_rules(values)
        name = f"STYLE_{number}"
        (OUT / f"{name}.qss").write_text(template.substitute(values))
        files.append((name, f"looks/{name}.qss"))
        for shape, colour in (("check", look["accent_fg"]), ("tick", look["menu_fg"]),
                              ("down", look["button_fg"]), ("right", look["menu_fg"])):
            image = f"images/{shape}_{number}.svg"
            (OUT / image).write_text(svg(shape, colour))
            files.append((image, f"looks/{image}"))

    lines = ['<!DOCTYPE RCC><RCC version="1.0">', '<qresource prefix="/looks">']
    lines += [f'    <file alias="{alias}">{path}</file>' for alias, path in files]
    lines += ["</qresource>", "</RCC>", ""]
    QRC.write_text("\n".join(lines))
    print(f"wrote {len(LOOKS)} looks to {OUT.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
