#!/usr/bin/env python3
"""Start-up benchmark: the application against a bare Qt Quick window.

Builds (Release, no sanitizers, in a build folder of its own) the bare reference window
(one 1200x688 Window with one Rectangle) and the application's benchmark executable (the real
start-up and Main.qml over the emulated USB bus of tests/support/hid), then starts them
interleaved (each round in an order turned one step further), each run in a private XDG tree, and
prints per case the medians, each with its ratio to the bare window:

  none    no device, the legal terms accepted;
  legal   no device, a first run: the legal terms screen;
  wired   a kestrin_2 headset on its cable plugged in at start, terms accepted;
  dongle  a kestrin_2 dongle plugged in at start, terms accepted.

Figures: the first frame; the first complete frame (the title bar with all its buttons, each
with a width and a place of its own, and the screen whole: a screen, no loader or picture on
view still loading); the frames with a partial screen (something on view but not whole, or a
battery level that the headset did not give); the peak memory (VmHWM) over the first --hold-s
seconds (every process, the bare window too, stays that long); the CPU time to the first frame.
With a device also: the headset values on screen (the first frame with the headset screen whole
and the headset's own battery level), from launch and from the end of the device's set-up (its
UI model becoming current), and the same for a later plug-in (the device pulled out and a new
one plugged in), with the longest GUI-thread stall (a 1 ms heartbeat timer; also the most CPU
time the GUI thread used between two heartbeats) and the device I/O made on the GUI thread.

With --compare DIR a second build of the application (an earlier tree, built the same way) runs
interleaved with the first, against the same bare window, and gets a column of its own.

Every process runs pinned to the same two cores (--cpus, through taskset), so that the figures
do not depend on how many cores the machine has free at the moment, and the app's threads
compete for cores as on a small machine.

    scripts/bench-startup.py [--runs N] [--build-dir DIR] [--compare DIR] [--no-build]
                             [--platform offscreen] [--hold-s 10] [--cases none,legal,wired,dongle]
                             [--cpus 2,3]
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


def private_tree(root, consent):
    """A fresh XDG tree, with the legal terms accepted or not."""
    for folder in ("data", "config", "cache", "runtime", "tmp"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    os.chmod(os.path.join(root, "runtime"), 0o700)
    app_data = os.path.join(root, "data", "Velmor", "Velmor")
    os.makedirs(app_data, exist_ok=True)
    if consent:
        with open(os.path.join(app_data, "settings.ini"), "w") as f:
            f.write("[General]\nlicense_accepted=true\n")


CASES = {"none": ("none", True), "legal": ("none", False), "wired": ("wired", True),
         "dongle": ("dongle", True)}


def run_once(exe, case, platform, scratch, hold_s, cpus):
    device, consent = CASES[case]
    shutil.rmtree(scratch, ignore_errors=True)
    private_tree(scratch, consent)
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
        "VELMOR_BENCH_HOLD_MS": str(int(hold_s * 1000)),
    })
    env.pop("QT_LOGGING_RULES", None)
    launched = time.monotonic_ns()
    env["VELMOR_BENCH_LAUNCH_NS"] = str(launched)
    command = ["taskset", "-c", cpus, exe] if cpus else [exe]
    proc = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=120)
    values = {}
    for line in proc.stdout.decode(errors="replace").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            values[key.strip()] = float(value)
    if proc.returncode == 2 and "first_frame_clock_ns" in values:
        # Timed out waiting for a whole screen (a title bar that never laid out, say): a run that
        # never showed what the user waits for; counted apart.
        sys.stderr.write("%s (%s): %s" % (exe, case, proc.stderr.decode(errors="replace")[-300:]))
        return None
    if proc.returncode != 0 or "first_frame_clock_ns" not in values:
        sys.exit("%s (%s) failed with %d:\n%s" % (exe, case, proc.returncode,
                                                 proc.stderr.decode(errors="replace")[-2000:]))

    def since_launch(key):
        return (values[key] - launched) / 1e6

    values["first_frame_ms"] = since_launch("first_frame_clock_ns")
    values["peak_mb"] = values["peak_rss_hold_kb"] / 1024.0
    if "first_complete_clock_ns" in values:
        values["first_complete_ms"] = since_launch("first_complete_clock_ns")
    if "values_clock_ns" in values:
        values["launch_to_values_ms"] = since_launch("values_clock_ns")
        values["setup_to_values_ms"] = (values["values_clock_ns"] - values["setup_end_clock_ns"]) / 1e6
        values["launch_to_setup_end_ms"] = since_launch("setup_end_clock_ns")
    return values


def median(runs, key):
    values = [r[key] for r in runs if key in r]
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs of each program per case (at least 10)")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "bench-startup"))
    parser.add_argument("--compare", help="build folder of an earlier tree, run interleaved as 'before'")
    parser.add_argument("--no-build", action="store_true", help="use the executables already built")
    parser.add_argument("--platform", default="offscreen", help="QT_QPA_PLATFORM for the runs")
    parser.add_argument("--hold-s", type=float, default=10.0, help="seconds each process stays (peak memory)")
    parser.add_argument("--cases", default="none,legal,wired,dongle")
    parser.add_argument("--cpus", default="2,3",
                        help="the cores every run is pinned to (a taskset list; empty: not pinned)")
    args = parser.parse_args()
    runs = max(args.runs, 10)
    cases = args.cases.split(",")

    if not args.no_build:
        build(args.build_dir)

    def executables(build_dir):
        bench = os.path.join(build_dir, "tests", "benchmarks", "startup")
        return os.path.join(bench, "bench_startup_bare"), os.path.join(bench, "bench_startup_app")

    bare, app = executables(args.build_dir)
    apps = [("after" if args.compare else "app", app)]
    if args.compare:
        apps.insert(0, ("before", executables(args.compare)[1]))

    load_before = os.getloadavg()[0]
    scratch_root = tempfile.mkdtemp(prefix="velmor-bench-startup-")
    try:
        scratch = os.path.join(scratch_root, "run")
        # One warm-up run of each, so that the first measured run does not pay for cold caches.
        run_once(bare, "none", args.platform, scratch, 0, args.cpus)
        for _, exe in apps:
            run_once(exe, "none", args.platform, scratch, 0, args.cpus)
        bare_runs = []
        results = {(name, case): [] for name, _ in apps for case in cases}
        failures = {}
        # Each round starts one step further along the list: a run is a few milliseconds faster
        # after another than after itself (caches), and no program nor case is to be always the
        # one that follows the same other.
        jobs = [(None, bare, "none")] + [(name, exe, case) for case in cases for name, exe in apps]
        for round_index in range(runs):
            shift = round_index % len(jobs)
            for name, exe, case in jobs[shift:] + jobs[:shift]:
                values = run_once(exe, case, args.platform, scratch, args.hold_s, args.cpus)
                if name is None:
                    bare_runs.append(values)
                elif values is None:
                    failures[(name, case)] = failures.get((name, case), 0) + 1
                else:
                    results[(name, case)].append(values)
    finally:
        shutil.rmtree(scratch_root, ignore_errors=True)

    load_after = os.getloadavg()[0]
    print("Start-up, median of %d interleaved runs each, QT_QPA_PLATFORM=%s, pinned to cores %s, "
          "load average %.1f at the start and %.1f at the end, on %d cores"
          % (runs, args.platform, args.cpus or "(none)", load_before, load_after, os.cpu_count()))
    print("bare window: first frame %.1f ms, peak memory over %g s %.1f MB"
          % (median(bare_runs, "first_frame_ms"), args.hold_s, median(bare_runs, "peak_mb")))
    names = [name for name, _ in apps]
    header = "%-7s %-44s" % ("case", "figure") + "".join("%10s %7s" % (n, "x bare") for n in names)
    print(header)
    rows = (("first_frame_ms", "first frame (ms)", "first_frame_ms"),
            ("first_complete_ms", "first complete frame (ms)", "first_frame_ms"),
            ("peak_mb", "peak memory over the hold (MB)", "peak_mb"),
            ("first_frame_cpu_ms", "CPU time to the first frame (ms)", "first_frame_cpu_ms"),
            ("partial_frames", "frames with a partial screen (max)", None),
            ("launch_to_setup_end_ms", "launch to the device set up (ms)", None),
            ("launch_to_values_ms", "launch to headset values on screen (ms)", None),
            ("setup_to_values_ms", "  after the device's set-up (ms)", None),
            ("plugin_to_screen_ms", "plug-in to the device set up (ms)", None),
            ("plugin_to_values_ms", "plug-in to headset values on screen (ms)", None),
            ("plugin_setup_to_values_ms", "  after the device's set-up (ms)", None),
            ("startup_stall_ms", "longest GUI-thread stall, start-up (ms)", None),
            ("plugin_stall_ms", "longest GUI-thread stall, plug-in (ms)", None),
            ("startup_gui_io_calls", "device I/O calls on the GUI thread, start", None),
            ("plugin_gui_io_calls", "device I/O calls on the GUI thread, plug-in", None))
    for case in cases:
        for key, label, bare_key in rows:
            if not any(key in r for r in results[(names[0], case)]):
                continue
            line = "%-7s %-44s" % (case, label)
            for name in names:
                app_runs = results[(name, case)]
                if key == "partial_frames":
                    value = max(r.get(key, 0) for r in app_runs)
                else:
                    value = median(app_runs, key)
                ratio = "%6.2fx" % (value / median(bare_runs, bare_key)) if bare_key else ""
                line += "%10.1f %7s" % (value, ratio)
            print(line)
        for name in names:
            if failures.get((name, case)):
                print("%-7s   %s: %d run(s) never showed a whole screen (timed out, left out above)"
                      % (case, name, failures[(name, case)]))
        if case in ("wired", "dongle"):
            for name in names:
                partial = [int(r.get("partial_frames", 0)) for r in results[(name, case)]]
                print("%-7s   %s: partial frames per run %s" % (case, name, partial))


if __name__ == "__main__":
    main()
