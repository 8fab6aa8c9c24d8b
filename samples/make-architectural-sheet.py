#!/usr/bin/python3
"""Makes samples/architectural-sheet.dxf, the drawing the host opens by default: a ground floor
plan (R2018, millimetres) with room names, notes written as stacks of TEXT lines and as MTEXT,
dimensions, a title block (a block of TEXT inserted on the paper space sheet) and a note on a
locked layer. Run with Debian's Python, which has ezdxf:

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


def main():
    # Fixed dates and identities, so that the file is the same each time it is made.
    ezdxf.options.write_fixed_meta_data_for_testing = True
    doc = ezdxf.new("R2018", setup=["linetypes"], units=4)  # millimetres
    doc.header["$INSUNITS"] = 4
    doc.header["$LUNITS"] = 2
    doc.header["$LUPREC"] = 0

    for name, color in [("A-WALL", 7), ("A-DOOR", 4), ("A-GLAZ", 5), ("A-ANNO-ROOM", 2), ("A-ANNO-NOTE", 3),
                        ("A-ANNO-DIMS", 1), ("A-ANNO-TTLB", 7)]:
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
    # Doors and windows.
    for x, y, angle in [(2000, 250, 0), (6000, 4000, 0), (9000, 4000, 180)]:
        msp.add_line((x, y), (x + 900, y), dxfattribs={"layer": "A-DOOR"})
        msp.add_arc((x, y), 900, angle, angle + 90, dxfattribs={"layer": "A-DOOR"})
    for x in (1500, 7000, 10000):
        msp.add_line((x, 8000), (x + 1500, 8000), dxfattribs={"layer": "A-GLAZ"})
    msp.add_circle((5000, 4000), 150, dxfattribs={"layer": "A-WALL"})  # a column

    # Room names: centred single-line texts with their areas below.
    for name, area, x, y in [("LIVING ROOM", "35.2 m²", 2500, 4500), ("KITCHEN", "12.6 m²", 6750, 6000),
                             ("BEDROOM", "11.8 m²", 10100, 6000), ("HALL", "22.4 m²", 8400, 2000)]:
        msp.add_text(name, dxfattribs={"height": 250, "layer": "A-ANNO-ROOM", "style": "Title"}).set_placement(
            (x, y), align=TextEntityAlignment.MIDDLE_CENTER)
        msp.add_text(area, dxfattribs={"height": 180, "layer": "A-ANNO-ROOM", "style": "Notes"}).set_placement(
            (x, y - 400), align=TextEntityAlignment.MIDDLE_CENTER)

    # Notes written as stacks of TEXT lines.
    note(msp, 13000, 7800, ["GENERAL NOTES:",
                            "1. ALL DIMENSIONS ARE IN MILLIMETRES.",
                            "2. DO NOT SCALE FROM THIS DRAWING.",
                            "3. CHECK ALL DIMENSIONS ON SITE BEFORE WORK BEGINS.",
                            "4. REPORT ANY DISCREPANCY TO THE ARCHITECT."])
    note(msp, 13000, 5400, ["WALL TYPES:",
                            "W1  250 BRICK, 100 INSULATION, 120 BLOCK",
                            "W2  100 STUD PARTITION, 2 x 12.5 PLASTERBOARD"])
    note(msp, 13000, 3800, ["FINISHES:",
                            "FLOORS: OAK ON 65 SCREED",
                            "WALLS: SKIM AND TWO COATS EMULSION",
                            "CEILINGS: 12.5 PLASTERBOARD, SKIM"])
    note(msp, -4200, 7800, ["ПРИМЕЧАНИЯ:",
                            "1. РАЗМЕРЫ УКАЗАНЫ В МИЛЛИМЕТРАХ.",
                            "2. ОТМЕТКА ЧИСТОГО ПОЛА ±0.000."])
    # Multi-line notes as MTEXT.
    msp.add_mtext("\\LFIRE SAFETY\\l\\PDoors to the hall are FD30 self-closing. Smoke alarms in the hall and the "
                  "kitchen are mains-powered and interlinked.",
                  dxfattribs={"char_height": 180, "width": 4200, "layer": "A-ANNO-NOTE", "style": "Notes",
                              "line_spacing_factor": 1.2}).set_location((13000, 1800))
    msp.add_mtext("VENTILATION\\PKitchen extract 60 l/s to outside.\\PTrickle vents to every window.",
                  dxfattribs={"char_height": 180, "width": 3600, "layer": "A-ANNO-NOTE"}).set_location((13000, -600))
    # A note on the locked layer: it can be read but not changed.
    msp.add_text("REV A: PARTITION MOVED 300 EAST (locked)", dxfattribs={"height": 180, "layer": "A-ANNO-REVS",
                                                                         "style": "Notes"}).set_placement((8600, 3500))
    msp.add_mtext("Revision notes are locked\\Pby the checker.",
                  dxfattribs={"char_height": 150, "width": 3000, "layer": "A-ANNO-REVS"}).set_location((8600, 3200))

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

    # The title block: a block of TEXT, inserted on the sheet.
    block = doc.blocks.new("TITLE_BLOCK")
    block.add_lwpolyline([(0, 0), (180, 0), (180, 60), (0, 60)], close=True, dxfattribs={"layer": "A-ANNO-TTLB"})
    for y in (15, 30, 45):
        block.add_line((0, y), (180, y), dxfattribs={"layer": "A-ANNO-TTLB"})
    for text, x, y, h, style in [("PROJECT: HOUSE AT 12 ELM ROAD", 3, 50, 5, "Title"),
                                 ("DRAWING: GROUND FLOOR PLAN", 3, 35, 4, "Title"),
                                 ("SCALE 1:50 @ A1", 3, 20, 3, "Notes"),
                                 ("DRAWN: J. SMITH   CHECKED: A. JONES", 60, 20, 3, "Notes"),
                                 ("SHEET A-101   REV A", 3, 5, 3.5, "Title"),
                                 ("DATE 2026-12-07", 120, 5, 3, "Notes")]:
        block.add_text(text, dxfattribs={"height": h, "layer": "A-ANNO-TTLB", "style": style}).set_placement((x, y))

    sheet = doc.layouts.new("A1 Sheet")
    sheet.page_setup(size=(841, 594), margins=(10, 10, 10, 10), units="mm")
    sheet.add_blockref("TITLE_BLOCK", (650, 20), dxfattribs={"layer": "A-ANNO-TTLB"})
    sheet.add_viewport(center=(330, 310), size=(600, 400), view_center_point=(8000, 3500), view_height=12000)
    sheet.add_text("GROUND FLOOR PLAN 1:50", dxfattribs={"height": 7, "layer": "A-ANNO-TTLB", "style": "Title"}).set_placement((30, 90))
    note(sheet, 650, 130, ["KEY:", "A-WALL    WALLS", "A-DOOR    DOORS", "A-GLAZ    WINDOWS"], height=3.5, gap=1.8)
    doc.set_modelspace_vport(height=14000, center=(7000, 3500))
    doc.saveas(OUT)
    print("wrote", OUT)


if __name__ == "__main__":
    main()
