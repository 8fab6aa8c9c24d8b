#!/usr/bin/python3
"""Cross-checks of the host's drawing files with ezdxf (Debian's python3-ezdxf).

- Drawings ezdxf writes in every version (R12 to R2018, ASCII and binary) load into the host with
  the texts and properties ezdxf sees in them.
- The corpus of third-party drawings: each saves back byte for byte (one the host repairs, to a
  drawing that the host and ezdxf read back cleanly); after every TEXT is changed only those TEXTs
  (and the handle seed) differ, and ezdxf reads the new texts, positions and styles.
- Cyrillic text survives a round trip in an R2000 drawing with ANSI_1251 and in an R2018 one.
- A copied TEXT and an erased TEXT: ezdxf reads the copy (fresh handle, right owner) and not the
  erased one.
- The bundled sample drawing loads without warnings.

The host is driven through the dxftool test program. Results go to a JUnit XML file.
"""
import argparse
import json
import math
import os
import re
import subprocess
import sys
import time
import traceback
import xml.etree.ElementTree as ET

import ezdxf
from ezdxf.lldxf.const import DXFStructureError

VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]
RESULTS = []


def case(name):
    def wrap(function):
        def run(*args):
            started = time.time()
            try:
                function(*args)
                RESULTS.append((name, None, time.time() - started))
            except Exception as error:  # a failure of this case only
                RESULTS.append((name, "%s\n%s" % (error, traceback.format_exc()), time.time() - started))
        return run
    return wrap


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def close(a, b, tolerance=1e-9):
    return abs(a - b) <= tolerance * max(1.0, abs(a), abs(b))


def caret_decode(text):
    """Caret notation as the host reads it: ^@ to ^_ are control characters, "^ " a caret."""
    return re.sub(r"\^([ @-_])", lambda m: "^" if m.group(1) == " " else chr(ord(m.group(1)) - 64), text)


