#!/usr/bin/env python3
"""Runs the game as a player would, on a private X display, and checks that it ends with
exit status 0: a battle fought and left, then Quit ("battle"); a battle, the options'
Apply and restart, a second battle in the restarted game, then Quit ("restart"); or a
battle ended in the middle of the fight by SIGTERM, as a logout sends it ("sigterm").

  game_exit_test.py battle|restart|sigterm PATH_TO_ZENTRAK

The game runs from the program's folder (its data/ beside it) with a fresh user folder.
Anything that keeps the game from starting, from reaching a battle or from ending fails
the test; so does any exit status but 0 (a sanitizer report ends the game with 1 or an
abort)."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xinput  # noqa: E402
import xvfb  # noqa: E402

WIDTH, HEIGHT = 1024, 768
# Where the screens put what the test presses, on a 1024 x 768 window.
MENU_BATTLES = (90, 718)
MENU_OPTIONS = (596, 718)
BROWSER_ATTACK = (720, 700)
ATTACK_MAPS_UNITS = (433, 385)
BROWSER_CLOSE = (1005, 18)
FIRST_CARD = (380, 700)
SECOND_CARD = (470, 700)
DEPLOY_SQUARES = ((65, 385), (190, 385))
START_FIGHTING = (512, 58)
LEAVE_YES = (612, 431)
OPTIONS_FULL_SCREEN = (737, 458)
OPTIONS_APPLY = (836, 510)
# A still part of each screen that the next one covers: the title's logo on the main menu,
# the campaign map in the battle browser, the options' panel, grass in the battle.
SCREEN_MIDDLE = (512, 175)
# The main menu is told by its title's logo, grabbed once the menu has come up: a battle
# moves, and a busy machine can keep an old frame on screen for seconds, so "the screen
# changed" alone does not say which screen came.
MENU_SIGN = (412, 145, 200, 60)

# Deadlines, not expected times: each wait ends as soon as its sign appears. A sanitizer
# build drawing in software on a machine busy with other tests can take minutes for what
# takes seconds alone, and only a game that hangs should reach them.
STARTUP_SECONDS = 240
BATTLE_LOAD_SECONDS = 240
EXIT_SECONDS = 120
# How long one press may take to show on the screen before it counts as lost.
PRESS_SECONDS = 40
# How long the screen must hold still before the next press; a battle never does, so
# there the longest wait applies.
STEADY_SECONDS = 1.5
SETTLE_SECONDS = 20
# How long the menu may take to show after the browser is closed before another round of
# presses; an Escape that reached the menu unseen would quit the game.
MENU_SECONDS = 40
MENU_MATCH = 0.8
MENU_TOLERANCE = 40


class Failure(Exception):
    pass


class Game:
    def __init__(self, program, display):
        self.program = os.path.abspath(program)
        self.user = tempfile.mkdtemp(prefix="zentrak-exit-")
        root = os.path.join(self.user, "Zentrak")
        os.makedirs(root)
        with open(os.path.join(root, "prefs.ini"), "w") as f:
            f.write(f"[prefs]\nwidth = {WIDTH}\nheight = {HEIGHT}\nwindowed = 1\n")
        # Every tutorial page counts as read, so no page stands over what the test presses.
        folder = os.path.dirname(self.program)
        pages = []
        with open(os.path.join(folder, "data", "tutorial.csv"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("#,"):
                    pages.append(line.split(",")[1].strip())
        if not pages:
            raise Failure("no tutorial pages found in data/tutorial.csv")
        with open(os.path.join(root, "tutorial_seen.ini"), "w") as f:
            f.write("[seen]\n" + "".join(p + "\n" for p in pages))
        self.log = os.path.join(root, "debug", "debug.txt")
        self.output = os.path.join(self.user, "output.txt")
        env = dict(os.environ)
        env.update({"DISPLAY": display, "ZENTRAK_USER_DIR": self.user})
        for name in ("SDL_VIDEODRIVER", "ZENTRAK_GRAPHICS", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1")
        env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
        self.process = subprocess.Popen([self.program], cwd=folder, env=env, stdout=open(self.output, "w"),
                                        stderr=subprocess.STDOUT)

    def log_text(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def wait_for_log(self, text, seconds, what, fresh_session=False):
        """fresh_session: the text must be in a log that no battle has written to yet."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            log = self.log_text()
            if text in log and not (fresh_session and "Start Fighting" in log):
                return
            if self.process.poll() is not None:
                raise Failure(f"the game ended (status {self.process.returncode}) before {what}")
            time.sleep(0.2)
        raise Failure(f"timed out waiting for {what} ({text!r} in the debug log)")

    def alive(self):
        return self.process.poll() is None

    def report(self):
        with open(self.output, errors="replace") as f:
            lines = [line for line in f if not line.startswith(("ALSA lib", "AL lib"))]
        return "".join(lines[-120:])


