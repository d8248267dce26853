#!/usr/bin/env python3
"""Measures the game itself on a private 1280 x 1024 X display (Mesa's software renderer),
as a player runs it: no test hooks, only a user folder of its own.

  ingame.py --game BUILD/zentrak --bare BUILD/perf/bare_window [--rounds N]
            [--idle-seconds S] [--fight-seconds S] [--battle-rss-seconds S] [--shots DIR]
            [--profile FILE]

Prints:
  - the time from the start of the process to its first presented frame, for the game and
    for a bare SDL2 OpenGL window, in the same run (median of --rounds starts each);
  - the idle main menu: CPU (cores, in all and per kind of thread) and resident memory
    over --idle-seconds;
  - a fight of about 400 units: frames a second and the battle clock against wall time over
    --fight-seconds, with the cores and CPU milliseconds a frame each kind of thread
    used (the game's own thread against the renderer's), and resident memory over
    --battle-rss-seconds. With both 0 the run ends after the menu. With --profile, perf
    records the game's thread over the fight into FILE.

The fight goes through the game's own path: the user folder holds a custom map (a copy of
Border Crossing with supplies for both sides) and, beside it, a recording of the attacker's
deployments: sixteen squads of 25 soldiers and eight tanks at the start. The script defends
the map against that recording from the battle browser, deploys the player's squads and
starts the fight with the mouse, then reads the battle's pace from the debug log ("Battle
pace" lines, written every few seconds of a running battle)."""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "process"))
import xinput  # noqa: E402
import xvfb  # noqa: E402

WIDTH, HEIGHT = 1280, 1024
MAP_NAME = "perf_fight"
RECORDING = "Four Hundred"
PAGE = os.sysconf("SC_PAGE_SIZE")
TICKS = os.sysconf("SC_CLK_TCK")

# Where the screens put what the script presses, on a 1280 x 1024 window.
MENU_BATTLES = (218, 974)
BROWSER_CUSTOM_TAB = (418, 98)
BROWSER_DEFEND = (1048, 911)
DEFEND_RECORDED = (821, 439)
PICKER_DEFEND = (844, 640)
START_FIGHTING = (640, 58)
# The player's cards (two squads, two towers) and the map's defender squares: the
# emplacements (foxholes, sandbag ring, bunker, trench) take the squads, the open squares
# the towers. While units are in hand the bottom panel makes way for the map's last row.
SQUAD_CARDS = [(461, 959), (553, 959)]
TOWER_CARDS = [(645, 959), (737, 959)]
EMPLACEMENTS = [(240, 661), (720, 661), (1040, 182), (400, 982)]
OPEN_SQUARES = [(720, 182), (880, 661), (1040, 661), (880, 982)]

class Failure(Exception):
    pass