def unicode_decode(text):
    text = re.sub(r"\\[Uu]\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)
    return text.encode("utf-16", "surrogatepass").decode("utf-16")  # joins escaped surrogate pairs


def host_text(raw):
    return unicode_decode(caret_decode(raw))


class Host:
    def __init__(self, tool, work):
        self.tool = tool
        self.work = work

    def run(self, *args, expect=0):
        result = subprocess.run([self.tool, *args], capture_output=True)
        check(result.returncode == expect,
              "dxftool %s exited with %d: %s" % (" ".join(args), result.returncode, result.stderr.decode("utf-8", "replace")))
        return result

    def dump(self, path):
        out = self.run("dump", path).stdout.decode("utf-8")
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    def entities(self, path):
        return {item["handle"]: item for item in self.dump(path) if item["kind"] == "entity"}

    def edit(self, path, out, *edits):
        return self.run("edit", path, out, *edits)


def records(path):
    """The records of an ASCII drawing (from a 0 tag to the next) as lists of (code, value)."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    result, current = [], []
    for i in range(0, len(lines) - 1, 2):
        code = lines[i].strip()
        if code == b"0" and current:
            result.append(current)
            current = []
        current.append((code, lines[i + 1].rstrip(b"\r")))
    if current:
        result.append(current)
    return result


def handle_of(record):
    for code, value in record[1:]:
        if code in (b"5", b"105"):
            return value.decode("ascii", "replace")
    return None


def is_binary(path):
    with open(path, "rb") as f:
        return f.read(18) == b"AutoCAD Binary DXF"


# ---- Drawings written by ezdxf ---------------------------------------------------------------

def make_drawing(version, path, binary=False):
    doc = ezdxf.new(version, setup=True)
    doc.layers.add("Notes", color=3)
    doc.layers.add("Locked", color=1).lock()
    doc.styles.add("Narrow", font="arial.ttf").dxf.width = 0.7
    msp = doc.modelspace()
    msp.add_text("Left note", dxfattribs={"height": 2.5, "layer": "Notes", "style": "Narrow", "rotation": 15,
                                          "width": 0.8, "oblique": 10}).set_placement((10, 20))
    for i, align in enumerate(["CENTER", "RIGHT", "MIDDLE", "TOP_LEFT", "BOTTOM_CENTER", "MIDDLE_RIGHT"]):
        msp.add_text("Aligned %s" % align, dxfattribs={"height": 1.8}).set_placement(
            (5 + i, 40 + 3 * i), align=ezdxf.enums.TextEntityAlignment[align])
    msp.add_text("Fit text", dxfattribs={"height": 2}).set_placement((0, 60), (20, 60), align=ezdxf.enums.TextEntityAlignment.FIT)
    msp.add_text("On a locked layer", dxfattribs={"height": 2, "layer": "Locked"}).set_placement((0, 70))
    msp.add_line((0, 0), (50, 0))
    msp.add_circle((5, 5), 2.5)
    if version != "R12":
        long_text = "First paragraph of a long note. " * 12 + "\\PSecond paragraph with {\\C1;colour}."
        mtext = msp.add_mtext(long_text, dxfattribs={"char_height": 2.0, "width": 60, "layer": "Notes",
                                                      "style": "Narrow", "attachment_point": 5, "line_spacing_factor": 1.5})
        mtext.set_location((100, 100), rotation=30)
        msp.add_mtext("Short MTEXT", dxfattribs={"char_height": 3.0}).set_location((100, 50))
        msp.add_lwpolyline([(0, 0), (10, 0), (10, 10)], close=True)
    dims = [
        msp.add_linear_dim(base=(0, 10), p1=(0, 0), p2=(30, 0), text="<> mm", override={"dimtxt": 3.5, "dimtxsty": "Narrow"}),
        msp.add_linear_dim(base=(40, 0), p1=(30, 0), p2=(30, 20), angle=90),
        msp.add_aligned_dim(p1=(0, 0), p2=(30, 20), distance=5, text="aligned"),
        msp.add_radius_dim(center=(60, 60), radius=10, angle=45),
        msp.add_diameter_dim(center=(90, 60), radius=8, angle=30, text="%%c<>"),
        msp.add_angular_dim_3p(base=(130, 30), center=(120, 10), p1=(140, 10), p2=(120, 30)),
    ]
    for dim in dims:
        dim.render()
    block = doc.blocks.new("TitleBlock")
    block.add_text("DRAWING TITLE", dxfattribs={"height": 5}).set_placement((2, 2))
    block.add_text("Sheet 1 of 1", dxfattribs={"height": 2.5}).set_placement((2, 10))
    msp.add_blockref("TitleBlock", (200, 0), dxfattribs={"xscale": 2, "yscale": 2})
    layout = doc.layouts.new("Sheet A1") if version != "R12" else doc.layout("Layout1")
    layout.add_text("Paper space note", dxfattribs={"height": 3}).set_placement((10, 10))
    if binary:
        doc.saveas(path, fmt="bin")
    else:
        doc.saveas(path)


def ezdxf_texts(doc):
    found = {}
    for entity in doc.entitydb.values():
        if entity.dxftype() in ("TEXT", "MTEXT", "DIMENSION") and not entity.is_virtual:
            found[entity.dxf.handle] = entity
    return found


def compare_text(ours, theirs, where):
    check(ours["text"] == host_text(theirs.dxf.text), "%s: text %r and %r" % (where, ours["text"], theirs.dxf.text))
    check(close(ours["height"], theirs.dxf.height), "%s: height" % where)
    check(close(ours["rotation"], math.radians(theirs.dxf.rotation)), "%s: rotation" % where)
    check(close(ours["widthFactor"], theirs.dxf.width), "%s: width factor" % where)
    check(close(ours["oblique"], math.radians(theirs.dxf.oblique)), "%s: oblique" % where)
    check(ours["style"].upper() == theirs.dxf.style.upper(), "%s: style %s and %s" % (where, ours["style"], theirs.dxf.style))
    check(ours["halign"] == theirs.dxf.halign and ours["valign"] == theirs.dxf.valign, "%s: justification" % where)
    check(all(close(a, b) for a, b in zip(ours["position"], theirs.dxf.insert)), "%s: position %s and %s" % (where, ours["position"], theirs.dxf.insert))
    if theirs.dxf.hasattr("align_point") and (theirs.dxf.halign, theirs.dxf.valign) != (0, 0):
        check(all(close(a, b) for a, b in zip(ours["alignment"], theirs.dxf.align_point)), "%s: alignment point" % where)
    check(ours["layer"].upper() == theirs.dxf.layer.upper(), "%s: layer" % where)


def compare_mtext(ours, theirs, where):
    check(ours["text"] == host_text(theirs.text), "%s: contents differ" % where)
    check(close(ours["height"], theirs.dxf.char_height), "%s: height" % where)
    check(close(ours["width"], theirs.dxf.get("width", 0)), "%s: width" % where)
    check(ours["attachment"] == theirs.dxf.attachment_point, "%s: attachment" % where)
    check(close(ours["lineSpacing"], theirs.dxf.get("line_spacing_factor", 1.0)), "%s: line spacing" % where)
    check(close(ours["rotation"], math.radians(theirs.get_rotation()), 1e-9), "%s: rotation %s and %s" % (where, ours["rotation"], theirs.get_rotation()))
    check(ours["style"].upper() == theirs.dxf.style.upper(), "%s: style" % where)
    check(all(close(a, b) for a, b in zip(ours["position"], theirs.dxf.insert)), "%s: location" % where)


DIMENSION_CLASSES = {0: "AcDbRotatedDimension", 1: "AcDbAlignedDimension", 2: "AcDb2LineAngularDimension",
                     3: "AcDbDiametricDimension", 4: "AcDbRadialDimension", 5: "AcDb3PointAngularDimension",
                     6: "AcDbOrdinateDimension"}


def compare_dimension(ours, theirs, doc, where):
    check(ours["text"] == host_text(theirs.dxf.get("text", "")), "%s: text %r and %r" % (where, ours["text"], theirs.dxf.get("text")))
    check(ours["dimstyle"].upper() == theirs.dxf.dimstyle.upper(), "%s: dimension style" % where)
    check(ours["class"] == DIMENSION_CLASSES[theirs.dxf.dimtype & 15], "%s: kind %s" % (where, ours["class"]))
    check(all(close(a, b) for a, b in zip(ours["textPosition"], theirs.dxf.text_midpoint)), "%s: text position" % where)
    overrides = dstyle_overrides(theirs, doc)
    if 140 in overrides:
        check(close(ours.get("dimtxt", -1), overrides[140]), "%s: DIMTXT override %s and %s" % (where, ours.get("dimtxt"), overrides[140]))
    else:
        check("dimtxt" not in ours, "%s: a DIMTXT override ezdxf does not see" % where)
    if 340 in overrides:
        check(ours.get("dimtxsty", "").upper() == overrides[340].upper(), "%s: DIMTXSTY override %s and %s" % (where, ours.get("dimtxsty"), overrides[340]))
    else:
        check("dimtxsty" not in ours, "%s: a DIMTXSTY override ezdxf does not see" % where)


def dstyle_overrides(dimension, doc):
    """The DSTYLE overrides in a dimension's "ACAD" extended data: variable code to value."""
    found = {}
    if not dimension.has_xdata("ACAD"):
        return found
    tags = list(dimension.get_xdata("ACAD"))
    for i, tag in enumerate(tags):
        if tag.code == 1000 and tag.value == "DSTYLE":
            j = i + 2
            while j + 1 < len(tags) and tags[j].code == 1070:
                value = tags[j + 1].value
                if tags[j].value == 340:
                    style = doc.entitydb.get(value)
                    value = style.dxf.name if style is not None else value
                found[tags[j].value] = value
                j += 2
    return found


def compare_all(host, path, where):
    """Every TEXT, MTEXT and DIMENSION ezdxf finds, the host has with the same properties."""
    doc = ezdxf.readfile(path)
    ours = host.entities(path)
    theirs = ezdxf_texts(doc)
    check(theirs, "%s: ezdxf finds no texts" % where)
    for handle, entity in theirs.items():
        mine = ours.get(handle)
        check(mine is not None, "%s: the host lacks %s %s" % (where, entity.dxftype(), handle))
        label = "%s %s %s" % (where, entity.dxftype(), handle)
        if entity.dxftype() == "TEXT":
            compare_text(mine, entity, label)
        elif entity.dxftype() == "MTEXT":
            compare_mtext(mine, entity, label)
        else:
            compare_dimension(mine, entity, doc, label)
    layers = {item["name"].upper(): item for item in host.dump(path) if item["kind"] == "layer"}
    for layer in doc.layers:
        check(layers[layer.dxf.name.upper()]["locked"] == layer.is_locked(), "%s: layer %s lock" % (where, layer.dxf.name))
    return len(theirs)


def run_versions(host, work):
    for version in VERSIONS:
        for binary in (False, True):
            if binary and version not in ("R12", "R2000", "R2018"):
                continue
            name = "ezdxf_%s%s" % (version, "_binary" if binary else "")

            @case(name)
            def test(version=version, binary=binary, name=name):
                path = os.path.join(work, name + ".dxf")
                make_drawing(version, path, binary)
                compare_all(host, path, name)
                # Saved unchanged, the host gives back the same bytes.
                out = os.path.join(work, name + ".copy.dxf")
                host.run("copy", path, out)
                with open(path, "rb") as a, open(out, "rb") as b:
                    check(a.read() == b.read(), "%s: not saved byte for byte" % name)
                # Every text changed: ezdxf reads the new texts.
                edited = os.path.join(work, name + ".edited.dxf")
                host.edit(path, edited, "alltexts", " (rev. B)")
                compare_all(host, edited, name + " edited")
                for entity in ezdxf.readfile(edited).entitydb.values():
                    if entity.dxftype() == "TEXT" and entity.dxf.layer != "Locked":
                        check(entity.dxf.text.endswith(" (rev. B)"), "%s: %s not changed" % (name, entity.dxf.handle))
            test()


# ---- The corpus ------------------------------------------------------------------------------

def run_corpus(host, corpus, work):
    files = []
    for root, _, names in os.walk(corpus):
        files += [os.path.join(root, n) for n in sorted(names) if n.endswith(".dxf")]
    for path in sorted(files):
        name = "corpus_" + os.path.basename(path)[:-4]

        @case(name)
        def test(path=path, name=name):
            out = os.path.join(work, name + ".dxf")
            result = subprocess.run([host.tool, "copy", path, out], capture_output=True)
            messages = result.stderr.decode("utf-8", "replace")
            if result.returncode == 2:
                check("line" in messages or "byte" in messages, "%s refused without a place: %s" % (name, messages))
                return
            check(result.returncode == 0, "%s: %s" % (name, messages))
            with open(path, "rb") as a, open(out, "rb") as b:
                same = a.read() == b.read()
            repaired = bool(messages.strip())
            check(same or repaired, "%s: not saved byte for byte" % name)
            if repaired:
                # What the host repaired is saved repaired: the host reads it back with nothing to
                # report, and ezdxf reads it.
                again = subprocess.run([host.tool, "dump", out], capture_output=True)
                check(again.returncode == 0 and not again.stderr, "%s: the repaired save reads back with %s" % (name, again.stderr))
                ezdxf.readfile(out)
                return
            # Every TEXT changed: only those records and the seed differ; ezdxf reads them.
            edited = os.path.join(work, name + ".edited.dxf")
            host.edit(path, edited, "alltexts", " (rev. B)")
            before = host.entities(path)
            after = host.entities(edited)
            if not is_binary(path):
                old, new = records(path), records(edited)
                check(len(old) == len(new), "%s: records were added or lost" % name)
                for a, b in zip(old, new):
                    if a != b:
                        check(b[0][1] == b"TEXT", "%s: a %s changed" % (name, b[0][1]))
            try:
                doc = ezdxf.readfile(edited)
                original = ezdxf.readfile(path)
            except (DXFStructureError, ezdxf.DXFError, UnicodeDecodeError) as error:
                check("the original" and not _ezdxf_reads(path), "%s: ezdxf cannot read the output: %s" % (name, error))
                return
            theirs = {e.dxf.handle: e for e in doc.entitydb.values() if e.dxftype() == "TEXT"}
            was = {e.dxf.handle: e for e in original.entitydb.values() if e.dxftype() == "TEXT"}
            for handle, mine in after.items():
                if mine["type"] != "TEXT" or handle not in theirs or handle not in was:
                    continue
                entity = theirs[handle]
                if before[handle]["layer"] and mine["text"] == before[handle]["text"]:
                    continue  # on a locked layer
                check(host_text(entity.dxf.text) == mine["text"], "%s %s: text" % (name, handle))
                check(host_text(entity.dxf.text) == host_text(was[handle].dxf.text) + " (rev. B)", "%s %s: ezdxf text" % (name, handle))
                check(all(close(a, b) for a, b in zip(mine["position"], entity.dxf.insert)), "%s %s: position" % (name, handle))
                check(entity.dxf.style == was[handle].dxf.style, "%s %s: style" % (name, handle))
        test()


def _ezdxf_reads(path):
    try:
        ezdxf.readfile(path)
        return True
    except Exception:
        return False


# ---- Cyrillic, copies and erasures -------------------------------------------------------------

@case("cyrillic_R2000_ANSI_1251")
def cyrillic_r2000(host, work):
    path = os.path.join(work, "cyrillic_r2000.dxf")
    doc = ezdxf.new("R2000")
    doc.header["$DWGCODEPAGE"] = "ANSI_1251"
    doc.encoding = "cp1251"
    text = doc.modelspace().add_text("Привет, мир", dxfattribs={"height": 2})
    doc.saveas(path)
    with open(path, "rb") as f:
        check("Привет, мир".encode("cp1251") in f.read(), "ezdxf did not write Windows-1251")
    ours = host.entities(path)[text.dxf.handle]
    check(ours["text"] == "Привет, мир", "the host reads %r" % ours["text"])
    out = os.path.join(work, "cyrillic_r2000.out.dxf")
    words = "Съешь ещё этих мягких булок — ∑ \U0001F600"
    host.edit(path, out, "settext", text.dxf.handle, words)
    with open(out, "rb") as f:
        data = f.read()
    check("Съешь ещё этих мягких булок — ".encode("cp1251") + b"\\U+2211 \\U+D83D\\U+DE00" in data, "not written in Windows-1251 with escapes")
    check(host_text(ezdxf.readfile(out).entitydb[text.dxf.handle].dxf.text) == words, "ezdxf reads another text")
    check(host.entities(out)[text.dxf.handle]["text"] == words, "the host reads another text back")


@case("cyrillic_R2018")
def cyrillic_r2018(host, work):
    path = os.path.join(work, "cyrillic_r2018.dxf")
    doc = ezdxf.new("R2018")
    mtext = doc.modelspace().add_mtext("Чертёж\\PВторая строка", dxfattribs={"char_height": 2})
    doc.saveas(path)
    check(host.entities(path)[mtext.dxf.handle]["text"] == "Чертёж\\PВторая строка", "the host reads another text")
    out = os.path.join(work, "cyrillic_r2018.out.dxf")
    words = "Новая заметка\\Pс числом № 7 и \U0001F600"
    host.edit(path, out, "settext", mtext.dxf.handle, words)
    with open(out, "rb") as f:
        check(words.encode("utf-8") in f.read(), "not written as UTF-8")
    check(ezdxf.readfile(out).entitydb[mtext.dxf.handle].text == words, "ezdxf reads another text")


@case("copy_and_erase_text")
def copy_and_erase(host, work):
    path = os.path.join(work, "copy_erase.dxf")
    doc = ezdxf.new("R2018", setup=True)
    msp = doc.modelspace()
    keep = msp.add_text("Copy me", dxfattribs={"height": 2.5, "style": "OpenSans", "layer": "Notes"})
    keep.set_placement((10, 10))
    gone = msp.add_text("Erase me", dxfattribs={"height": 2.5})
    block = doc.blocks.new("Frame")
    inner = block.add_text("In a block", dxfattribs={"height": 1})
    block.add_attdef("SHEET", (0, 0), dxfattribs={"height": 1})
    insert = msp.add_blockref("Frame", (50, 50))
    insert.add_auto_attribs({"SHEET": "A-101"})
    group = doc.groups.new("pair")
    group.extend([keep, gone])
    doc.saveas(path)
    seed = int(doc.header["$HANDSEED"], 16)
    out = os.path.join(work, "copy_erase.out.dxf")
    result = host.edit(path, out, "clone", keep.dxf.handle, "clone", inner.dxf.handle, "erase", gone.dxf.handle,
                       "clone", insert.dxf.handle)
    copies = [json.loads(line.split(" ", 1)[1]) for line in result.stdout.decode().splitlines() if line.startswith("clone ")]
    check(len(copies) == 3, "the host made %d copies" % len(copies))
    new = ezdxf.readfile(out)
    auditor = new.audit()
    check(not auditor.has_errors, "ezdxf finds errors: %s" % [str(e.message) for e in auditor.errors])
    check(gone.dxf.handle not in new.entitydb, "the erased text is still there")
    check(all(e.dxf.handle != gone.dxf.handle for e in new.groups.get("pair")), "the group still names the erased text")
    first = new.entitydb[copies[0]]
    check(first.dxftype() == "TEXT" and first.dxf.text == "Copy me", "the copy is not the text")
    check(int(first.dxf.handle, 16) >= seed, "the copy's handle %s is not fresh" % first.dxf.handle)
    check(first.dxf.owner == new.modelspace().block_record_handle, "the copy's owner is %s" % first.dxf.owner)
    check(first.dxf.style == "OpenSans" and first.dxf.layer == "Notes", "the copy lost its style or layer")
    check(tuple(first.dxf.insert) == (10, 10, 0), "the copy moved")
    check(first in list(new.modelspace()), "the copy is not in model space")
    second = new.entitydb[copies[1]]
    check(second.dxf.owner == new.blocks.get("Frame").block_record_handle, "the block's copy has owner %s" % second.dxf.owner)
    in_block = [e.dxf.handle for e in new.blocks.get("Frame")]
    check(in_block[-1] == second.dxf.handle and inner.dxf.handle in in_block, "the copy is not the block's last entity")
    third = new.entitydb[copies[2]]
    check(third.dxftype() == "INSERT" and [a.dxf.text for a in third.attribs] == ["A-101"], "the copied INSERT lost its attribute")
    check(third.attribs[0].dxf.handle not in (a.dxf.handle for a in insert.attribs), "the attribute's copy kept the handle")
    check(int(new.header["$HANDSEED"], 16) > int(third.attribs[0].dxf.handle, 16), "the handle seed was not raised")


@case("new_drawing")
def new_drawing(host, work):
    path = os.path.join(work, "new.dxf")
    host.run("new", path)
    doc = ezdxf.readfile(path)
    check(doc.dxfversion == "AC1032", "a new drawing is not R2018")
    auditor = doc.audit()
    check(not auditor.has_errors and not auditor.fixes,
          "ezdxf finds errors: %s" % [str(e.message) for e in list(auditor.errors) + list(auditor.fixes)])
    # The dimension the host made comes with its picture (ezdxf's audit would remove one without).
    dimensions = [e for e in doc.modelspace() if e.dxftype() == "DIMENSION"]
    check(len(dimensions) == 1, "model space holds %d dimensions" % len(dimensions))
    picture = doc.blocks.get(dimensions[0].dxf.geometry)
    check(picture is not None and [e.dxftype() for e in picture] == ["LINE", "LINE", "LINE", "TEXT"],
          "the dimension's geometry block is %s" % (picture and [e.dxftype() for e in picture]))
    texts = sorted(e.dxf.text for e in doc.modelspace() if e.dxftype() == "TEXT")
    check(texts == ["on a locked layer", "Привет from a new drawing"], "model space holds %s" % texts)
    check([e.dxf.text for e in doc.layouts.get("Layout1") if e.dxftype() == "TEXT"] == ["Paper note"], "the sheet lacks its text")
    check([e.dxf.text for e in doc.blocks.get("Title")] == ["TITLE BLOCK TEXT"], "the block lacks its text")
    check(doc.layers.get("Notes").is_locked(), "the layer is not locked")
    check([e.dxf.text for e in doc.modelspace() if e.dxftype() == "MTEXT"] == ["First line\\PSecond line"], "the MTEXT differs")


@case("sample_drawing")
def sample_drawing(host, samples):
    path = os.path.join(samples, "architectural-sheet.dxf")
    check(os.path.exists(path), "the sample drawing is missing")
    result = subprocess.run([host.tool, "dump", path], capture_output=True)
    check(result.returncode == 0 and not result.stderr, "the sample does not load cleanly: %s" % result.stderr.decode())
    items = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    kinds = {}
    for item in items:
        if item["kind"] == "entity":
            kinds[item["type"]] = kinds.get(item["type"], 0) + 1
    check(kinds.get("TEXT", 0) >= 20 and kinds.get("MTEXT", 0) >= 2 and kinds.get("DIMENSION", 0) >= 3, "the sample holds %s" % kinds)
    locked = [item["name"] for item in items if item["kind"] == "layer" and item["locked"]]
    check(locked, "the sample has no locked layer")
    check(any(item["kind"] == "entity" and item["layer"] in locked and item["type"] in ("TEXT", "MTEXT") for item in items),
          "no note lies on the locked layer")
    check(ezdxf.readfile(path).dxfversion == "AC1032", "the sample is not an R2018 drawing")


def write_junit(path, elapsed, name="dxf_ezdxf_crosscheck"):
    suite = ET.Element("testsuite", name=name, tests=str(len(RESULTS)),
                       failures=str(sum(1 for r in RESULTS if r[1])), errors="0", time="%.3f" % elapsed)
    for name, failure, seconds in RESULTS:
        element = ET.SubElement(suite, "testcase", classname="DxfCrossCheck", name=name, time="%.3f" % seconds)
        if failure:
            ET.SubElement(element, "failure", message=failure.splitlines()[0][:200]).text = failure
    root = ET.Element("testsuites", tests=suite.get("tests"), failures=suite.get("failures"), errors="0")
    root.append(suite)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    ET.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--corpus", default="")
    parser.add_argument("--samples", default="")
    parser.add_argument("--work", required=True)
    parser.add_argument("--junit", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    started = time.time()
    host = Host(args.tool, args.work)
    run_versions(host, args.work)
    if args.corpus and os.path.isdir(args.corpus):
        run_corpus(host, args.corpus, args.work)
    else:
        print("the corpus of drawings is absent; its cross-checks are skipped")
    cyrillic_r2000(host, args.work)
    cyrillic_r2018(host, args.work)
    copy_and_erase(host, args.work)
    new_drawing(host, args.work)
    if args.samples:
        sample_drawing(host, args.samples)
    return finish(args.junit, started)


def finish(junit, started, name="dxf_ezdxf_crosscheck"):
    """Writes the results and prints the failures; the exit status."""
    write_junit(junit, time.time() - started, name)
    failed = [r for r in RESULTS if r[1]]
    for case_name, failure, _ in failed:
        print("FAILED %s: %s" % (case_name, failure))
    print("%d passed, %d failed" % (len(RESULTS) - len(failed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
