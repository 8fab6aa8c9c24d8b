#!/usr/bin/python3
"""Makes a benchmark drawing with ezdxf (R2018): notes of TEXT lines in model space with MTEXT,
dimensions and lines mixed in, on several layers.

    make_drawing.py LINES OUT.dxf
"""
import sys
import time

import ezdxf


def main():
    count, out = int(sys.argv[1]), sys.argv[2]
    started = time.time()
    ezdxf.options.write_fixed_meta_data_for_testing = True
    doc = ezdxf.new("R2018", setup=True)
    for name, color in [("NOTES", 3), ("TITLES", 2), ("DIMS", 1), ("GEOMETRY", 7)]:
        doc.layers.add(name, color=color)
    msp = doc.modelspace()
    words = ("check the dimensions of element {0} on site before fixing; the contractor confirms the "
             "setting out against grid line {1} and reports any discrepancy")
    paragraph = ("Detail {0}: fixings at 600 centres into the concrete frame, stainless steel A4 throughout.\\P"
                 "Sealant to BS EN 15651, colour to match the adjacent cladding; allow for movement of 10 mm.\\P"
                 "Provide cavity trays and stop ends above every opening; weep holes at 900 centres.\\P"
                 "Insulation 120 mm mineral wool, fire rated, fixed with two fixings per board.\\P"
                 "Refer to the structural drawings for the sizes of the lintels and the padstones.")
    for i in range(count):
        column, row = divmod(i, 500)
        x, y = column * 400.0, -row * 8.0
        style = "OpenSans" if i % 3 else "Standard"
        msp.add_text("Note %d: " % i + words.format(i * 7 % 1000, i % 26),
                     dxfattribs={"height": 2.5, "layer": "NOTES" if i % 7 else "TITLES", "style": style,
                                 "rotation": 0 if i % 11 else 90}).set_placement((x, y))
        if i % 5 == 0:
            msp.add_mtext(paragraph.format(i), dxfattribs={"char_height": 2.0, "width": 120,
                                                            "layer": "NOTES"}).set_location((x + 250, y))
        msp.add_line((x, y - 2), (x + 200, y - 2), dxfattribs={"layer": "GEOMETRY"})
        if i % 10 == 5:
            msp.add_linear_dim(base=(x, y + 5), p1=(x, y), p2=(x + 200, y), dimstyle="EZDXF",
                               dxfattribs={"layer": "DIMS"}).render()
    doc.saveas(out)
    print("made %s with %d TEXT lines in %.1f s" % (out, count, time.time() - started))


if __name__ == "__main__":
    main()
