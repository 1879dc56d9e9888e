#!/usr/bin/python3
"""Whole-process figures of ziva-batch: wall time, CPU time and peak memory, medians over several
runs after one warm-up, with the machine's load average at the time.

    batch_figures.py compare [--build DIR] [--runs N]
        ziva-batch on a simulated 60 s road run (44.1 kHz, alternator left, wheel right, no
        bitmap) beside numpy_pipeline.py's compute of the same run in this process.
    batch_figures.py table [--build DIR] [--runs N] [--rows alt-wheel,alt-roller,...]
        the same run at 20 s, 60 s, 5, 30, 60 min (44.1 kHz) and 60 s at 48 and 96 kHz, as a
        Markdown table; with --rows, one table per channel row.

Recordings are made by ziva-synth in $TMPDIR/ziva_figures (kept for later calls).
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# Channel rows: the synthesiser's channels and the tool's channel choices.
ROWS = {
    "alt-wheel": (["--left", "alternator", "--right", "wheel"], ["popup_sig_ch1=1", "popup_sig_ch2=2"]),
    "wheel-alt": (["--left", "wheel", "--right", "alternator"], ["popup_sig_ch1=2", "popup_sig_ch2=1"]),
    "alt-roller": (["--kind", "roller", "--left", "alternator", "--right", "roller"],
                   ["popup_sig_ch1=1", "popup_sig_ch2=3"]),
    "roller-alt": (["--kind", "roller", "--left", "roller", "--right", "alternator"],
                   ["popup_sig_ch1=3", "popup_sig_ch2=1"]),
    "alt": (["--left", "alternator", "--right", "off"], ["popup_sig_ch1=1", "popup_sig_ch2=4"]),
    "wheel": (["--left", "wheel", "--right", "off"], ["popup_sig_ch1=2", "popup_sig_ch2=3"]),
    "roller": (["--kind", "roller", "--left", "roller", "--right", "off"],
               ["popup_sig_ch1=3", "popup_sig_ch2=3"]),
}


def work_dir():
    d = os.path.join(tempfile.gettempdir(), "ziva_figures")
    os.makedirs(d, exist_ok=True)
    return d


def recording(build, seconds, rate=44100, row="alt-wheel"):
    name = os.path.join(work_dir(), f"{row}_{seconds:g}s_{rate}.wav")
    if not os.path.exists(name):
        synth_args = ROWS[row][0]
        subprocess.run([os.path.join(build, "ziva-synth"), "--length", str(seconds), "--rate",
                        str(rate), "--out", name, "--csv", name + ".csv"] + synth_args,
                       check=True, stdout=subprocess.DEVNULL)
    return name


def run_process(argv):
    """One run with its output discarded: (wall s, cpu s, peak RSS MiB, exit status). The tool is
    started through GNU time, whose small process keeps the peak memory the tool's own (a child
    started from this interpreter would inherit its size); wall and CPU time include that
    launcher (well under a millisecond)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as out:
        cmd = ["/usr/bin/time", "-f", "%M", "-o", out.name] + argv
        devnull = os.open(os.devnull, os.O_WRONLY)
        t0 = time.perf_counter()
        pid = os.posix_spawn(cmd[0], cmd, os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1),
                                           (os.POSIX_SPAWN_DUP2, devnull, 2)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - t0
        os.close(devnull)
        rss_kb = int(out.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, rss_kb / 1024, os.waitstatus_to_exitcode(status)


def measure(argv, runs):
    run_process(argv)  # warm-up: file cache, dynamic loader
    samples = [run_process(argv) for _ in range(runs)]
    if any(s[3] != 0 for s in samples):
        sys.exit(f"failed: {' '.join(argv)}")
    med = lambda k: statistics.median(s[k] for s in samples)
    return {"wall": med(0), "wall_min": min(s[0] for s in samples),
            "wall_max": max(s[0] for s in samples), "cpu": med(1), "rss": max(s[2] for s in samples),
            "load": os.getloadavg()[0]}


def batch_argv(build, wav, row):
    argv = [os.path.join(build, "ziva-batch")]
    for s in ROWS[row][1]:
        argv += ["--set", s]
    return argv + [wav]


def compare(args):
    sys.path.insert(0, HERE)
    import numpy_pipeline as npp
    wav = recording(args.build, 60)
    tool = measure(batch_argv(args.build, wav, "alt-wheel"), args.runs)
    fs, y = npp.read(wav)
    npp.pipeline(fs, y, 1, 2)
    times, cpu = [], []
    for _ in range(args.runs):
        t0, c0 = time.perf_counter(), time.process_time()
        npp.pipeline(fs, y, 1, 2)
        times.append(time.perf_counter() - t0)
        cpu.append(time.process_time() - c0)
    numpy_ms = statistics.median(times) * 1e3
    numpy_cpu_ms = statistics.median(cpu) * 1e3
    print(f"load average {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores")
    print(f"ziva-batch whole process: wall median {tool['wall'] * 1e3:.1f} ms "
          f"(min {tool['wall_min'] * 1e3:.1f}, max {tool['wall_max'] * 1e3:.1f}), "
          f"CPU median {tool['cpu'] * 1e3:.1f} ms, peak RSS {tool['rss']:.0f} MiB")
    print(f"NumPy/SciPy in-process compute (file already read): median {numpy_ms:.1f} ms "
          f"(min {min(times) * 1e3:.1f}, max {max(times) * 1e3:.1f}), CPU median {numpy_cpu_ms:.1f} ms")
    print(f"ratios NumPy compute / ziva-batch whole process: wall {numpy_ms / (tool['wall'] * 1e3):.1f}, "
          f"CPU {numpy_cpu_ms / (tool['cpu'] * 1e3):.1f}")


def table(args):
    cases = [(20, 44100), (60, 44100), (300, 44100), (1800, 44100), (3600, 44100), (60, 48000),
             (60, 96000)]
    for row in args.rows.split(","):
        print(f"\nrow {row} ({' '.join(ROWS[row][1])})\n")
        print("| recording | wall median ms (min–max) | CPU median ms | peak RSS MiB | load |")
        print("|---|---|---|---|---|")
        for seconds, rate in cases:
            wav = recording(args.build, seconds, rate, row)
            runs = args.runs if seconds <= 300 else max(3, args.runs // 3)
            f = measure(batch_argv(args.build, wav, row), runs)
            length = f"{seconds} s" if seconds < 300 else f"{seconds // 60} min"
            print(f"| {length} {rate / 1000:g} kHz | {f['wall'] * 1e3:.0f} "
                  f"({f['wall_min'] * 1e3:.0f}–{f['wall_max'] * 1e3:.0f}) | {f['cpu'] * 1e3:.0f} | "
                  f"{f['rss']:.0f} | {f['load']:.2f} |", flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("what", choices=["compare", "table"])
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--runs", type=int, default=11)
    ap.add_argument("--rows", default="alt-wheel")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    (compare if args.what == "compare" else table)(args)


if __name__ == "__main__":
    main()
