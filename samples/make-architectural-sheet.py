#!/usr/bin/python3
"""Makes samples/architectural-sheet.dxf, the drawing the host opens by default: a ground floor
plan (R2018, millimetres) on a sheet with its frame, room names, notes in panels written as stacks
of TEXT lines and as MTEXT, dimensions, door tags and a title block (blocks with attributes),
hatches, a north arrow (a polyline with widths) and a note on a locked layer. Run with Debian's
Python, which has ezdxf:

    /usr/bin/python3 samples/make-architectural-sheet.py
"""
import os

import ezdxf
from ezdxf.enums import TextEntityAlignment

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "architectural-sheet.dxf")


def note(space, x, y, lines, height=180, layer="A-ANNO-NOTE", style="Notes", gap=1.6):
    """A multi-line note as a stack of TEXT lines, as many drawings hold them."""
    for i, line in enumerate(lines):
        space.add_text(line, dxfattribs={"height": height, "layer": layer, "style": style}).set_placement(
            (x, y - i * height * gap))


def frame(space, x0, y0, x1, y1, layer="A-ANNO-TTLB"):
    space.add_lwpolyline([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], close=True, dxfattribs={"layer": layer})


# The notes stand in panels on the right of the plan, one panel a note: each panel is sized for
# its note (lines of capitals at 180 take about 0.95 of their height each, in the faces the
# styles name) and a line more, with a margin all round, and the panels do not touch.
PANEL_LEFT, PANEL_RIGHT = 13400, 22000
MARGIN = 200
PITCH = 180 * 1.6  # from one TEXT line to the next


def panel(space, top, lines):
    """A panel of TEXT lines under top, with room for a line more; returns where the next panel
    may start."""
    bottom = top - MARGIN - 180 - len(lines) * PITCH - MARGIN - 60
    frame(space, PANEL_LEFT, bottom, PANEL_RIGHT, top)
    note(space, PANEL_LEFT + MARGIN, top - MARGIN - 180, lines)
    return bottom - 200


def mtext_panel(space, top, text, lines, **attribs):
    """A panel holding an MTEXT of a number of lines (as wrapped to the panel's width)."""
    spacing = attribs.get("line_spacing_factor", 1.0)
    height = 180 + (lines - 1) * 180 * 5 / 3 * spacing
    bottom = top - MARGIN - height - MARGIN - 60
    frame(space, PANEL_LEFT, bottom, PANEL_RIGHT, top)
    dxfattribs = {"char_height": 180, "width": PANEL_RIGHT - PANEL_LEFT - 2 * MARGIN, "layer": "A-ANNO-NOTE",
                  "style": "Notes"}
    dxfattribs.update(attribs)
    space.add_mtext(text, dxfattribs=dxfattribs).set_location((PANEL_LEFT + MARGIN, top - MARGIN))
    return bottom - 200