def pause(seconds):
    time.sleep(seconds)


def shot(x, name):
    """With GAME_EXIT_TEST_SHOTS naming a folder, keeps a picture of the screen there."""
    folder = os.environ.get("GAME_EXIT_TEST_SHOTS")
    if folder:
        xinput.write_png(os.path.join(folder, name + ".png"), x.grab(WIDTH, HEIGHT))


def press_until_changed(game, x, press, watch, what, tries=3, seconds=PRESS_SECONDS):
    """Presses (press() clicks or keys) until the screen around watch changes, so a press
    made while a slow frame was still on screen is made again."""
    wx, wy = watch
    for _ in range(tries):
        before = x.grab_region(wx - 20, wy - 20, 40, 40)
        press()
        deadline = time.time() + seconds
        while time.time() < deadline:
            time.sleep(0.3)
            if not game.alive():
                raise Failure(f"the game ended (status {game.process.returncode}) at {what}")
            if x.grab_region(wx - 20, wy - 20, 40, 40) != before:
                pause(0.5)  # the new screen settles
                return
    raise Failure(f"the screen did not change at {what}")


def fight_a_battle(game, x):
    """From the main menu: attack the first campaign battle, deploy two tanks, fight."""
    press_until_changed(game, x, lambda: x.click(*MENU_BATTLES), SCREEN_MIDDLE, "Battles")
    press_until_changed(game, x, lambda: x.click(*BROWSER_ATTACK), ATTACK_MAPS_UNITS, "Attack")
    deadline = time.time() + BATTLE_LOAD_SECONDS
    while "progress" not in game.log_text():
        if time.time() > deadline or not game.alive():
            raise Failure("the battle did not start loading")
        x.click(*ATTACK_MAPS_UNITS)
        for _ in range(25):
            if "progress" in game.log_text():
                break
            time.sleep(0.2)
    game.wait_for_log("progress 0.85", BATTLE_LOAD_SECONDS, "the battle to load")
    # The loading screen waits for a key; then the deployment: a card, a square, each
    # card twice, and the start of the fight. Repeated until the fight has begun.
    deadline = time.time() + BATTLE_LOAD_SECONDS
    while "Start Fighting" not in game.log_text():
        if time.time() > deadline:
            raise Failure("the fight never started")
        if not game.alive():
            raise Failure(f"the game ended (status {game.process.returncode}) during the deployment")
        x.key("space")
        pause(1.0)
        for card, square in zip((FIRST_CARD, SECOND_CARD), DEPLOY_SQUARES):
            x.click(*card)
            pause(0.3)
            x.click(*square)
            pause(0.3)
        x.click(*START_FIGHTING)
        pause(1.0)
    pause(2.0)  # the towers and the tanks exchange fire
    shot(x, "fight")


def menu_sign(x):
    return x.grab_region(*MENU_SIGN)


def close(a, b):
    return all(abs(((a >> s) & 255) - ((b >> s) & 255)) <= MENU_TOLERANCE for s in (0, 8, 16))


def is_menu_look(look, menu):
    """Most of the logo as it was: sparks drift across the sky between its letters, and the
    clouds pass over it."""
    same = sum(1 for a, b in zip(look, menu) if close(a, b))
    return same >= MENU_MATCH * len(menu)


def is_menu(x, menu):
    return is_menu_look(menu_sign(x), menu)


def capture_menu(game, x):
    """The logo once the menu has faded in: the same over three looks two seconds apart."""
    deadline = time.time() + STARTUP_SECONDS
    looks = [menu_sign(x)]
    while time.time() < deadline:
        time.sleep(2.0)
        if not game.alive():
            raise Failure(f"the game ended (status {game.process.returncode}) on the main menu")
        looks = (looks + [menu_sign(x)])[-3:]
        if len(looks) == 3 and all(is_menu_look(look, looks[-1]) for look in looks):
            game.menu = looks[-1]
            return
    raise Failure("the main menu never held still")


def wait_for_menu(game, x, seconds):
    deadline = time.time() + seconds
    while True:
        if not game.alive():
            raise Failure(f"the game ended (status {game.process.returncode}) on the way to the main menu")
        if is_menu(x, game.menu):
            return True
        if time.time() > deadline:
            return False
        time.sleep(0.5)


