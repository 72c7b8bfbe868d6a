#!/usr/bin/env python3
"""Runs mv_bench and prints one table: each figure, the library's time, the
baseline's time from the same run, their ratio and the target.

Times are CPU time of the benchmark thread (user and system). Figures with
a baseline run it in pairs with the library pass (see paired.h) and show
the medians of both sides and the median of the per-pair ratios; the lock
figure is the best of Google Benchmark's repetitions.

Usage: run_bench.py <path to mv_bench> [--json FILE] [--strict]
With --strict the exit status is 1 when a target is missed.
"""
import argparse
import json
import os
import platform
import subprocess
import sys
import tempfile

from occt_rows import occt_rows

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


# Figure 5 once more with the allocator keeping freed memory in the process
# (no mmap'd blocks, no trimming): the merged shapes then land in memory that
# is already resident, as the baseline's arrays are in a warm process.
RESIDENT_MEMORY = {"MALLOC_MMAP_MAX_": "0", "MALLOC_TRIM_THRESHOLD_": "17179869184"}


def run(executable, json_path, extra_args=(), env=None):
    cmd = [executable, "--benchmark_format=console", "--benchmark_out_format=json",
           "--benchmark_out=" + json_path] + list(extra_args)
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          env=dict(os.environ, **(env or {})))
    if done.returncode != 0:
        sys.stderr.write(done.stderr)
        sys.exit("mv_bench failed with status %d" % done.returncode)
    with open(json_path) as f:
        return json.load(f)


def collect(report):
    """Per benchmark (name before the first '/'): its repetitions."""
    runs = {}
    for b in report["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        if b.get("error_occurred"):
            sys.exit("%s: %s" % (b["name"], b.get("error_message", "error")))
        runs.setdefault(b["name"].split("/")[0], []).append(b)
    return runs


def best_ms(runs, name):
    return min(r["cpu_time"] * UNIT_TO_MS[r["time_unit"]] for r in runs[name])


def counter(runs, name, key, pick=max):
    return pick(r[key] for r in runs[name])


def fmt_ms(ms):
    if ms >= 1000.0:
        return "%.2f s" % (ms / 1000.0)
    if ms >= 1.0:
        return "%.1f ms" % ms
    if ms >= 1e-3:
        return "%.1f us" % (ms * 1e3)
    return "%.1f ns" % (ms * 1e6)


def paired(runs, name):
    r = runs[name][0]
    return r["lib_ms"], r["base_ms"], r["ratio"]


def rows(runs, resident):
    out = []

    def ratio_row(figure, name, target):
        lib, base, ratio = paired(runs, name)
        out.append((figure, fmt_ms(lib), fmt_ms(base), "%.2f" % ratio, "ratio <= %.2f" % target,
                    "yes" if ratio <= target else "NO"))

    ratio_row("1 host-stream transmit, serialize 64 MiB", "BM_HostStreamTransmit", 1.10)
    ratio_row("2 host-stream receive, deserialize 64 MiB", "BM_HostStreamReceive", 1.10)
    ratio_row("3 file mode, 64 MiB transmit + receive", "BM_FileTransmitReceive", 1.05)

    growth = counter(runs, "BM_SerializePeakMemory_Library", "peak_growth_kib")
    held = counter(runs, "BM_SerializePeakMemory_MemoryStream", "peak_growth_kib")
    out.append(("4 peak memory growth, 64 MiB serialize to a file", "%.0f KiB" % growth,
                "(memory stream: %.0f KiB)" % held, "-", "<= 1024 KiB", "yes" if growth <= 1024 else "NO"))

    for label, source in (("resident memory", resident), ("fresh memory", runs)):
        lib, base, ratio = paired(source, "BM_ColorMerge")
        triangles = source["BM_ColorMerge"][0]["triangles"]
        out.append(("5 colour merge, 1M triangles, %s (%.1fM tri/s)" % (label, triangles / lib / 1e3),
                    fmt_ms(lib), fmt_ms(base), "%.2f" % ratio, "ratio <= 4.00", "yes" if ratio <= 4.0 else "NO"))

    lib, base, ratio = paired(runs, "BM_ManyColors")
    out.append(("6 grouping 100k faces of 100k colours (base: 16)", fmt_ms(lib), fmt_ms(base),
                "%.2f" % ratio, "<= 250 ms", "yes" if lib <= 250.0 else "NO"))

    ratio_row("7 MvVec<int> append 10M ints", "BM_VecAppend", 1.5)

    lib = best_ms(runs, "BM_KernelLock_Library")
    base = best_ms(runs, "BM_KernelLock_Baseline")
    out.append(("8 nested kernel lock + unlock (base: recursive_mutex)", fmt_ms(lib), fmt_ms(base),
                "%.2f" % (lib / base), "report", "-"))

    e2e = runs["BM_EndToEnd_Library"]
    stages = {k: min(r[k] for r in e2e) for k in ("write_s", "read_s", "tessellate_s")}
    total = sum(stages.values())
    shares = " / ".join("%s %.0f%%" % (k[:-2], 100.0 * v / total) for k, v in stages.items())
    out.append(("9 demo model, 1000 bodies: " + shares, "%.3f s" % total, "-", "-", "report", "-"))
    out += occt_rows(runs, paired, fmt_ms)
    return out


def print_table(report, table):
    ctx = report["context"]
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    print("Machine: %s, %d CPUs at %d MHz, %s %s; load %s; run %s" % (
        cpu, ctx["num_cpus"], ctx["mhz_per_cpu"], platform.system(), platform.release(),
        " ".join("%.2f" % x for x in ctx.get("load_avg", [])), ctx["date"]))
    print()
    header = ("Figure", "Library", "Baseline", "Ratio", "Target", "Met")
    widths = [max(len(r[i]) for r in table + [header]) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in table:
        print(line(r))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("executable")
    parser.add_argument("--json", help="keep Google Benchmark's JSON output in this file")
    parser.add_argument("--strict", action="store_true", help="exit with 1 when a target is missed")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        json_path = args.json or os.path.join(tmp, "mv_bench.json")
        report = run(args.executable, json_path)
        resident = run(args.executable, os.path.join(tmp, "resident.json"),
                       ["--benchmark_filter=^BM_ColorMerge/"], RESIDENT_MEMORY)
    table = rows(collect(report), collect(resident))
    print_table(report, table)
    missed = any(r[5] == "NO" for r in table)
    return 1 if args.strict and missed else 0


if __name__ == "__main__":
    sys.exit(main())
