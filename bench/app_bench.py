#!/usr/bin/python3
"""Start-up time, idle CPU, memory and context switches of tocsinet, as ratios to a bare Qt window.

Usage: scripts/deps.sh bench; bench/app_bench.py BUILD_DIR [--runs 5] [--idle 30]
Starts its own Xvfb. Each program runs --runs times; each figure is the median of the runs. Needs Debian's
python3-xlib, xvfb and xdotool.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display


def start_xvfb():
    for n in range(130, 160):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-ac", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return proc, f":{n}"
            time.sleep(0.05)
        proc.kill()
    sys.exit("no X display could be started")


def cpu_seconds(pid):
    """CPU time of all the process's threads, to the nanosecond (the scheduler's own count)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            total += int(open(f"/proc/{pid}/task/{task}/schedstat").read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def context_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        for line in open(f"/proc/{pid}/task/{task}/status"):
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                total += int(line.split()[1])
    return total


def memory_kib(pid):
    rss = pss = 0
    for line in open(f"/proc/{pid}/smaps_rollup"):
        if line.startswith("Rss:"):
            rss = int(line.split()[1])
        elif line.startswith("Pss:"):
            pss = int(line.split()[1])
    return rss, pss


def launch_and_wait_for_map(argv, env, title):
    """Starts argv and returns (process, seconds from exec to its top-level window being mapped)."""
    d = display.Display(env["DISPLAY"])
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    began = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = began + 20
    while time.perf_counter() < deadline:
        while d.pending_events():
            event = d.next_event()
            if event.type == X.MapNotify:
                try:
                    name = event.window.get_wm_name()
                except Exception:
                    name = None
                if name == title:
                    mapped = time.perf_counter() - began
                    d.close()
                    return proc, mapped
        time.sleep(0.001)
    d.close()
    proc.kill()
    sys.exit(f"{argv[0]}: no window '{title}' was mapped")


def measure_idle(pid, seconds):
    t0, c0, s0 = time.perf_counter(), cpu_seconds(pid), context_switches(pid)
    time.sleep(seconds)
    t1, c1, s1 = time.perf_counter(), cpu_seconds(pid), context_switches(pid)
    return 100.0 * (c1 - c0) / (t1 - t0), (s1 - s0) / (t1 - t0)


def hide_to_tray(env, pid):
    win = subprocess.run(["xdotool", "search", "--all", "--pid", str(pid), "--onlyvisible", "--name", "^Tocsinet$"],
                         env=env, capture_output=True, text=True).stdout.split()
    if not win:
        return False
    subprocess.run(["xdotool", "mousemove", "--window", win[0], "12", "8", "click", "1"], env=env)
    time.sleep(0.5)
    for _ in range(2):
        subprocess.run(["xdotool", "key", "Down"], env=env)
        time.sleep(0.1)
    subprocess.run(["xdotool", "key", "Return"], env=env)
    time.sleep(1)
    return True


def run_one(argv, env, title, idle, hidden_too):
    proc, started = launch_and_wait_for_map(argv, env, title)
    time.sleep(2)  # let start-up work settle before measuring the idle state
    figures = {"start_ms": started * 1000}
    figures["idle_cpu_pct"], figures["ctx_per_s"] = measure_idle(proc.pid, idle)
    figures["rss_mib"], figures["pss_mib"] = (v / 1024 for v in memory_kib(proc.pid))
    if hidden_too and hide_to_tray(env, proc.pid):
        figures["hidden_cpu_pct"], figures["hidden_ctx_per_s"] = measure_idle(proc.pid, idle)
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
    return figures


def median_of(runs):
    keys = runs[0].keys()
    return {k: statistics.median(r[k] for r in runs if k in r) for k in keys}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle", type=float, default=30)
    args = parser.parse_args()

    xvfb, disp = start_xvfb()
    work = tempfile.mkdtemp(prefix="tocsinet-bench.")
    try:
        env = dict(os.environ, DISPLAY=disp, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=work)
        os.chmod(work, 0o700)
        # A private copy so that the program's settings file and lock do not touch the user's.
        os.makedirs(f"{work}/bin")
        shutil.copy(f"{args.build}/bin/tocsinet", f"{work}/bin/tocsinet")
        subjects = [("bare Qt window", [f"{args.build}/bin/bench_bare_window"], "Bare", False),
                    ("tocsinet", [f"{work}/bin/tocsinet"], "Tocsinet", True)]
        for name, argv, title in [("alarm-clock-applet", ["alarm-clock-applet"], "Alarm Clock"),
                                  ("GNOME Clocks", ["gnome-clocks"], "Clocks")]:
            if shutil.which(argv[0]):
                subjects.append((name, argv, title, False))
        results = {}
        for name, argv, title, hidden in subjects:
            runs = [run_one(argv, env, title, args.idle, hidden) for _ in range(args.runs)]
            results[name] = median_of(runs)

        base = results["bare Qt window"]
        print(f"medians of {args.runs} runs, idle windows of {args.idle:g} s")
        print(f"{'program':20} {'start ms':>9} {'idle %':>7} {'hidden %':>9} {'RSS MiB':>8} {'PSS MiB':>8} "
              f"{'ctx/s':>7}")
        for name, r in results.items():
            hidden = f"{r['hidden_cpu_pct']:9.3f}" if "hidden_cpu_pct" in r else f"{'-':>9}"
            print(f"{name:20} {r['start_ms']:9.1f} {r['idle_cpu_pct']:7.3f} {hidden} {r['rss_mib']:8.1f} "
                  f"{r['pss_mib']:8.1f} {r['ctx_per_s']:7.1f}")
        ours = results["tocsinet"]

        def ratio(a, b):
            return a / b if b else float("inf") if a else 1.0

        checks = [("start-up", ratio(ours["start_ms"], base["start_ms"]), 1.5),
                  ("idle CPU, shown", ratio(ours["idle_cpu_pct"], base["idle_cpu_pct"]), 1.5),
                  ("idle CPU, hidden", ratio(ours.get("hidden_cpu_pct", 0), base["idle_cpu_pct"]), 0.5),
                  ("RSS", ratio(ours["rss_mib"], base["rss_mib"]), 1.3)]
        print("ratios to the bare window (target):")
        for label, value, target in checks:
            print(f"  {label:18} {value:6.2f}  (<= {target})  {'ok' if value <= target else 'OVER'}")
        print(f"  {'context switches':18} {ratio(ours['ctx_per_s'], base['ctx_per_s']):6.2f}")
    finally:
        xvfb.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
