#!/usr/bin/python3
"""Damaged drawings, as a user with damaged drawings would meet them: drawings made by ezdxf (R12,
R2000 and R2018, ASCII and binary) are damaged in every section in many ways (bad values, bad
handles, group codes out of range, sections, tables, blocks and sequences left open, stray ends
and records, application groups never closed, truncations, flipped bytes, deleted lines), and
each damaged drawing is opened with the host and saved. For each:

- the host says what is wrong, each message with its place (line or byte);
- nothing crashes or hangs, and the damaged file is left as it was;
- a drawing the host opens saves to one that the host reads back with nothing to report, and that
  ezdxf reads, its audit finding nothing that the undamaged drawing does not have;
- a drawing the host refuses is refused with the place of the damage, and read with recovery it
  saves as above.

The host is driven through the dxftool test program. Results go to a JUnit XML file.
"""
import argparse
import hashlib
import os
import random
import re
import struct
import subprocess
import sys
import time

import ezdxf

from crosscheck import case, check, finish

PLACE = re.compile(r"^(line|byte) \d+: ")
# Bytes flipped and lines deleted at random, per drawing (more for a longer look: DAMAGED_RANDOM,
# DAMAGED_SEED).
RANDOM = int(os.environ.get("DAMAGED_RANDOM", "6"))
SEED = int(os.environ.get("DAMAGED_SEED", "0"))


# ---- The drawings ----------------------------------------------------------------------------

def make_drawing(version, path, binary):
    """A drawing with something in every section: texts, lines, circles, a polyline with vertices,
    an INSERT with an attribute, a block, layers and styles, and (R2000 on) a hatch, a light-weight
    polyline, a multi-line text and a dimension."""
    doc = ezdxf.new(version, setup=True)
    doc.layers.add("Notes", color=3)
    msp = doc.modelspace()
    msp.add_text("First note", dxfattribs={"height": 2.5, "layer": "Notes"}).set_placement((10, 20))
    msp.add_line((0, 0), (50, 0))
    msp.add_circle((5, 5), 2.5)
    msp.add_line((0, 10), (50, 10))
    msp.add_polyline2d([(0, 0), (10, 0), (10, 10)])
    block = doc.blocks.new("TitleBlock")
    block.add_text("DRAWING TITLE", dxfattribs={"height": 5}).set_placement((2, 2))
    block.add_attdef("SHEET", (0, 0), dxfattribs={"height": 1})
    msp.add_blockref("TitleBlock", (200, 0)).add_auto_attribs({"SHEET": "A-101"})
    if version != "R12":
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
        msp.add_lwpolyline([(0, 0), (10, 0), (10, 10)], close=True)
        msp.add_mtext("A multi-line\\Pnote", dxfattribs={"char_height": 2.0}).set_location((100, 50))
        msp.add_linear_dim(base=(0, 10), p1=(0, 0), p2=(30, 0)).render()
    msp.add_text("Last note", dxfattribs={"height": 2.5}).set_placement((10, 40))
    doc.saveas(path, fmt="bin" if binary else "asc")


def audit_codes(path):
    """What ezdxf's audit finds in a drawing: how often each kind of error or fix."""
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    found = {}
    for entry in list(auditor.errors) + list(auditor.fixes):
        found[int(entry.code)] = found.get(int(entry.code), 0) + 1
    return found


# ---- Damaging ASCII drawings -------------------------------------------------------------------

class Ascii:
    """An ASCII drawing as a list of [code, value] line pairs (the lines as they are)."""

    def __init__(self, data):
        lines = data.split(b"\n")
        self.pairs = [[lines[i], lines[i + 1]] for i in range(0, len(lines) - 1, 2)]
        self.tail = b"\n".join(lines[len(self.pairs) * 2:])

    def bytes(self):
        return b"".join(c + b"\n" + v + b"\n" for c, v in self.pairs) + self.tail

    def code(self, i):
        return int(self.pairs[i][0])

    def value(self, i):
        return self.pairs[i][1].rstrip(b"\r")

    def find(self, code, value, start=0):
        for i in range(start, len(self.pairs)):
            if self.code(i) == code and self.value(i) == value:
                return i
        return None

    def section(self, name):
        """The pair index of a section's "0 SECTION" and of its "0 ENDSEC"."""
        i = 0
        while True:
            i = self.find(0, b"SECTION", i)
            if i is None:
                return None, None
            if self.value(i + 1) == name:
                return i, self.find(0, b"ENDSEC", i)
            i += 1

    def record(self, kind, section=b"ENTITIES", nth=0):
        """The pair index of the nth record of a kind in a section, or None."""
        begin, end = self.section(section)
        if begin is None:
            return None
        for i in range(begin + 2, end):
            if self.code(i) == 0 and self.value(i) == kind:
                if nth == 0:
                    return i
                nth -= 1
        return None

    def tag(self, record, code, nth=0):
        """The pair index of the nth tag of a code in the record at pair index record."""
        for i in range(record + 1, len(self.pairs)):
            if self.code(i) == 0:
                return None
            if self.code(i) == code:
                if nth == 0:
                    return i
                nth -= 1
        return None

    def record_end(self, record):
        i = record + 1
        while self.code(i) != 0:
            i += 1
        return i


