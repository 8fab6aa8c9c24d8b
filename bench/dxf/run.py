#!/usr/bin/python3
"""Drawing-file benchmark: the host's reader and writer against ezdxf and dime on the same files.

Makes (once) drawings of 10,000 and 100,000 TEXT lines with MTEXT, dimensions and lines mixed
in (written by ezdxf, R2018), then for each: reads it, changes every TEXT and saves it with each
tool, each in a process of its own (the host also on one core only, as "ours/1"); prints load, edit
and save times and peak memory, and checks that the host's saves are lossless (an unchanged save
gives back the same bytes; after the edit only TEXT records differ).

    bench/dxf/run.py --ours BUILD/bin/dxf_bench_ours --dime BUILD/bin/dxf_bench_dime [--work DIR]
                     [--hugepages]

--hugepages runs every tool with glibc's heap in transparent huge pages (GLIBC_TUNABLES), which on
machines where page faults are dear (virtual machines) shows the cost of the work itself.
"""
import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"


ENVIRONMENT = dict(os.environ)


def run(command):
    result = subprocess.run(command, capture_output=True, text=True, env=ENVIRONMENT)
    if result.returncode != 0:
        raise SystemExit("%s failed: %s" % (" ".join(command), result.stderr))
    return json.loads(result.stdout.strip().splitlines()[-1])


def best_interleaved(commands, runs):
    """The best run of each command, the commands taking turns: on a machine whose speed wanders
    (a virtual machine), every tool then meets the same slow and fast spells."""
    results = [[] for _ in commands]
    for _ in range(runs):
        for i, command in enumerate(commands):
            results[i].append(run(command))
    return [min(r, key=lambda x: x["total"]) for r in results]


def records(path):
    """The records of an ASCII drawing, one at a time."""
    with open(path, "rb") as f:
        current = []
        while True:
            code, value = f.readline(), f.readline()
            if not value:
                break
            if code.strip() == b"0" and current:
                yield current
                current = []
            current.append(value)
        if current:
            yield current


def changed_kinds(before, after):
    kinds = {}
    missing = object()
    import itertools
    for a, b in itertools.zip_longest(records(before), records(after), fillvalue=missing):
        if a is missing or b is missing:
            return {"record count": "differs"}
        if a != b:
            kind = b[0].decode("ascii", "replace").strip()
            if kind == "SECTION" and b"$HANDSEED" in b"\n".join(b):
                kind = "HEADER"
            kinds[kind] = kinds.get(kind, 0) + 1
    return kinds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ours", required=True)
    parser.add_argument("--dime", default="")
    parser.add_argument("--work", default="/tmp/pellaton-dxf-bench")
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--hugepages", action="store_true")
    args = parser.parse_args()
    if args.hugepages:
        ENVIRONMENT["GLIBC_TUNABLES"] = "glibc.malloc.hugetlb=1"
    os.makedirs(args.work, exist_ok=True)
    rows = []
    for count in [int(n) for n in args.sizes.split(",")]:
        drawing = os.path.join(args.work, "texts-%d.dxf" % count)
        if not os.path.exists(drawing):
            subprocess.run([PYTHON, os.path.join(HERE, "make_drawing.py"), str(count), drawing], check=True)
        size = os.path.getsize(drawing) / 2 ** 20
        out = os.path.join(args.work, "out-%d" % count)
        commands = [[args.ours, drawing, out + ".ours.dxf"], [args.ours, drawing, out + ".ours1.dxf", "--one-core"]]
        if args.dime:
            commands.append([args.dime, drawing, out + ".dime.dxf"])
        ours, oneCore, *dime = best_interleaved(commands, args.runs)
        dime = dime[0] if dime else None
        unchanged = run([args.ours, drawing, out + ".same.dxf", "--unchanged"])
        with open(drawing, "rb") as a, open(out + ".same.dxf", "rb") as b:
            lossless = a.read() == b.read()
        kinds = changed_kinds(drawing, out + ".ours.dxf")
        theirs = run([PYTHON, os.path.join(HERE, "dxf_bench_ezdxf.py"), drawing, out + ".ezdxf.dxf"])
        with open(out + ".ours.dxf", "rb") as a, open(out + ".ours1.dxf", "rb") as b:
            sameOnOneCore = a.read() == b.read()
        rows.append((count, size, ours, oneCore, theirs, dime, lossless, kinds, unchanged, sameOnOneCore))
    print()
    print("%-8s %8s  %-6s %8s %8s %8s %8s %9s %8s" % ("TEXTs", "file MiB", "tool", "load s", "edit s", "save s", "total s", "peak MiB", "peak/file"))
    for count, size, ours, oneCore, theirs, dime, lossless, kinds, unchanged, sameOnOneCore in rows:
        for result in filter(None, (ours, oneCore, theirs, dime)):
            print("%-8d %8.1f  %-6s %8.3f %8.3f %8.3f %8.3f %9.1f %8.2f" % (
                count, size, result["tool"], result["load"], result["edit"], result["save"], result["total"],
                result["peak_mib"], result["peak_mib"] / size))
        line = "  ours: %.1fx faster than ezdxf" % (theirs["total"] / ours["total"])
        if dime:
            line += ", %.1fx faster than dime" % (dime["total"] / ours["total"])
        print(line)
        print("  unchanged save (load %.3f s + save %.3f s) gives back the same bytes: %s" % (
            unchanged["load"], unchanged["save"], "yes" if lossless else "NO"))
        print("  records changed by the edit: %s" % kinds)
        print("  (ours/1: the host on one core; its save is the same bytes: %s)" % ("yes" if sameOnOneCore else "NO"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
