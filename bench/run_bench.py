#!/usr/bin/env python3
"""Runs the benchmarks and prints the tables of docs/performance.md.

1. The machine's limits (mv_bench BM_Machine_*).
2. Target figures: the library against its baseline, measured in pairs in the
   same run (paired.h): medians of both sides and the median of the per-pair
   ratios, against the target ratio.
3. Further figures without a ratio target.
4. The peer table (mv_peers: the library, OpenSceneGraph, Assimp and a
   fresh-memory copy merging the same faces), when mv_peers was built.
5. The scaling table: `kmbrep export` of host files of 10^2 to 10^5 bodies
   to glTF, wall time and peak resident memory per body.

Times are CPU time of the benchmark thread (user and system) unless a row
says otherwise. Run it niced on a quiet machine; figures of a loaded one
are noisy.

Adding figures: put the benchmark in a new bench/*.cpp (the build picks up
every file there) and either add a line to RATIO_FIGURES below, or add a
module bench/<name>_rows.py with a function rows(runs, tools) returning
table rows; tools.ratio_row(figure, benchmark, target) and tools.fmt_ms are
there for it. Such modules are loaded in name order and their rows printed
after the target figures.

Usage: run_bench.py BUILD_DIR [--json FILE] [--strict] [--no-peers]
                    [--no-scaling] [--max-bodies N]
With --strict the exit status is 1 when a target is missed.
"""
import argparse
import glob
import importlib.util
import json
import os
import platform
import subprocess
import sys
import tempfile
import time
import types

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
HERE = os.path.dirname(os.path.abspath(__file__))

# (figure, benchmark, target ratio): the library against its baseline.
RATIO_FIGURES = [
    ("colour merge, 10^6 triangles / 16 colours (base: copy into fresh memory)", "BM_ColorMerge", 1.5),
    ("colour merge, 10^5 faces / 10^5 colours (base: copy into fresh memory, one block)",
     "BM_ColorMergeManyColors_OneBlock", 1.5),
    ("  same, base: copy into a fresh block per array and colour, as the shapes hold it",
     "BM_ColorMergeManyColors_PerGroup", 1.5),
    ("deserialize 64 MiB from a host stream (base: the same reads directly)", "BM_HostStreamReceive", 1.05),
    ("serialize 64 MiB into a new memory stream (base: std::vector<char> doubling)",
     "BM_HostStreamTransmitNew", 1.2),
    ("file mode write + read 64 MiB (base: stdio, same buffer size)", "BM_FileTransmitReceive_Stdio", 1.05),
    ("file mode write + read 64 MiB (base: raw 1 MiB write()/read())", "BM_FileTransmitReceive_Raw", 1.05),
    ("MvFileStream write + read 256 MiB (base: raw 1 MiB write()/read())", "BM_FileStreamWriteRead", 1.1),
    ("MvVec<int> append 10^7 (base: std::vector push_back)", "BM_VecAppend", 1.1),
    ("nested kernel lock x 10^6 (base: std::recursive_mutex)", "BM_KernelLock", 1.5),
    ("one-part appendKmPart x 10^6 (base: one bulk append)", "BM_AppendKmPart", 3.0),
]

MACHINE_FIGURES = [
    ("memcpy 64 MiB, both buffers resident", "BM_Machine_Memcpy"),
    ("memcpy 64 MiB into memory obtained for it (first touch)", "BM_Machine_FreshCopy"),
    ("page-cache write() 64 MiB in 1 MiB calls", "BM_Machine_PageCacheWrite"),
    ("write() 64 MiB + fsync() (wall clock)", "BM_Machine_PageCacheWriteFsync"),
    ("page-cache read() 64 MiB in 1 MiB calls", "BM_Machine_PageCacheRead"),
]

SCALING_BODIES = [100, 1000, 10000, 100000]


