#!/usr/bin/env python3
"""Start-up benchmark: the application against a bare Qt Quick window.

Builds (Release, no sanitizers, in a build folder of its own) the bare reference window
(one 1200x688 Window with one Rectangle) and the application's benchmark executable (the real
start-up and Main.qml over the emulated USB bus of tests/support/hid), then starts them
interleaved, each run in a private XDG tree whose settings.ini holds the accepted legal terms, and
prints per case (no device, a dongle plugged in at start) the median time from launch to the
first frame and the median peak memory (VmHWM) at that frame, each with its ratio to the bare
window, and the CPU time the process had used by then. With a dongle it also prints the longest
GUI-thread stall (a 1 ms heartbeat timer; it includes the window's building of the headset screen)
with the most CPU time the GUI thread used between two heartbeats (on a busy machine the wall-clock
stall also holds the waits for a core) and the device I/O made on the GUI thread
(hid_* calls and the HID client's pauses), from the start until the headset screen is up, and
during a later plug-in.

    scripts/bench-startup.py [--runs N] [--build-dir DIR] [--no-build] [--platform offscreen]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build(build_dir):
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        launcher = []
        if shutil.which("ccache"):
            launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DVELMOR_SANITIZE=OFF",
                        "-DVELMOR_BUILD_TESTS=ON"] + launcher,
                       check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", "bench_startup_bare",
                    "bench_startup_app", "--", "-j4"], check=True, stdout=subprocess.DEVNULL)


def private_tree(root):
    """A fresh XDG tree with the legal terms accepted."""
    for folder in ("data", "config", "cache", "runtime", "tmp"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    os.chmod(os.path.join(root, "runtime"), 0o700)
    app_data = os.path.join(root, "data", "Velmor", "Velmor")
    os.makedirs(app_data, exist_ok=True)
    with open(os.path.join(app_data, "settings.ini"), "w") as f:
        f.write("[General]\nlicense_accepted=true\n")


def run_once(exe, device, platform, scratch):
    shutil.rmtree(scratch, ignore_errors=True)
    private_tree(scratch)
    env = dict(os.environ)
    env.update({
        "HOME": scratch,
        "XDG_DATA_HOME": os.path.join(scratch, "data"),
        "XDG_CONFIG_HOME": os.path.join(scratch, "config"),
        "XDG_CACHE_HOME": os.path.join(scratch, "cache"),
        "XDG_RUNTIME_DIR": os.path.join(scratch, "runtime"),
        "TMPDIR": os.path.join(scratch, "tmp"),
        "QT_QPA_PLATFORM": platform,
        "VELMOR_BENCH_DEVICE": device,
    })
    env.pop("QT_LOGGING_RULES", None)
    launched = time.monotonic_ns()
    proc = subprocess.run([exe], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=120)
    values = {}
    for line in proc.stdout.decode(errors="replace").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            values[key.strip()] = float(value)
    if proc.returncode != 0 or "first_frame_clock_ns" not in values:
        sys.exit("%s (%s) failed with %d:\n%s" % (exe, device, proc.returncode,
                                                 proc.stderr.decode(errors="replace")[-2000:]))
    values["first_frame_ms"] = (values["first_frame_clock_ns"] - launched) / 1e6
    values["peak_mb"] = values["peak_rss_kb"] / 1024.0
    if "frame_to_screen_ms" in values:
        values["launch_to_screen_ms"] = values["first_frame_ms"] + values["frame_to_screen_ms"]
    return values


def median(runs, key):
    return statistics.median(r[key] for r in runs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs of each program per case (at least 10)")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "bench-startup"))
    parser.add_argument("--no-build", action="store_true", help="use the executables already built")
    parser.add_argument("--platform", default="offscreen", help="QT_QPA_PLATFORM for the runs")
    args = parser.parse_args()
    runs = max(args.runs, 10)

    if not args.no_build:
        build(args.build_dir)
    bench = os.path.join(args.build_dir, "tests", "benchmarks", "startup")
    bare = os.path.join(bench, "bench_startup_bare")
    app = os.path.join(bench, "bench_startup_app")

    scratch_root = tempfile.mkdtemp(prefix="velmor-bench-startup-")
    try:
        scratch = os.path.join(scratch_root, "run")
        # One warm-up run of each, so that the first measured run does not pay for cold caches.
        run_once(bare, "none", args.platform, scratch)
        run_once(app, "none", args.platform, scratch)
        results = {}
        for case in ("none", "dongle"):
            bare_runs, app_runs = [], []
            for _ in range(runs):
                bare_runs.append(run_once(bare, "none", args.platform, scratch))
                app_runs.append(run_once(app, case, args.platform, scratch))
            results[case] = (bare_runs, app_runs)
    finally:
        shutil.rmtree(scratch_root, ignore_errors=True)

    load = os.getloadavg()[0]
    print("Start-up, median of %d interleaved runs each, QT_QPA_PLATFORM=%s, load average %.1f on %d cores"
          % (runs, args.platform, load, os.cpu_count()))
    print("%-8s %-28s %10s %10s %7s" % ("case", "figure", "bare", "app", "ratio"))
    for case, (bare_runs, app_runs) in results.items():
        for key, label in (("first_frame_ms", "first frame (ms)"), ("peak_mb", "peak memory at it (MB)"),
                           ("first_frame_cpu_ms", "CPU time to it (ms)")):
            b, a = median(bare_runs, key), median(app_runs, key)
            print("%-8s %-28s %10.1f %10.1f %6.2fx" % (case, label, b, a, a / b))
    dongle = results["dongle"][1]
    print()
    print("With a dongle (median over the runs; max in brackets):")
    for key, label in (
            ("launch_to_screen_ms", "launch to headset screen (ms)"),
            ("startup_stall_ms", "longest GUI-thread stall, start-up (ms)"),
            ("startup_stall_cpu_ms", "  its CPU time: GUI-thread work in it (ms)"),
            ("startup_gui_io_calls", "device I/O calls on the GUI thread, start-up"),
            ("startup_gui_io_ms", "GUI-thread time in them (ms)"),
            ("plugin_to_screen_ms", "plug-in to headset screen (ms)"),
            ("plugin_stall_ms", "longest GUI-thread stall, plug-in (ms)"),
            ("plugin_stall_cpu_ms", "  its CPU time: GUI-thread work in it (ms)"),
            ("plugin_gui_io_calls", "device I/O calls on the GUI thread, plug-in"),
            ("plugin_gui_io_ms", "GUI-thread time in them (ms)")):
        values = [r[key] for r in dongle]
        print("  %-48s %9.1f  [%.1f]" % (label, statistics.median(values), max(values)))


if __name__ == "__main__":
    main()