def main():
    # Fixed dates and identities, so that the file is the same each time it is made.
    ezdxf.options.write_fixed_meta_data_for_testing = True
    doc = ezdxf.new("R2018", setup=["linetypes"], units=4)  # millimetres
    doc.header["$INSUNITS"] = 4
    doc.header["$LUNITS"] = 2
    doc.header["$LUPREC"] = 0

    for name, color in [("A-WALL", 7), ("A-WALL-PATT", 8), ("A-DOOR", 4), ("A-GLAZ", 5), ("A-ANNO-ROOM", 2),
                        ("A-ANNO-NOTE", 3), ("A-ANNO-DIMS", 1), ("A-ANNO-SYMB", 30), ("A-ANNO-TTLB", 7)]:
        doc.layers.add(name, color=color)
    doc.layers.add("A-ANNO-REVS", color=6).lock()
    doc.styles.add("Notes", font="arial.ttf")
    doc.styles.add("Title", font="arialbd.ttf")
    doc.styles.add("Narrow", font="arialn.ttf").dxf.width = 0.8

    dimstyle = doc.dimstyles.duplicate_entry("Standard", "Architectural")
    dimstyle.dxf.dimtxt = 200
    dimstyle.dxf.dimasz = 150
    dimstyle.dxf.dimexe = 100
    dimstyle.dxf.dimexo = 100
    dimstyle.dxf.dimdec = 0
    dimstyle.dxf.dimtxsty = "Narrow"

    msp = doc.modelspace()
    # Walls: the outline and the partitions of a small house, 12 m by 8 m.
    walls = {"layer": "A-WALL", "const_width": 0}
    msp.add_lwpolyline([(0, 0), (12000, 0), (12000, 8000), (0, 8000)], close=True, dxfattribs=walls)
    msp.add_lwpolyline([(250, 250), (11750, 250), (11750, 7750), (250, 7750)], close=True, dxfattribs=walls)
    for start, end in [((5000, 250), (5000, 7750)), ((5000, 4000), (11750, 4000)), ((8500, 4000), (8500, 7750))]:
        msp.add_line(start, end, dxfattribs={"layer": "A-WALL"})
    # Doors and windows, each door with a tag: a block with the door's number as an attribute.
    tag = doc.blocks.new("DOOR_TAG")
    tag.add_circle((0, 0), 220, dxfattribs={"layer": "0"})
    tag.add_attdef("NUMBER", (0, 0), "D00", dxfattribs={"height": 150, "layer": "0", "style": "Notes"}).set_placement(
        (0, 0), align=TextEntityAlignment.MIDDLE_CENTER)
    for number, (x, y, angle, tag_at) in enumerate([(2000, 250, 0, (2450, 1500)), (6000, 4000, 0, (6450, 3300)),
                                                    (9000, 4000, 180, (8550, 4700))], start=1):
        msp.add_line((x, y), (x + 900 if angle == 0 else x - 900, y), dxfattribs={"layer": "A-DOOR"})
        msp.add_arc((x, y), 900, angle, angle + 90, dxfattribs={"layer": "A-DOOR"})
        msp.add_blockref("DOOR_TAG", tag_at, dxfattribs={"layer": "A-ANNO-SYMB"}).add_auto_attribs({"NUMBER": f"D{number:02}"})
    for x in (1500, 7000, 10000):
        msp.add_line((x, 8000), (x + 1500, 8000), dxfattribs={"layer": "A-GLAZ"})
    # A column, hatched solid, and the kitchen worktop, hatched with a pattern (drawn as outlines).
    msp.add_circle((5000, 4000), 150, dxfattribs={"layer": "A-WALL"})
    column = msp.add_hatch(color=8, dxfattribs={"layer": "A-WALL-PATT"})
    column.paths.add_edge_path().add_arc((5000, 4000), 150, 0, 360)
    worktop = msp.add_hatch(dxfattribs={"layer": "A-WALL-PATT"})
    worktop.set_pattern_fill("ANSI31", scale=20)
    worktop.paths.add_polyline_path([(5250, 7150), (7250, 7150), (7250, 7750), (5250, 7750)], is_closed=True)
    msp.add_lwpolyline([(5250, 7150), (7250, 7150), (7250, 7750), (5250, 7750)], close=True,
                       dxfattribs={"layer": "A-WALL-PATT"})

    # Room names: centred single-line texts with their areas below (clear of the dimension across
    # the kitchen).
    for name, area, x, y in [("LIVING ROOM", "35.2 m²", 2500, 4500), ("KITCHEN", "12.6 m²", 7400, 5200),
                             ("BEDROOM", "11.8 m²", 10100, 6000), ("HALL", "22.4 m²", 8400, 2200)]:
        msp.add_text(name, dxfattribs={"height": 250, "layer": "A-ANNO-ROOM", "style": "Title"}).set_placement(
            (x, y), align=TextEntityAlignment.MIDDLE_CENTER)
        msp.add_text(area, dxfattribs={"height": 180, "layer": "A-ANNO-ROOM", "style": "Notes"}).set_placement(
            (x, y - 400), align=TextEntityAlignment.MIDDLE_CENTER)

    # Notes, in their panels: stacks of TEXT lines and MTEXT.
    top = 9200
    top = panel(msp, top, ["GENERAL NOTES:",
                           "1. ALL DIMENSIONS ARE IN MILLIMETRES.",
                           "2. DO NOT SCALE FROM THIS DRAWING.",
                           "3. CHECK ALL DIMENSIONS ON SITE BEFORE WORK BEGINS.",
                           "4. REPORT ANY DISCREPANCY TO THE ARCHITECT."])
    top = panel(msp, top, ["WALL TYPES:",
                           "W1  250 BRICK, 100 INSULATION, 120 BLOCK",
                           "W2  100 STUD PARTITION, 2 x 12.5 PLASTERBOARD"])
    top = panel(msp, top, ["FINISHES:",
                           "FLOORS: OAK ON 65 SCREED",
                           "WALLS: SKIM AND TWO COATS EMULSION",
                           "CEILINGS: 12.5 PLASTERBOARD, SKIM"])
    top = mtext_panel(msp, top, "\\LFIRE SAFETY\\l\\PDoors to the hall are FD30 self-closing. Smoke alarms in the hall "
                      "and the kitchen are mains-powered and interlinked.", 3, line_spacing_factor=1.2)
    top = mtext_panel(msp, top, "VENTILATION\\PKitchen extract 60 l/s to outside.\\PTrickle vents to every window.", 3)
    top = panel(msp, top, ["ПРИМЕЧАНИЯ:",
                           "1. РАЗМЕРЫ УКАЗАНЫ В МИЛЛИМЕТРАХ.",
                           "2. ОТМЕТКА ЧИСТОГО ПОЛА ±0.000."])
    # A note on the locked layer, in the hall: it can be read but not changed.
    msp.add_text("REV A: PARTITION MOVED 300 EAST (locked)", dxfattribs={"height": 150, "layer": "A-ANNO-REVS",
                                                                         "style": "Notes"}).set_placement((5400, 1100))
    msp.add_mtext("Revision notes are locked\\Pby the checker.",
                  dxfattribs={"char_height": 150, "width": 3000, "layer": "A-ANNO-REVS", "style": "Notes"}).set_location(
        (5400, 800))

    # Dimensions.
    dims = {"layer": "A-ANNO-DIMS"}
    msp.add_linear_dim(base=(0, -800), p1=(0, 0), p2=(12000, 0), dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_linear_dim(base=(0, -400), p1=(0, 0), p2=(5000, 0), dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_linear_dim(base=(0, -400), p1=(5000, 0), p2=(12000, 0), dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_linear_dim(base=(-800, 0), p1=(0, 0), p2=(0, 8000), angle=90, dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_linear_dim(base=(12800, 0), p1=(12000, 4000), p2=(12000, 8000), angle=90, text="<> CLEAR",
                       dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_aligned_dim(p1=(5000, 4000), p2=(8500, 7750), distance=300, dimstyle="Architectural", dxfattribs=dims).render()
    msp.add_radius_dim(center=(5000, 4000), radius=150, angle=45, dimstyle="Architectural",
                       override={"dimtxt": 150}, dxfattribs=dims).render()

    # A north arrow: a circle and a pointer, a polyline that narrows from its base to its tip.
    symbols = {"layer": "A-ANNO-SYMB"}
    msp.add_circle((-1400, 8400), 450, dxfattribs=symbols)
    msp.add_lwpolyline([(-1400, 7950, 400, 0), (-1400, 8850, 0, 0)], format="xyse", dxfattribs=symbols)
    msp.add_text("N", dxfattribs={"height": 250, "style": "Title", **symbols}).set_placement(
        (-1400, 9050), align=TextEntityAlignment.BOTTOM_CENTER)
    msp.add_text("GROUND FLOOR PLAN 1:50", dxfattribs={"height": 350, "style": "Title", "layer": "A-ANNO-TTLB"}).set_placement(
        (0, -2000))
    msp.add_lwpolyline([(0, -2120), (5600, -2120)], dxfattribs={"layer": "A-ANNO-TTLB", "const_width": 40})

    # The title block: a block of TEXT with the project's details as attributes, inserted on the
    # sheet's frame in model space and on the paper space sheet.
    block = doc.blocks.new("TITLE_BLOCK")
    block.add_lwpolyline([(0, 0), (180, 0), (180, 60), (0, 60)], close=True, dxfattribs={"layer": "0"})
    for y in (15, 30, 45):
        block.add_line((0, y), (180, y), dxfattribs={"layer": "0"})
    for text, x, y, h, style in [("SCALE 1:50 @ A1", 3, 20, 3, "Notes"),
                                 ("DRAWN: J. SMITH   CHECKED: A. JONES", 60, 20, 3, "Notes")]:
        block.add_text(text, dxfattribs={"height": h, "layer": "0", "style": style}).set_placement((x, y))
    for tag_name, x, y, h, style in [("PROJECT", 3, 50, 5, "Title"), ("DRAWING", 3, 35, 4, "Title"),
                                     ("SHEET", 3, 5, 3.5, "Title"), ("DATE", 120, 5, 3, "Notes")]:
        block.add_attdef(tag_name, (x, y), "", dxfattribs={"height": h, "layer": "0", "style": style})
    details = {"PROJECT": "PROJECT: HOUSE AT 12 ELM ROAD", "DRAWING": "DRAWING: GROUND FLOOR PLAN",
               "SHEET": "SHEET A-101   REV A", "DATE": "DATE 2026-12-07"}
    frame(msp, -2400, -4200, 22400, 9600)
    msp.add_blockref("TITLE_BLOCK", (15000, -4000), dxfattribs={"layer": "A-ANNO-TTLB", "xscale": 40, "yscale": 40}
                     ).add_auto_attribs(details)

    sheet = doc.layouts.new("A1 Sheet")
    sheet.page_setup(size=(841, 594), margins=(10, 10, 10, 10), units="mm")
    sheet.add_blockref("TITLE_BLOCK", (650, 20), dxfattribs={"layer": "A-ANNO-TTLB"}).add_auto_attribs(details)
    sheet.add_viewport(center=(330, 310), size=(600, 400), view_center_point=(8000, 3500), view_height=12000)
    sheet.add_text("GROUND FLOOR PLAN 1:50", dxfattribs={"height": 7, "layer": "A-ANNO-TTLB", "style": "Title"}).set_placement((30, 90))
    note(sheet, 650, 130, ["KEY:", "A-WALL    WALLS", "A-DOOR    DOORS", "A-GLAZ    WINDOWS"], height=3.5, gap=1.8)
    doc.set_modelspace_vport(height=14500, center=(10000, 2700))
    doc.saveas(OUT)
    print("wrote", OUT)


if __name__ == "__main__":
    main()