def pair(code, value):
    return [("%3d" % code).encode(), value]


def ascii_variants(data, version):
    """(name, damaged bytes) for every damage that applies to the drawing."""
    def variant(name, change):
        drawing = Ascii(data)
        try:
            if change(drawing) is False:
                return None
        except (TypeError, ValueError):
            return None  # (what is damaged is not in this drawing)
        return name, drawing.bytes()

    def set_value(section, kind, code, value, nth=0):
        def change(d):
            d.pairs[d.tag(d.record(kind, section), code, nth)][1] = value
        return change

    def delete_tag(section, kind, code):
        def change(d):
            del d.pairs[d.tag(d.record(kind, section), code)]
        return change

    def insert(where, pairs):
        def change(d):
            at = where(d)
            d.pairs[at:at] = pairs
        return change

    def delete_record(section, kind, nth=0):
        def change(d):
            at = d.record(kind, section, nth)
            del d.pairs[at:d.record_end(at)]
        return change

    def entities_before_tables(d):
        """The ENTITIES section moved before TABLES: its entities name blocks the file gives later."""
        begin, end = d.section(b"ENTITIES")
        entities = d.pairs[begin:end + 1]
        del d.pairs[begin:end + 1]
        at = d.section(b"TABLES")[0]
        d.pairs[at:at] = entities

    def both(*changes):
        def change(d):
            for c in changes:
                if c(d) is False:
                    return False
        return change

    changes = [
        # (Not damage: the host reads it as it is, with nothing to say, and a save keeps every byte.)
        ("reordered_entities_before_tables", lambda d: entities_before_tables(d) if version != "R12" else False),
        ("owner_no_block_entities_before_tables", lambda d: both(set_value(b"ENTITIES", b"LINE", 330, b"FFFFF"),
                                                                 entities_before_tables)(d) if version != "R12" else False),
        ("real_abc_in_text_height", set_value(b"ENTITIES", b"TEXT", 40, b"abc")),
        ("real_12n5_in_line_start", set_value(b"ENTITIES", b"LINE", 10, b"12n5")),
        ("real_empty_in_circle_radius", set_value(b"ENTITIES", b"CIRCLE", 40, b"")),
        ("real_abc_in_block_text", set_value(b"BLOCKS", b"TEXT", 40, b"abc")),
        ("real_abc_in_style", set_value(b"TABLES", b"STYLE", 41, b"abc")),
        ("real_abc_in_linetype", set_value(b"TABLES", b"LTYPE", 40, b"abc")),
        ("real_abc_in_header", lambda d: d.pairs.__setitem__(d.find(9, b"$LTSCALE") + 1, pair(40, b"x1"))),
        ("handle_G1", set_value(b"ENTITIES", b"LINE", 5, b"G1")),
        ("handle_taken", lambda d: d.pairs[d.tag(d.record(b"LINE"), 5)].__setitem__(1, d.value(d.tag(d.record(b"CIRCLE"), 5)))),
        ("owner_no_block", set_value(b"ENTITIES", b"LINE", 330, b"FFFFF")),
        ("code_1234567", insert(lambda d: d.tag(d.record(b"LINE"), 8) + 1, [[b"1234567", b"5"]])),
        ("real_where_integer_goes", set_value(b"ENTITIES", b"TEXT", 72, b"2.5")),
        ("real_in_polyline_flags", set_value(b"ENTITIES", b"POLYLINE", 70, b"2.5")),
        ("integer_overflow", set_value(b"ENTITIES", b"HATCH", 91, b"99999999999999999999")),
        ("letters_in_hatch_integer", set_value(b"ENTITIES", b"HATCH", 93, b"abc")),
        ("letters_in_hatch_flags", set_value(b"ENTITIES", b"HATCH", 70, b"abc")),
        ("letters_in_class", lambda d: d.pairs[d.tag(d.record(b"CLASS", b"CLASSES"), 90)].__setitem__(1, b"abc")),
        ("letters_in_layout", set_value(b"OBJECTS", b"LAYOUT", 70, b"abc", 1)),
        ("lone_x", delete_tag(b"ENTITIES", b"LINE", 20)),
        ("reactors_never_closed", lambda d: d.pairs.__delitem__(d.find(102, b"}", d.find(102, b"{ACAD_REACTORS")))),
        ("entity_reactors_never_closed", lambda d: d.pairs.__delitem__(
            d.find(102, b"}", d.tag(d.record(b"DIMENSION"), 102)))),
        ("eof_in_the_middle", insert(lambda d: d.record(b"CIRCLE"), [pair(0, b"EOF")])),
        ("stray_endsec", insert(lambda d: d.section(b"ENTITIES")[0], [pair(0, b"ENDSEC")])),
        ("tag_outside_any_object", insert(lambda d: d.section(b"ENTITIES")[0] + 2, [pair(8, b"stray")])),
        ("record_outside_any_section", insert(lambda d: d.section(b"ENTITIES")[0], [pair(0, b"LINE"), pair(8, b"0")])),
        ("unnamed_section", lambda d: d.pairs.__delitem__(d.find(2, b"CLASSES") if d.find(2, b"CLASSES") is not None else None)),
        ("no_endtab", lambda d: d.pairs.__delitem__(d.find(0, b"ENDTAB", d.find(2, b"LAYER")))),
        ("no_endblk", lambda d: d.pairs.__delitem__(d.find(0, b"ENDBLK", d.find(2, b"TitleBlock")))),
        ("no_seqend", delete_record(b"ENTITIES", b"SEQEND")),
        ("orphan_vertex", insert(lambda d: d.record(b"CIRCLE"), [pair(0, b"VERTEX"), pair(8, b"0"), pair(10, b"1.0"), pair(20, b"2.0")])),
        ("no_block_record", lambda d: delete_record(b"TABLES", b"BLOCK_RECORD", 2)(d) if version != "R12" else False),
        ("insert_of_no_block", set_value(b"ENTITIES", b"INSERT", 2, b"Nowhere")),
        ("insert_naming_no_block", delete_tag(b"ENTITIES", b"INSERT", 2)),
        ("second_layer_named_alike", insert(lambda d: d.find(0, b"ENDTAB", d.find(2, b"LAYER")),
                                            [pair(0, b"LAYER")] + ([pair(5, b"FFF0"), pair(100, b"AcDbSymbolTableRecord"),
                                                                    pair(100, b"AcDbLayerTableRecord")] if version != "R12" else []) +
                                            [pair(2, b"Notes"), pair(70, b"0"), pair(62, b"1"), pair(6, b"Continuous")])),
        ("second_layer_table", insert(lambda d: d.find(0, b"ENDSEC", d.section(b"TABLES")[0]),
                                      [pair(0, b"TABLE"), pair(2, b"LAYER"), pair(70, b"1"), pair(0, b"LAYER")] +
                                      ([pair(5, b"FFF1"), pair(100, b"AcDbSymbolTableRecord"), pair(100, b"AcDbLayerTableRecord")]
                                       if version != "R12" else []) +
                                      [pair(2, b"Extra"), pair(70, b"0"), pair(62, b"5"), pair(6, b"Continuous"), pair(0, b"ENDTAB")])),
        ("bad_version", lambda d: d.pairs[d.find(9, b"$ACADVER") + 1].__setitem__(1, b"AC10Z5")),
        ("bad_code_page", lambda d: d.pairs[d.find(9, b"$DWGCODEPAGE") + 1].__setitem__(1, b"ANSI_12X2")),
        ("bad_handle_seed", lambda d: d.pairs[d.find(9, b"$HANDSEED") + 1].__setitem__(1, b"G1")),
        ("bad_units", lambda d: d.pairs[d.find(9, b"$INSUNITS") + 1].__setitem__(1, b"2310")),
        ("trash_after_eof", lambda d: setattr(d, "tail", d.tail + b"trash\nbeyond\nEOF\n")),
        ("no_eof", lambda d: d.pairs.__delitem__(d.find(0, b"EOF"))),
    ]
    for name in (b"HEADER", b"CLASSES", b"TABLES", b"BLOCKS", b"ENTITIES", b"OBJECTS"):
        changes.append(("no_endsec_" + name.decode().lower(),
                        lambda d, name=name: d.pairs.__delitem__(d.section(name)[1])))
    found = [variant(name, change) for name, change in changes]
    # Truncations, flipped bytes and deleted lines, at places spread over the file.
    rng = random.Random(len(data) + SEED)
    for n in range(6):
        cut = len(data) * (n + 1) // 7
        found.append(("cut_at_%d" % cut, data[:cut]))
    for n in range(RANDOM):
        at = rng.randrange(len(data))
        flipped = bytearray(data)
        flipped[at] ^= 1 << rng.randrange(7)
        found.append(("flipped_byte_%d" % at, bytes(flipped)))
    lines = data.split(b"\n")
    for n in range(max(1, RANDOM * 2 // 3)):
        at = rng.randrange(len(lines) - 1)
        found.append(("deleted_line_%d" % (at + 1), b"\n".join(lines[:at] + lines[at + 1:])))
        at -= at % 2
        found.append(("deleted_lines_%d_%d" % (at + 1, at + 2), b"\n".join(lines[:at] + lines[at + 2:])))
    return [v for v in found if v is not None]


# ---- Damaging binary drawings ------------------------------------------------------------------

def binary_tags(data, short_codes):
    """(offset of the code, offset of the value, offset past it, code) of each tag."""
    tags = []
    p = 22
    while p < len(data):
        begin = p
        if short_codes:
            code = data[p]
            p += 1
            if code == 255:
                code = struct.unpack_from("<h", data, p)[0]
                p += 2
        else:
            code = struct.unpack_from("<h", data, p)[0]
            p += 2
        value = p
        if 10 <= code <= 59 or 110 <= code <= 149 or 210 <= code <= 239 or 460 <= code <= 469 or 1010 <= code <= 1059:
            p += 8
        elif 60 <= code <= 79 or 170 <= code <= 179 or 270 <= code <= 289 or 370 <= code <= 389 or 400 <= code <= 409 or 1060 <= code <= 1070:
            p += 2
        elif 90 <= code <= 99 or 420 <= code <= 429 or 440 <= code <= 459 or code == 1071:
            p += 4
        elif 160 <= code <= 169:
            p += 8
        elif 290 <= code <= 299:
            p += 1
        elif 310 <= code <= 319 or code == 1004:
            p += 1 + data[p]
        else:
            p = data.index(b"\0", p) + 1
        tags.append((begin, value, p, code))
        if code == 0 and data[value:p - 1] == b"EOF":
            break
    return tags


def binary_variants(data):
    short_codes = data[23] != 0
    tags = binary_tags(data, short_codes)
    code_size = 1 if short_codes else 2

    def value(t):
        return data[t[1]:t[2] - 1]

    def record(kind, nth=0):
        for i, t in enumerate(tags):
            if t[3] == 0 and value(t) == kind:
                if nth == 0:
                    return i
                nth -= 1
        return None

    def tag_of(rec, code):
        for t in tags[rec + 1:]:
            if t[3] == 0:
                return None
            if t[3] == code:
                return t
        return None

    found = []
    line = record(b"LINE")
    start = tag_of(line, 10)
    flipped = bytearray(data)
    flipped[start[0] + code_size - 1] ^= 0x60 if short_codes else 0x40  # a group code no drawing uses
    found.append(("flipped_group_code", bytes(flipped)))
    nan = bytearray(data)
    nan[start[1]:start[1] + 8] = struct.pack("<d", float("nan"))
    found.append(("nan_in_line_start", bytes(nan)))
    endsec = [t for t in tags if t[3] == 0 and value(t) == b"ENDSEC"]
    entities_end = endsec[-2] if len(endsec) > 1 else endsec[-1]
    found.append(("no_endsec", data[:entities_end[0]] + data[entities_end[2]:]))
    circle = tags[record(b"CIRCLE")]
    eof = data[tags[-1][0]:tags[-1][2]]
    found.append(("eof_in_the_middle", data[:circle[0]] + eof + data[circle[0]:]))
    if not short_codes:
        opened = [i for i, t in enumerate(tags) if t[3] == 102 and value(t) == b"{ACAD_REACTORS"]
        if opened:
            close = next(t for t in tags[opened[0]:] if t[3] == 102 and value(t) == b"}")
            found.append(("reactors_never_closed", data[:close[0]] + data[close[2]:]))
    for n in range(4):
        cut = len(data) * (n + 1) // 5
        found.append(("cut_at_%d" % cut, data[:cut]))
    rng = random.Random(len(data) + SEED)
    for n in range(RANDOM):
        at = rng.randrange(22, len(data))
        damaged = bytearray(data)
        damaged[at] ^= 1 << rng.randrange(8)
        found.append(("flipped_byte_%d" % at, bytes(damaged)))
    return found


# ---- The check of one damaged drawing -----------------------------------------------------------

def ezdxf_audit_or_none(path):
    try:
        return audit_codes(path)
    except Exception:  # ezdxf cannot read it
        return None


def check_damaged(tool, path, undamaged_audit, where, targeted):
    """Opens a damaged drawing with the host and saves it; targeted damage must be reported. A byte
    flipped or a line deleted at random may leave a drawing that is well-formed to the host (a
    letter of a text changed): then it says nothing, and saves the drawing as it was."""
    with open(path, "rb") as f:
        damaged = f.read()
    out = path + ".saved.dxf"
    environment = dict(os.environ)
    result = subprocess.run([tool, "copy", path, out], capture_output=True, timeout=60)
    messages = [m for m in result.stderr.decode("utf-8", "replace").splitlines() if m]
    check(result.returncode in (0, 2), "%s: the host exited with %d: %s" % (where, result.returncode, messages))
    if result.returncode == 2:
        # Refused: the reason names its place; read with recovery, it is repaired and saved.
        check(messages and PLACE.match(messages[-1]), "%s: refused without a place: %s" % (where, messages))
        environment["DXFTOOL_RECOVER"] = "1"
        result = subprocess.run([tool, "copy", path, out], capture_output=True, timeout=60, env=environment)
        messages = [m for m in result.stderr.decode("utf-8", "replace").splitlines() if m]
        check(result.returncode in (0, 2), "%s: recovering, the host exited with %d" % (where, result.returncode))
        if result.returncode == 2:
            check(messages and PLACE.match(messages[-1]), "%s: refused without a place: %s" % (where, messages))
    with open(path, "rb") as f:
        check(f.read() == damaged, "%s: the damaged file was changed" % where)
    if result.returncode == 2:
        return "refused"
    with open(out, "rb") as f:
        saved = f.read()
    if not messages:
        check(not targeted, "%s: the host says nothing of the damage" % where)
        check(saved == damaged, "%s: the host says nothing, yet the save differs" % where)
        return "unnoticed"
    unplaced = [m for m in messages if not PLACE.match(m)]
    check(not unplaced, "%s: messages without a place: %s" % (where, unplaced))
    again = subprocess.run([tool, "dump", out], capture_output=True, timeout=60)
    check(again.returncode == 0 and not again.stderr,
          "%s: the save reads back with %s (the host said: %s)" % (where, again.stderr.decode("utf-8", "replace"), messages))
    try:
        found = audit_codes(out)
    except Exception as error:  # ezdxf cannot read the save
        raise AssertionError("%s: ezdxf cannot read the save: %r (the host said: %s)" % (where, error, messages))
    # What the damaged drawing already had (as far as ezdxf reads it), or the undamaged one.
    had = dict(undamaged_audit)
    for code, n in (ezdxf_audit_or_none(path) or {}).items():
        had[code] = max(had.get(code, 0), n)
    new = {code: n for code, n in found.items() if n > had.get(code, 0)}
    check(not new, "%s: ezdxf's audit finds %s in the save, which the drawing did not have (the host said: %s)" %
          (where, new, messages))
    return "repaired"
def run(tool, work):
    bases = [("R12", False), ("R2000", False), ("R2018", False), ("R12", True), ("R2000", True), ("R2018", True)]
    for version, binary in bases:
        name = "damaged_%s%s" % (version, "_binary" if binary else "")

        @case(name)
        def test(version=version, binary=binary, name=name):
            folder = os.path.join(work, name)
            os.makedirs(folder, exist_ok=True)
            base = os.path.join(folder, "undamaged.dxf")
            make_drawing(version, base, binary)
            expected = audit_codes(base)
            with open(base, "rb") as f:
                data = f.read()
            variants = binary_variants(data) if binary else ascii_variants(data, version)
            failures, outcomes = [], {}
            for variant, damaged in variants:
                path = os.path.join(folder, variant + ".dxf")
                with open(path, "wb") as f:
                    f.write(damaged)
                targeted = not variant.startswith(("flipped_byte", "deleted_line", "reordered"))
                try:
                    outcome = check_damaged(tool, path, expected, "%s %s" % (name, variant), targeted)
                    check(not variant.startswith("reordered") or outcome == "unnoticed",
                          "%s %s: a drawing whose sections come in another order is %s" % (name, variant, outcome))
                    outcomes[outcome] = outcomes.get(outcome, 0) + 1
                except (AssertionError, subprocess.TimeoutExpired) as error:
                    failures.append(str(error))
            print("%s: %d variants, %s" % (name, len(variants), outcomes))
            check(not failures, "\n".join(failures))
        test()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--junit", required=True)
    args = parser.parse_args()
    started = time.time()
    run(args.tool, args.work)
    return finish(args.junit, started, "dxf_damaged_crosscheck")


if __name__ == "__main__":
    sys.exit(main())