def clean_env(display):
    env = dict(os.environ)
    env["DISPLAY"] = display
    for name in ("SDL_VIDEODRIVER", "ZENTRAK_GRAPHICS", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    return env


def rss_mb(pid):
    with open(f"/proc/{pid}/statm") as f:
        return int(f.read().split()[1]) * PAGE / 2**20


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def thread_cpu_seconds(pid):
    """CPU seconds per thread name (the renderer's, the sound mixer's, the game's own)."""
    by_name = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                text = f.read()
        except OSError:
            continue  # the thread ended
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        # Numbered worker threads of one kind count together.
        name = re.sub(r"[-:]?\d+$", "", name) or name
        by_name[name] = by_name.get(name, 0.0) + (int(fields[11]) + int(fields[12])) / TICKS
    return by_name


def time_bare(program, display):
    start = time.monotonic()
    process = subprocess.Popen([program, str(WIDTH), str(HEIGHT)], env=clean_env(display), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    shown = time.monotonic()
    _, err = process.communicate(timeout=60)
    if "first frame" not in line:
        raise Failure(f"the bare window did not present: {err.strip()}")
    return (shown - start) * 1000.0


def make_user_folder(game_folder):
    user = tempfile.mkdtemp(prefix="zentrak-perf-")
    root = os.path.join(user, "Zentrak")
    os.makedirs(root)
    with open(os.path.join(root, "prefs.ini"), "w") as f:
        f.write(f"[prefs]\nwidth = {WIDTH}\nheight = {HEIGHT}\nwindowed = 1\n")
    # Every tutorial page counts as read, so no page stands over what the script presses.
    pages = []
    with open(os.path.join(game_folder, "data", "tutorial.csv"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#,"):
                pages.append(line.split(",")[1].strip())
    with open(os.path.join(root, "tutorial_seen.ini"), "w") as f:
        f.write("[seen]\n" + "".join(p + "\n" for p in pages))
    make_fight_map(game_folder, os.path.join(root, "scenarios", MAP_NAME))
    return user


def make_fight_map(game_folder, folder):
    """Border Crossing as a custom map with supplies for a large defence, and a recording
    that sends about 400 attackers at once."""
    source = os.path.join(game_folder, "data", "scenarios", "01_border_crossing")
    os.makedirs(folder)
    with open(os.path.join(source, "scenario.txt"), encoding="utf-8") as f:
        text = f.read()
    changes = {
        "name": MAP_NAME,
        "classic_suppliescap": "400000",
        "classic_startingsupplies_defender": "200000",
        "classic_startingsupplies_attacker": "200000",
        "classic_timelimit": "3600000",
        "classic_hpleftlimit": "100000",
    }
    for key, value in changes.items():
        text, n = re.subn(rf"(?m)^{key} = .*$", f"{key} = {value}", text)
        if n != 1:
            raise Failure(f"Border Crossing has no single {key} line")
    with open(os.path.join(folder, "scenario.ini"), "w", encoding="utf-8") as f:
        f.write(text)
    shutil.copytree(os.path.join(source, "ai_designs"), os.path.join(folder, "ai_designs"))
    recordings = os.path.join(folder, "recordings")
    designs = os.path.join(recordings, RECORDING)
    os.makedirs(designs)
    for name in ("assault_riflemen", "at_troopers", "mg_troopers", "laser_troopers", "jackal_raider",
                 "bulwark_assault"):
        shutil.copy(os.path.join(game_folder, "data", "default_aiunits", name + ".txt"), designs)
    squares = [(0, 1), (1, 1), (0, 4), (1, 4)]  # the map's attacker squares (column, row)
    lines = []
    for column, row in squares:
        for design in ("Assault Riflemen", "AT Troopers", "MG Troopers", "Laser Troopers"):
            lines.append(f"{design},{column},{row},25,90,0")
        for design in ("Jackal Raider", "Bulwark Assault"):
            lines.append(f"{design},{column},{row},1,90,0")
    with open(os.path.join(recordings, RECORDING + ".txt"), "w") as f:
        f.write("[deployment_record]\n" + "".join(f"{i} = {line}\n" for i, line in enumerate(lines)))


class Game:
    def __init__(self, program, display, user, wrap=None):
        self.program = os.path.abspath(program)
        self.user = user
        env = clean_env(display)
        env["ZENTRAK_USER_DIR"] = user
        env["ZENTRAK_DEBUG_OUTPUT"] = "1"  # the debug log also goes to stderr, read as it comes
        self.lines = []  # (monotonic seconds, text)
        self.lock = threading.Lock()
        self.started = time.monotonic()
        self.process = subprocess.Popen((wrap.split() if wrap else []) + [self.program], cwd=os.path.dirname(self.program), env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                        errors="replace")
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stderr:
            with self.lock:
                self.lines.append((time.monotonic(), line.rstrip("\n")))

    def find(self, text, after=0.0):
        with self.lock:
            for stamp, line in self.lines:
                if stamp >= after and text in line:
                    return stamp, line
        return None

    def wait_for(self, text, seconds, what, after=0.0):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = self.find(text, after)
            if found:
                return found
            if self.process.poll() is not None:
                raise Failure(f"the game ended (status {self.process.returncode}) before {what}")
            time.sleep(0.05)
        raise Failure(f"timed out waiting for {what}")

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        if self.alive():
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(60)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.reader.join(5)

    def tail(self, n=40):
        with self.lock:
            return "\n".join(line for _, line in self.lines[-n:])


def time_game_start(program, display, game_folder):
    user = make_user_folder(game_folder)
    try:
        game = Game(program, display, user)
        try:
            stamp, _ = game.wait_for("First frame presented", 120, "the first frame")
            return (stamp - game.started) * 1000.0
        finally:
            game.stop()
    finally:
        shutil.rmtree(user, ignore_errors=True)


def sample(pid, seconds, every=1.0, threads=None):
    """(cores used, [rss MB]) over the period; with a dict for threads, also the cores
    each kind of thread used."""
    rss = []
    cpu0, t0 = cpu_seconds(pid), time.monotonic()
    per_thread0 = thread_cpu_seconds(pid) if threads is not None else {}
    next_at = t0
    while time.monotonic() - t0 < seconds:
        rss.append(rss_mb(pid))
        next_at += every
        time.sleep(max(0.0, next_at - time.monotonic()))
    wall = time.monotonic() - t0
    if threads is not None:
        for name, used in thread_cpu_seconds(pid).items():
            threads[name] = (used - per_thread0.get(name, 0.0)) / wall
    return (cpu_seconds(pid) - cpu0) / wall, rss


class Shots:
    def __init__(self, folder, x):
        self.folder, self.x = folder, x

    def __call__(self, name):
        if self.folder:
            os.makedirs(self.folder, exist_ok=True)
            xinput.write_png(os.path.join(self.folder, name + ".png"), self.x.grab(WIDTH, HEIGHT))


def changed_after(x, press, watch, seconds=20.0):
    wx, wy = watch
    before = x.grab_region(wx - 20, wy - 20, 40, 40)
    press()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        time.sleep(0.3)
        if x.grab_region(wx - 20, wy - 20, 40, 40) != before:
            time.sleep(0.5)
            return True
    return False


def start_the_fight(game, x, shot):
    if not changed_after(x, lambda: x.click(*MENU_BATTLES), (640, 500)):
        raise Failure("Battles did not open the battle browser")
    shot("1-browser")
    x.click(*BROWSER_CUSTOM_TAB)
    time.sleep(2.0)
    shot("2-custom")
    x.click(*BROWSER_DEFEND)
    time.sleep(2.0)
    shot("3-defend-options")
    x.click(*DEFEND_RECORDED)
    time.sleep(2.0)
    shot("4-picker")
    x.click(*PICKER_DEFEND)
    game.wait_for("progress 0.85", 180, "the battle to load")
    time.sleep(1.0)
    shot("5-loaded")
    # The loading screen waits for a key; then the deployment.
    x.key("space")
    time.sleep(3.0)
    for cards, squares in ((SQUAD_CARDS, EMPLACEMENTS), (TOWER_CARDS, OPEN_SQUARES)):
        for card in cards:
            for square in squares:
                x.click(*card)
                time.sleep(0.3)
                x.click(*square)
                time.sleep(0.3)
                x.click(*square, button=3)  # what a full square refused goes back
                time.sleep(0.3)
    shot("6-deployed")
    deadline = time.monotonic() + 120
    while not game.find("Start Fighting"):
        if time.monotonic() > deadline:
            raise Failure("the fight never started")
        x.click(*START_FIGHTING)
        time.sleep(2.0)


PACE = re.compile(r"Battle pace: clock (\d+) ms, (\d+) frames presented, (\d+) units")


def pace_lines(game, after):
    found = []
    with game.lock:
        for stamp, line in game.lines:
            m = PACE.search(line)
            if stamp >= after and m:
                found.append((stamp, int(m.group(1)), int(m.group(2)), int(m.group(3))))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--game", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--fight-seconds", type=float, default=60.0)
    parser.add_argument("--battle-rss-seconds", type=float, default=300.0)
    parser.add_argument("--shots")
    parser.add_argument("--profile", help="record the game thread with perf over the fight into this file")
    parser.add_argument("--wrap", help="run the game (menu and fight) under this command, e.g. 'heaptrack -o FILE'")
    parser.add_argument("--smaps", help="copy the game's /proc smaps into this file at the end of the battle")
    args = parser.parse_args()
    game_folder = os.path.dirname(os.path.abspath(args.game))
    with open("/proc/loadavg") as f:
        print(f"load average at start: {' '.join(f.read().split()[:3])} ({os.cpu_count()} cores)")
    try:
        server, display = xvfb.start_display(WIDTH, HEIGHT)
    except xvfb.DisplayError as error:
        print(f"FAILED: {error}")
        return 1
    game = None
    user = None
    try:
        # Start-up, alternately, so both see the same load.
        bare, first = [], []
        for _ in range(args.rounds):
            bare.append(time_bare(args.bare, display))
            first.append(time_game_start(args.game, display, game_folder))
        if args.rounds > 0:
            b, g = statistics.median(bare), statistics.median(first)
            print(f"start to first frame: game {g:.0f} ms, bare SDL2 OpenGL window {b:.0f} ms, ratio {g / b:.2f}"
                  f"  (median of {args.rounds}; game {', '.join(f'{v:.0f}' for v in first)};"
                  f" bare {', '.join(f'{v:.0f}' for v in bare)})")

        user = make_user_folder(game_folder)
        game = Game(args.game, display, user, args.wrap)
        game.wait_for("First frame presented", 120, "the first frame")
        x = xinput.Display(display)
        shot = Shots(args.shots, x)
        time.sleep(10.0)  # the menu fades in; anything loaded after the first frame is done
        shot("0-menu")
        threads = {}
        cores, rss = sample(game.process.pid, args.idle_seconds, threads=threads)
        print(f"idle main menu over {args.idle_seconds:.0f} s: {cores:.2f} cores, RSS {min(rss):.0f}..{max(rss):.0f} MB"
              f" (end {rss[-1]:.0f} MB)")
        busiest = sorted(threads.items(), key=lambda item: -item[1])
        print("  by thread: " + ", ".join(f"{name} {used:.3f}" for name, used in busiest if used >= 0.001))
        if args.fight_seconds <= 0 and args.battle_rss_seconds <= 0:
            # The menu alone was asked for.
            with open("/proc/loadavg") as f:
                print(f"load average at end: {' '.join(f.read().split()[:3])}")
            return 0

        start_the_fight(game, x, shot)
        fight_start = time.monotonic()
        time.sleep(3.0)
        shot("7-fight")
        threads = {}
        profiler = None
        if args.profile:
            # Only the game's own thread (its id is the process's): the renderer's workers
            # run beside it and are not what makes the frame wait.
            profiler = subprocess.Popen(["perf", "record", "-q", "-F", "199", "--call-graph", "dwarf,16384",
                                         "-t", str(game.process.pid), "-o", args.profile],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cores, rss = sample(game.process.pid, args.fight_seconds, threads=threads)
        if profiler:
            profiler.send_signal(signal.SIGINT)
            profiler.wait(120)
        paces = pace_lines(game, fight_start)
        if len(paces) < 2:
            raise Failure("the battle wrote too few \"Battle pace\" lines:\n" + game.tail())
        first_pace, last_pace = paces[0], paces[-1]
        wall = last_pace[0] - first_pace[0]
        clock = (last_pace[1] - first_pace[1]) / 1000.0
        frames = last_pace[2] - first_pace[2]
        units = max(p[3] for p in paces)
        shot("8-fight-later")
        print(f"fight of {units} units over {wall:.0f} s of wall time: {frames / wall:.1f} frames a second, "
              f"battle clock {clock:.1f} s ({clock / wall:.2f} battle seconds a wall second), "
              f"{cores:.2f} cores")
        # Which threads the frame's time goes to: the game's own thread (the game, the
        # simulation and the driver's front end) against the renderer's workers.
        fps = frames / wall if wall > 0 else 0.0
        busiest = sorted(threads.items(), key=lambda item: -item[1])
        print("  by thread (cores; CPU ms a frame): " +
              ", ".join(f"{name} {used:.3f}; {used * 1000.0 / fps if fps else 0.0:.1f} ms" for name, used in busiest
                        if used >= 0.001))
        rest = max(0.0, args.battle_rss_seconds - (time.monotonic() - fight_start))
        _, more = sample(game.process.pid, rest, every=5.0)
        rss += more
        per_minute = []
        step = max(1, len(rss) // 5)
        for i in range(0, len(rss), step):
            per_minute.append(f"{rss[i]:.0f}")
        paces = pace_lines(game, fight_start)
        print(f"battle RSS over {time.monotonic() - fight_start:.0f} s: start {rss[0]:.0f} MB, peak {max(rss):.0f} MB,"
              f" end {rss[-1]:.0f} MB (samples {' '.join(per_minute)}); battle clock"
              f" {paces[-1][1] / 1000.0:.1f} s, {paces[-1][3]} units")
        with open(f"/proc/{game.process.pid}/status") as f:
            hwm = re.search(r"VmHWM:\s+(\d+)", f.read())
        if hwm:
            print(f"peak resident (VmHWM) {int(hwm.group(1)) / 1024:.0f} MB")
        if args.smaps:
            shutil.copyfile(f"/proc/{game.process.pid}/smaps", args.smaps)
        with open("/proc/loadavg") as f:
            print(f"load average at end: {' '.join(f.read().split()[:3])}")
        return 0
    except Failure as failure:
        print(f"FAILED: {failure}")
        if game:
            print(game.tail())
        return 1
    finally:
        if game:
            game.stop()
        if user:
            shutil.rmtree(user, ignore_errors=True)
        server.kill()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
