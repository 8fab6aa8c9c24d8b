#!/usr/bin/python3
"""Benchmark of ezdxf on the same task: read a drawing, change every TEXT, save it; prints the
times and the peak memory as one JSON line.

    dxf_bench_ezdxf.py IN.dxf OUT.dxf
"""
import json
import sys
import time

import ezdxf


def main():
    source, target = sys.argv[1], sys.argv[2]
    started = time.perf_counter()
    doc = ezdxf.readfile(source)
    loaded = time.perf_counter()
    texts = 0
    for entity in doc.entitydb.values():
        if entity.dxftype() == "TEXT":
            entity.dxf.text = entity.dxf.text + " (rev. B)"
            texts += 1
    edited = time.perf_counter()
    doc.saveas(target)
    saved = time.perf_counter()
    peak = 0.0
    with open("/proc/self/status") as status:  # the high-water mark of this process
        for line in status:
            if line.startswith("VmHWM:"):
                peak = int(line.split()[1]) / 1024.0
    print(json.dumps({"tool": "ezdxf", "load": round(loaded - started, 3), "edit": round(edited - loaded, 3),
                      "save": round(saved - edited, 3), "total": round(saved - started, 3), "texts": texts,
                      "peak_mib": round(peak, 1)}))


if __name__ == "__main__":
    main()