def run_json(cmd, env=None):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "out.json")
        done = subprocess.run(cmd + ["--benchmark_out_format=json", "--benchmark_out=" + path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                              env=dict(os.environ, **(env or {})))
        if done.returncode != 0:
            sys.stderr.write(done.stderr)
            sys.exit("%s failed with status %d" % (cmd[0], done.returncode))
        with open(path) as f:
            return json.load(f)


def collect(report):
    """Per benchmark (name before the first '/'): its runs; failed ones keep
    their error message."""
    runs = {}
    for b in report["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        runs.setdefault(b["name"].split("/")[0], []).append(b)
    return runs


def fmt_ms(ms):
    if ms >= 1000.0:
        return "%.2f s" % (ms / 1000.0)
    if ms >= 1.0:
        return "%.1f ms" % ms
    if ms >= 1e-3:
        return "%.1f us" % (ms * 1e3)
    return "%.1f ns" % (ms * 1e6)


class Tools:
    def __init__(self, runs):
        self.runs = runs
        self.fmt_ms = fmt_ms

    def error(self, name):
        r = self.runs.get(name)
        if not r:
            return "not run"
        return r[0].get("error_message") if r[0].get("error_occurred") else None

    def paired(self, runs, name):
        r = runs[name][0]
        return r["lib_ms"], r["base_ms"], r["ratio"]

    def ratio_row(self, figure, name, target):
        err = self.error(name)
        if err:
            return (figure, "failed: " + err, "-", "-", "<= %.2f" % target, "NO")
        r = self.runs[name][0]
        lib, base, ratio = r["lib_ms"], r["base_ms"], r["ratio"]
        return (figure, fmt_ms(lib), fmt_ms(base), "%.2f" % ratio, "<= %.2f" % target,
                "yes" if ratio <= target else "NO")


def machine_rows(tools):
    out = []
    for figure, name in MACHINE_FIGURES:
        err = tools.error(name)
        if err:
            out.append((figure, "failed: " + err, "-"))
            continue
        r = tools.runs[name][0]
        out.append((figure, fmt_ms(r["lib_ms"]), "%.2f GB/s" % r["gb_s"]))
    return out


def target_rows(tools):
    return [tools.ratio_row(*f) for f in RATIO_FIGURES]


def extra_rows(tools):
    out = []
    for path in sorted(glob.glob(os.path.join(HERE, "*_rows.py"))):
        module_spec = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
        module = importlib.util.module_from_spec(module_spec)
        module_spec.loader.exec_module(module)
        if hasattr(module, "rows"):
            out.extend(module.rows(tools.runs, tools))
        else:
            # A module with a function named after it takes (runs, paired, fmt_ms).
            out.extend(getattr(module, module_spec.name)(tools.runs, tools.paired, fmt_ms))
    return out


def other_rows(tools):
    runs = tools.runs
    out = []
    r = runs["BM_HostStreamTransmitWarm"][0]
    out.append(("serialize 64 MiB into a stream that holds it (warm; base: same blocks written directly)",
                fmt_ms(r["lib_ms"]), fmt_ms(r["base_ms"]), "%.2f" % r["ratio"], "report"))
    growth = max(x["peak_growth_kib"] for x in runs["BM_SerializePeakMemory_Library"])
    held = max(x["peak_growth_kib"] for x in runs["BM_SerializePeakMemory_MemoryStream"])
    out.append(("peak memory growth, 64 MiB serialize to a host file (memory stream: %.0f KiB)" % held,
                "%.0f KiB" % growth, "-", "-", "<= 1024 KiB: %s" % ("yes" if growth <= 1024 else "NO")))
    r = runs["BM_ManyColors"][0]
    out.append(("grouping 10^5 faces of 10^5 colours (base: the same faces in 16 colours)",
                fmt_ms(r["lib_ms"]), fmt_ms(r["base_ms"]), "%.2f" % r["ratio"],
                "<= 250 ms: %s" % ("yes" if r["lib_ms"] <= 250.0 else "NO")))
    e2e = runs["BM_EndToEnd_Library"]
    stages = {k: min(x[k] for x in e2e) for k in ("write_s", "read_s", "tessellate_s")}
    total = sum(stages.values())
    shares = " / ".join("%s %.0f%%" % (k[:-2], 100.0 * v / total) for k, v in stages.items())
    out.append(("demo model, 1000 bodies, wall clock: " + shares, "%.3f s" % total, "-", "-", "report"))
    return out


def peer_rows(build):
    exe = os.path.join(build, "bench", "mv_peers")
    if not os.path.exists(exe):
        return None
    with tempfile.TemporaryDirectory() as tmp:
        done = subprocess.run([exe, tmp], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.stderr.write(done.stderr)
        return [("mv_peers failed with status %d" % done.returncode, "", "", "", "", "")]
    out = []
    for line in done.stdout.splitlines():
        p = json.loads(line)

        def cell(side):
            ms = p[side + "_ms"]
            if ms < 0:
                return "failed"
            n = p[side + "_passes"]
            return fmt_ms(ms) + ("" if n >= 5 else " (%d pass%s)" % (n, "" if n == 1 else "es"))

        out.append(("%d x %d / %d" % (p["faces"], p["triangles_per_face"], p["colors"]),
                    "%d" % (p["faces"] * p["triangles_per_face"]),
                    cell("library"), cell("osg"), cell("assimp"), cell("copy")))
    return out


def run_measured(cmd):
    """Wall seconds and peak resident KiB of one child process, or None."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if status != 0:
        sys.stderr.write("%s: %s" % (" ".join(cmd), err))
        return None
    return seconds, usage.ru_maxrss


def scaling_rows(build, max_bodies):
    maker = os.path.join(build, "bench", "mv_bench_model")
    tool = os.path.join(build, "tools", "kmbrep")
    if not (os.path.exists(maker) and os.path.exists(tool)):
        return None
    out = []
    with tempfile.TemporaryDirectory() as tmp:
        for bodies in [b for b in SCALING_BODIES if b <= max_bodies]:
            model = os.path.join(tmp, "model_%d.mv61" % bodies)
            if run_measured([maker, str(bodies), model]) is None:
                out.append(("%d" % bodies, "model not made", "", "", "", ""))
                continue
            passes = 5 if bodies <= 1000 else 3 if bodies <= 10000 else 1
            results = []
            for _ in range(passes):
                r = run_measured([tool, "export", model, os.path.join(tmp, "out.gltf")])
                if r is None:
                    break
                results.append(r)
            if len(results) != passes:
                out.append(("%d" % bodies, "export failed", "", "", "", ""))
                continue
            seconds = sorted(r[0] for r in results)[len(results) // 2]
            peak = max(r[1] for r in results)
            size = os.path.getsize(os.path.join(tmp, "out.gltf"))
            out.append(("%d" % bodies, "%.2f s (%d)" % (seconds, passes), "%.1f us" % (1e6 * seconds / bodies),
                        "%.1f MiB" % (peak / 1024.0), "%.1f KiB" % (peak / bodies),
                        "%.1f MB" % (size / 1e6)))
            os.remove(model)
    return out


def print_table(header, rows):
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    print()


def machine_line(report):
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
    return "Machine: %s, %d CPUs at %d MHz, %s %s; load %s; run %s" % (
        cpu, ctx["num_cpus"], ctx["mhz_per_cpu"], platform.system(), platform.release(),
        " ".join("%.2f" % x for x in ctx.get("load_avg", [])), ctx["date"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", help="the build directory (build-bench)")
    parser.add_argument("--json", help="keep mv_bench's JSON output in this file")
    parser.add_argument("--strict", action="store_true", help="exit with 1 when a target is missed")
    parser.add_argument("--no-peers", action="store_true")
    parser.add_argument("--no-scaling", action="store_true")
    parser.add_argument("--max-bodies", type=int, default=SCALING_BODIES[-1])
    args = parser.parse_args()

    report = run_json([os.path.join(args.build, "bench", "mv_bench")])
    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=1)
    tools = Tools(collect(report))
    print(machine_line(report))
    print()
    print("Machine limits")
    print()
    print_table(("Figure", "Time", "Rate"), machine_rows(tools))
    print("Targets (library against its baseline in the same run, median of the per-pair ratios)")
    print()
    targets = target_rows(tools) + extra_rows(tools)
    print_table(("Figure", "Library", "Baseline", "Ratio", "Target", "Met"), targets)
    print("Further figures")
    print()
    print_table(("Figure", "Library", "Baseline", "Ratio", "Target"), other_rows(tools))
    if not args.no_peers:
        peers = peer_rows(args.build)
        if peers is None:
            print("Peer table: mv_peers was not built (needs libopenscenegraph-dev and libassimp-dev)\n")
        else:
            print("Peers: merging the same faces by colour (CPU time of the merge alone; median of 5 passes,"
                  " fewer where one pass is slow)")
            print()
            print_table(("Faces x triangles / colours", "Triangles", "Library", "OpenSceneGraph",
                         "Assimp", "Fresh-memory copy"), peers)
    if not args.no_scaling:
        scaling = scaling_rows(args.build, args.max_bodies)
        if scaling is None:
            print("Scaling table: mv_bench_model or kmbrep was not built\n")
        else:
            print("Scaling: kmbrep export of a host file to glTF (wall clock, median of the passes;"
                  " peak resident memory of the process)")
            print()
            print_table(("Bodies", "Time (passes)", "Per body", "Peak memory", "Per body", "glTF size"), scaling)
    missed = any(r[5] == "NO" for r in targets)
    return 1 if args.strict and missed else 0


if __name__ == "__main__":
    sys.exit(main())