def wait_for_change(game, x, watch, seconds, what):
    """Until the screen around watch has changed and holds still, or seconds pass."""
    wx, wy = watch

    def grab():
        return x.grab_region(wx - 20, wy - 20, 40, 40)

    before = grab()
    deadline = time.time() + seconds
    while time.time() < deadline:
        time.sleep(0.3)
        if not game.alive():
            raise Failure(f"the game ended (status {game.process.returncode}) at {what}")
        now = grab()
        if now != before:
            time.sleep(STEADY_SECONDS)
            if grab() == now:
                return


def leave_the_battle(game, x):
    """Back to the main menu: Escape, Yes to the Leave Battle question, close the battle
    browser, again until the menu shows. A press can be lost on a slow frame, and a moving
    battle tells nothing by changing, so each round starts again from what shows; Escape is
    pressed only while the menu does not show, since on the menu it quits."""
    deadline = time.time() + BATTLE_LOAD_SECONDS
    rounds = 0
    while time.time() < deadline:
        rounds += 1
        if wait_for_menu(game, x, 1):
            shot(x, "after-battle")
            return
        x.key("Escape")
        wait_for_change(game, x, LEAVE_YES, SETTLE_SECONDS, "the Leave Battle question")
        shot(x, f"leave-{rounds}-question")
        x.click(*LEAVE_YES)
        wait_for_change(game, x, SCREEN_MIDDLE, SETTLE_SECONDS, "leaving the battle")
        shot(x, f"leave-{rounds}-browser")
        x.click(*BROWSER_CLOSE)
        wait_for_menu(game, x, MENU_SECONDS)
    raise Failure("the main menu did not come back after leaving the battle")


def quit_from_main_menu(game, x):
    deadline = time.time() + EXIT_SECONDS
    while game.alive() and time.time() < deadline:
        x.key("Escape")  # Escape on the main menu quits
        for _ in range(50):
            if not game.alive():
                break
            time.sleep(0.2)
    if game.alive():
        game.process.kill()
        raise Failure("the game did not end after Escape on the main menu")


def apply_and_restart(game, x):
    press_until_changed(game, x, lambda: x.click(*MENU_OPTIONS), SCREEN_MIDDLE, "Options")
    press_until_changed(game, x, lambda: x.click(*OPTIONS_FULL_SCREEN), OPTIONS_APPLY, "Full screen")
    shot(x, "options")
    x.click(*OPTIONS_APPLY)
    # The same process starts afresh: a new log, without the first run's battle.
    game.wait_for_log("First frame presented", STARTUP_SECONDS, "the restarted game's first frame",
                      fresh_session=True)
    if not game.alive():
        raise Failure("the game did not come back after Apply and restart")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("battle", "restart", "sigterm"):
        print(__doc__)
        return 2
    mode, program = sys.argv[1], sys.argv[2]
    try:
        server, display = xvfb.start_display(WIDTH, HEIGHT)
    except xvfb.DisplayError as error:
        print(f"FAILED ({mode}): {error}")
        return 1
    game = None
    try:
        x = xinput.Display(display)
        game = Game(program, display)
        game.wait_for_log("First frame presented", STARTUP_SECONDS, "the game's first frame")
        capture_menu(game, x)
        fight_a_battle(game, x)
        if mode == "restart":
            leave_the_battle(game, x)
            apply_and_restart(game, x)
            capture_menu(game, x)
            fight_a_battle(game, x)
        if mode == "sigterm":
            # In the middle of the fight.
            game.process.send_signal(signal.SIGTERM)
            try:
                game.process.wait(EXIT_SECONDS)
            except subprocess.TimeoutExpired:
                raise Failure("the game did not end after SIGTERM")
        else:
            leave_the_battle(game, x)
            quit_from_main_menu(game, x)
        status = game.process.wait()
        if status != 0:
            raise Failure(f"the game ended with status {status}")
        log = game.log_text()
        if "END DEBUG---" not in log:
            raise Failure("the game ended without its shutdown")
        print(f"{mode}: the game ended with status 0")
        return 0
    except Failure as failure:
        print(f"FAILED ({mode}): {failure}")
        if game:
            if game.alive():
                game.process.kill()
                game.process.wait()
            print("---- the game's output ----")
            print(game.report())
            print("---- the debug log ----")
            print(game.log_text()[-4000:])
        return 1
    finally:
        server.kill()
        server.wait()
        if game:
            shutil.rmtree(game.user, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
