#!/usr/bin/env python3
"""The game's own start-up figures, which a busy machine skews less than the wall clock:
starts the game ROUNDS times on a private 1280 x 1024 X display, reads the lines it logs at
its first presented frame (wall milliseconds from Init, processor milliseconds and page
faults of the whole process) and stops it there. Prints each round and the medians.

  tools/perf/startup.py [BUILD/zentrak] [--rounds N] [--record FILE]

With --record, each start runs under `perf record -g` (FILE.0, FILE.1, ...) for a profile of
where start-up goes (perf report -i FILE.0 --children)."""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "process"))
import xvfb  # noqa: E402


def one_start(game, display, record):
    user = tempfile.mkdtemp(prefix="zentrak-startup-")
    try:
        os.makedirs(os.path.join(user, "Zentrak"))
        with open(os.path.join(user, "Zentrak", "prefs.ini"), "w") as f:
            f.write("[prefs]\nwidth = 1280\nheight = 1024\nwindowed = 1\n")
        env = dict(os.environ)
        env.update(DISPLAY=display, ZENTRAK_USER_DIR=user, ZENTRAK_DEBUG_OUTPUT="1")
        for name in ("SDL_VIDEODRIVER", "ZENTRAK_GRAPHICS", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        command = [game]
        if record:
            command = ["perf", "record", "-q", "-F", "2000", "--call-graph", "dwarf,32768", "-o", record, "--"] + command
        process = subprocess.Popen(command, cwd=os.path.dirname(game), env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True, errors="replace")
        wall = cpu = faults = None
        for line in process.stderr:
            found = re.search(r"Start-up to the first frame: (\d+) ms", line)
            if found:
                wall = int(found.group(1))
            found = re.search(r"Start-up CPU: (\d+) ms, page faults: (\d+)", line)
            if found:
                cpu, faults = int(found.group(1)), int(found.group(2))
                break
        # The game itself (perf's child when recording) is stopped; perf then writes its file.
        target = process.pid
        if record:
            children = subprocess.run(["ps", "-o", "pid=", "--ppid", str(process.pid)], capture_output=True,
                                      text=True).stdout.split()
            target = int(children[0]) if children else process.pid
        os.kill(target, signal.SIGTERM)
        process.communicate(timeout=60)
        if cpu is None:
            raise RuntimeError("the game logged no start-up figures")
        return wall, cpu, faults
    finally:
        shutil.rmtree(user, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("game", nargs="?", default=os.path.join(HERE, "..", "..", "build", "release", "zentrak"))
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--record", help="perf record each start into RECORD.N")
    args = parser.parse_args()
    game = os.path.abspath(args.game)
    server, display = xvfb.start_display(1280, 1024)
    rounds = []
    try:
        for n in range(args.rounds):
            figures = one_start(game, display, f"{args.record}.{n}" if args.record else None)
            rounds.append(figures)
            print(f"round {n}: Init to first frame {figures[0]} ms, CPU {figures[1]} ms, page faults {figures[2]}",
                  flush=True)
    finally:
        server.kill()
        server.wait()
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    print(f"median of {len(rounds)}: Init to first frame {statistics.median(r[0] for r in rounds):.0f} ms,"
          f" CPU {statistics.median(r[1] for r in rounds):.0f} ms,"
          f" page faults {statistics.median(r[2] for r in rounds):.0f}  (load average {load})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
