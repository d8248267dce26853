#!/usr/bin/env python3
"""The local Zentrak game server: every script the game calls, over plain HTTP on the
loopback interface, with its state in SQLite. Standard library only.

    python3 tools/gameserver/gameserver.py [--port 0] [--data DIR] [--seed] [--test-control]

It prints "gameserver listening on 127.0.0.1:<port>" once it accepts connections.
--test-control adds /control/... : a log of every request (keys in order, body bytes)
and hostile answers per script, for the client's tests.
"""

import argparse
import datetime
import io
import json
import os
import random
import socket
import sqlite3
import struct
import sys
import tempfile
import threading
import time
import urllib.parse
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CURRENT_VERSION = "1.008000"
MAX_BODY = 4 * 1024 * 1024
TAG_BYTES = 32

SCHEMA = """
CREATE TABLE IF NOT EXISTS users (name TEXT PRIMARY KEY, general TEXT, regiment TEXT,
    rank INTEGER DEFAULT 0, xp INTEGER DEFAULT 0, badge_bg TEXT, badge_crest TEXT,
    badge_inset TEXT, logo BLOB);
CREATE TABLE IF NOT EXISTS achievements (user TEXT, name TEXT, UNIQUE(user, name));
CREATE TABLE IF NOT EXISTS friends (a TEXT, b TEXT, UNIQUE(a, b));
CREATE TABLE IF NOT EXISTS invites (sender TEXT, target TEXT, UNIQUE(sender, target));
CREATE TABLE IF NOT EXISTS messages (id INTEGER PRIMARY KEY AUTOINCREMENT, sender TEXT,
    target TEXT, date TEXT, text TEXT);
CREATE TABLE IF NOT EXISTS challenges (number INTEGER PRIMARY KEY AUTOINCREMENT,
    ztkid TEXT UNIQUE, name TEXT, recipient TEXT, description TEXT, poster TEXT, date TEXT,
    played INTEGER DEFAULT 0, beaten INTEGER DEFAULT 0, difficulty REAL DEFAULT 0,
    enjoyment REAL DEFAULT 0, ratings INTEGER DEFAULT 0, at INTEGER, def INTEGER,
    time INTEGER, esc INTEGER, custom INTEGER, zip BLOB);
CREATE TABLE IF NOT EXISTS comments (ztkid TEXT, commenter TEXT, text TEXT);
CREATE TABLE IF NOT EXISTS changes (date TEXT, kind TEXT, value TEXT);
CREATE TABLE IF NOT EXISTS metrics (user TEXT, body BLOB);
"""

SEED_USERS = [
    # name, general, regiment, rank, xp, badge layers
    ("recruit", "Anna Kovacs", "7th Iron Lancers", 2, 1250,
     ("badge_bg_shield.dds,1.0,0.0,40,60,120,255", "badge_crest_eagle.dds,0.8,-0.05,230,200,60,255",
      "badge_inset_star.dds,0.3,0.1,255,255,255,255")),
    ("ironhide", "Viktor Strand", "Grey Wolves", 5, 8800,
     ("badge_bg_circle.dds,1.0,0.0,90,20,20,255", "badge_crest_wolf.dds,0.8,0.0,200,200,200,255",
      "badge_inset_bolt.dds,0.3,0.15,255,220,0,255")),
    ("tankgirl", "Mira Osei", "Desert Foxes", 3, 3100,
     ("badge_bg_diamond.dds,1.0,0.0,170,130,60,255", "badge_crest_tank.dds,0.7,0.0,40,40,40,255",
      "badge_inset_cross.dds,0.3,0.1,200,0,0,255")),
    ("sgt_rook", "Paul Rook", "Northern Guard", 1, 300,
     ("badge_bg_hexagon.dds,1.0,0.0,20,80,40,255", "badge_crest_sword.dds,0.8,0.0,220,220,220,255",
      "badge_inset_dot.dds,0.25,0.1,255,255,255,255")),
]

REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# Seed challenges on the game's own maps: (scenario folder, challenge name, poster's
# recording or None, description, attacker and defender supplies a second, time limit in
# milliseconds, escape limit).
SEED_SCENARIOS = [
    ("01_border_crossing", "Armoured Push", "Armoured Push",
     "My tanks broke through in four minutes. Hold the crossing against them, if you can.", 18, 12, 300000, 480),
    ("02_river_fords", "River Fords", None, "Hold the line, then push. Bring armour.", 20, 15, 360000, 500),
    ("03_desert_pass", "Desert Rush", "Desert Rush",
     "Raiders and riflemen straight down the pass. Fast, cheap and nasty.", 20, 14, 300000, 450),
    ("04_frozen_ridge", "Frozen Ridge", None, "Hold the line, then push. Bring armour.", 22, 16, 420000, 520),
]
# The seeded custom map: a player's own take on a campaign map, sent whole.
SEED_CUSTOM = ("04_frozen_ridge", "ironhide_ridge", "Ironhide's Ridge",
               "My own ridge: a narrower pass and stronger guns. Attack it.", 22, 16, 420000, 520)


def utc_date():
    d = datetime.datetime.now(datetime.timezone.utc)
    return "%d-%d-%d" % (d.year, d.month, d.day)


def scenario_name(folder):
    """The `name` of a shipped scenario (its folder without the number)."""
    return folder.split("_", 1)[1]


def recording_entries(folder, recording):
    """The recording and the designs it deploys, as package entries."""
    base = os.path.join(REPO, "data", "scenarios", folder, "recordings")
    entries = []
    path = os.path.join(base, recording + ".txt")
    if os.path.isfile(path):
        with open(path, "rb") as f:
            entries.append(("recordings/deployment.txt", f.read()))
        designs = os.path.join(base, recording)
        if os.path.isdir(designs):
            for name in sorted(os.listdir(designs)):
                if name.endswith(".ini"):
                    with open(os.path.join(designs, name), "rb") as f:
                        entries.append(("ai_designs/%s.txt" % name[:-4].replace(" ", "_"), f.read()))
    return entries


def proxy_zip(folder, recording=None):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("scenario.txt", "[config]\nproxy_scenario = %s\n" % scenario_name(folder))
        if recording:
            for name, data in recording_entries(folder, recording):
                z.writestr(name, data)
    return buf.getvalue()


def custom_zip(folder, name, gui_name):
    """A whole scenario under a name of its own, with the map's defending designs."""
    base = os.path.join(REPO, "data", "scenarios", folder)
    with open(os.path.join(base, "scenario.txt"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    out = []
    for line in lines:
        key = line.split("=", 1)[0].strip()
        if key == "name":
            line = "name = %s" % name
        elif key == "guiname":
            line = "guiname = %s" % gui_name
        elif key == "id":
            line = "id = 0"
        out.append(line)
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("scenario.txt", "\n".join(out) + "\n")
        designs = os.path.join(base, "ai_designs")
        if os.path.isdir(designs):
            for design in sorted(os.listdir(designs)):
                if design.endswith(".txt"):
                    with open(os.path.join(designs, design), "rb") as f:
                        z.writestr("ai_designs/" + design, f.read())
    return buf.getvalue()


def hostile_zip():
    """A package whose entries try to leave their folder: for the client's unzip tests."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        z.writestr("../escape.txt", "outside")
        z.writestr("/abs.txt", "absolute")
        z.writestr("scenario.txt", "[config]\nproxy_scenario = 01_border_crossing\n")
    return buf.getvalue()


def clean_field(text):
    """Reply fields are comma separated with quotes grouping: keep values in one field."""
    return str(text).replace('"', "'").replace("\r", " ").replace("\n", " ")


def list_field(text):
    return clean_field(text).replace(",", " ")


class Store:
    def __init__(self, folder):
        self.path = os.path.join(folder, "gameserver.sqlite")
        with self.connect() as db:
            db.executescript(SCHEMA)

    def connect(self):
        db = sqlite3.connect(self.path, timeout=30, isolation_level=None)
        db.execute("PRAGMA busy_timeout = 30000")
        return db

    def seed(self):
        db = self.connect()
        try:
            db.execute("BEGIN IMMEDIATE")
            for name, general, regiment, rank, xp, badge in SEED_USERS:
                db.execute("INSERT OR IGNORE INTO users (name, general, regiment, rank, xp, badge_bg,"
                           " badge_crest, badge_inset) VALUES (?,?,?,?,?,?,?,?)",
                           (name, general, regiment, rank, xp) + badge)
            player = SEED_USERS[0][0]
            for a, b in [(player, "ironhide"), ("ironhide", player)]:
                db.execute("INSERT OR IGNORE INTO friends VALUES (?,?)", (a, b))
            db.execute("INSERT OR IGNORE INTO invites VALUES (?,?)", ("tankgirl", player))
            db.execute("INSERT OR IGNORE INTO invites VALUES (?,?)", (player, "sgt_rook"))
            seeded = [("ironhide", "Good fight at the river, commander. Rematch tonight?"),
                      ("tankgirl", "Your eastern flank was wide open, watch the ridge."),
                      ("sgt_rook", "Thanks for the invite, I will accept after my exams, promise."),
                      ("ironhide", "New challenge up: \u00e9clair at the border, try it!")]
            if db.execute("SELECT COUNT(*) FROM messages").fetchone()[0] == 0:
                for sender, text in seeded:
                    db.execute("INSERT INTO messages (sender, target, date, text) VALUES (?,?,?,?)",
                               (sender, player, utc_date(), text))
            for i, (folder, name, recording, desc, at, de, tl, esc) in enumerate(SEED_SCENARIOS):
                ztkid = "seed%04d" % (i + 1)
                db.execute("INSERT OR IGNORE INTO challenges (ztkid, name, recipient, description, poster,"
                           " date, at, def, time, esc, custom, zip) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                           (ztkid, name, "All", desc, SEED_USERS[1 + i % 3][0], utc_date(), at, de, tl, esc, 0,
                            proxy_zip(folder, recording)))
            folder, name, gui_name, desc, at, de, tl, esc = SEED_CUSTOM
            db.execute("INSERT OR IGNORE INTO challenges (ztkid, name, recipient, description, poster,"
                       " date, at, def, time, esc, custom, zip) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                       ("seed0005", gui_name, "All", desc, "ironhide", utc_date(), at, de, tl, esc, 1,
                        custom_zip(folder, name, gui_name)))
            if db.execute("SELECT COUNT(*) FROM comments WHERE ztkid='seed0001'").fetchone()[0] == 0:
                for who, text in [("tankgirl", "Lost twice, then held with mines on the bridge. Great fight, hard."),
                                  ("sgt_rook", "Too fast for me, those raiders arrive before my guns are up!")]:
                    db.execute("INSERT INTO comments VALUES (?,?,?)", ("seed0001", who, text))
            db.execute("UPDATE challenges SET played=7, beaten=3, difficulty=3.5, enjoyment=4.25, ratings=4"
                       " WHERE ztkid='seed0001' AND ratings=0")
            db.execute("UPDATE challenges SET played=2, beaten=2, difficulty=1.5, enjoyment=2.5, ratings=2"
                       " WHERE ztkid='seed0003' AND ratings=0")
            db.execute("INSERT OR IGNORE INTO challenges (ztkid, name, recipient, description, poster, date,"
                       " at, def, time, esc, custom, zip) VALUES ('hostile01','Broken package','All',"
                       "'entries that leave their folder','sgt_rook',?,10,10,300,10,0,?)",
                       (utc_date(), hostile_zip()))
            seeded_achievements = {
                player: ("ACH_FIRST_VICTORY", "ACH_TEN_VICTORIES", "ACH_HOLD_THE_LINE"),
                "ironhide": ("ACH_FIRST_VICTORY", "ACH_TEN_VICTORIES", "ACH_FIFTY_BATTLES", "ACH_TANK_HUNTER",
                             "ACH_DEMOLITION_CREW", "ACH_CHALLENGER", "ACH_CAMPAIGN_EASY"),
                "tankgirl": ("ACH_FIRST_VICTORY", "ACH_ARMOUR_ONLY", "ACH_WINNING_STREAK"),
            }
            for user, names in seeded_achievements.items():
                for name in names:
                    db.execute("INSERT OR IGNORE INTO achievements VALUES (?,?)", (user, name))
            db.execute("COMMIT")
        finally:
            db.close()


class ControlState:
    """Request log and hostile modes, only with --test-control."""

    def __init__(self):
        self.lock = threading.Lock()
        self.log = []
        self.modes = {}
        self.stop = threading.Event()

    def record(self, entry):
        with self.lock:
            self.log.append(entry)

    def mode_for(self, script):
        with self.lock:
            return self.modes.get(script) or self.modes.get("*")


class Handler(BaseHTTPRequestHandler):
    server_version = "ZentrakGameServer/1.0"
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("gameserver: " + (fmt % args) + "\n")

    # --- transport -------------------------------------------------------------------
    def reply(self, body, status=200, ctype="text/plain; charset=utf-8"):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def hostile(self, mode):
        """Answers the way a broken or malicious server would."""
        control = self.server.control
        if mode == "truncated":
            self.send_response(200)
            self.send_header("Content-Length", "4096")
            self.end_headers()
            self.wfile.write(b"#,partial,")
            self.wfile.flush()
            self.close_connection = True
        elif mode == "overcap":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = b"#,x," + b"A" * 65532
            try:
                for _ in range(20 * 16):  # 20 MiB, length never announced
                    self.wfile.write(chunk)
            except OSError:
                pass
            self.close_connection = True
        elif mode == "garbage":  # not HTTP at all
            self.wfile.write(bytes(random.Random(7).randrange(256) for _ in range(3000)))
            self.close_connection = True
        elif mode == "html500":
            self.reply("<html><body><h1>Internal Server Error</h1><p>#,ztk_badge_x,</p></body></html>",
                       status=500, ctype="text/html")
        elif mode == "drip":
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            try:
                while not control.stop.is_set():
                    self.wfile.write(b"#")
                    self.wfile.flush()
                    control.stop.wait(0.5)
            except OSError:
                pass
            self.close_connection = True
        elif mode == "stall":
            control.stop.wait(120)
            self.close_connection = True
        elif mode == "reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
        elif mode == "refuse":  # a well-formed answer that says no
            self.reply(fail("HQ refused the request"))
        elif mode == "notfound":
            self.reply("Not Found", status=404, ctype="text/html")
        else:
            return False
        return True

    def parse(self):
        url = urllib.parse.urlsplit(self.path)
        keys = urllib.parse.parse_qsl(url.query, keep_blank_values=True)
        return url.path, keys

    def do_GET(self):
        self.handle_any(b"")

    def do_POST(self):
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            length = -1
        if length < 0 or length > MAX_BODY:
            self.reply("response,false,\n", status=413)
            self.close_connection = True
            return
        body = self.rfile.read(length)
        self.handle_any(body)

    def handle_any(self, body):
        path, keys = self.parse()
        control = self.server.control
        if control and path.startswith("/control/"):
            return self.handle_control(path, dict(keys))
        if control:
            control.record({"method": self.command, "path": path, "query": urllib.parse.urlsplit(self.path).query,
                            "keys": keys, "body": body.hex(),
                            "agent": self.headers.get("User-Agent", ""),
                            "content_type": self.headers.get("Content-Type", "")})
        script = path.rsplit("/", 1)[-1]
        if control:
            mode = control.mode_for(script)
            if mode and self.hostile(mode):
                return
        if not path.startswith("/server/"):
            return self.reply("Not Found", status=404, ctype="text/html")
        try:
            status, answer, ctype = self.server.dispatch(path[len("/server/"):], keys, body)
        except Exception as e:  # the server logs and answers; it never dies on a request
            sys.stderr.write("gameserver: %s failed: %r\n" % (path, e))
            status, answer, ctype = 500, "<html>server fault</html>", "text/html"
        self.reply(answer, status=status, ctype=ctype)

    def handle_control(self, path, args):
        control = self.server.control
        if path == "/control/log":
            with control.lock:
                if args.get("format") == "text":  # one request a line: method, path, raw query, body hex
                    body = "".join("%s\t%s\t%s\t%s\n" % (e["method"], e["path"], e["query"], e["body"])
                                   for e in control.log)
                else:
                    body = json.dumps(control.log)
            return self.reply(body, ctype="application/json")
        if path == "/control/clear":
            with control.lock:
                control.log.clear()
                control.modes.clear()
            return self.reply("ok")
        if path == "/control/mode":
            with control.lock:
                if args.get("mode"):
                    control.modes[args.get("script", "*")] = args["mode"]
                else:
                    control.modes.pop(args.get("script", "*"), None)
            return self.reply("ok")
        if path == "/control/sql":  # seeds a table for a test: one statement, JSON params
            db = self.server.store.connect()
            try:
                db.execute(args["q"], json.loads(args.get("p", "[]")))
            finally:
                db.close()
            return self.reply("ok")
        return self.reply("unknown control", status=404)


def ok(message="OK"):
    return "message,%s,\nresponse,true,\n" % clean_field(message)


def fail(message):
    return "message,%s,\nresponse,false,\n" % clean_field(message)


def profile_ini(row):
    name, general, regiment, rank, xp, bg, crest, inset = row
    return ("[profile]\nusername = %s\ngeneral_name = %s\nregiment_name = %s\nrank = %d\nxp = %d\n"
            "badge_bg = %s\nbadge_crest = %s\nbadge_inset = %s\n" %
            (name, general or "", regiment or "", rank or 0, xp or 0, bg or "", crest or "", inset or ""))


def plain_name(name):
    """A player name names files and addresses: no separators, dot pairs or control characters."""
    return (0 < len(name) <= 64 and "/" not in name and "\\" not in name and ".." not in name
            and all(ord(c) >= 32 and c != "\x7f" for c in name))


def to_int(text, default=0):
    try:
        return int(text)
    except (TypeError, ValueError):
        return default


class GameServer(ThreadingHTTPServer):
    daemon_threads = True
    # The default backlog of 5 refuses bursts of clients; 200 at once must all get in.
    request_queue_size = 256

    def __init__(self, address, store, control, verbose):
        super().__init__(address, Handler)
        self.store = store
        self.control = control
        self.verbose = verbose
        self.seeded = False

    def dispatch(self, script, keys, body):
        q = {}
        for k, v in keys:
            q.setdefault(k, v)
        user = q.get("username", q.get("use", ""))
        db = self.store.connect()
        try:
            db.execute("BEGIN IMMEDIATE")
            result = self.run_script(db, script, q, user, body)
            db.execute("COMMIT")
            return result
        except Exception:
            db.execute("ROLLBACK")
            raise
        finally:
            db.close()

    def run_script(self, db, script, q, user, body):
        text = "text/plain; charset=utf-8"
        if script.startswith("challenges/") and script.endswith(".ztk"):
            row = db.execute("SELECT zip FROM challenges WHERE ztkid=?", (script[11:-4],)).fetchone()
            if not row:
                return 404, "Not Found", "text/html"
            return 200, row[0], "application/zip"
        if script.startswith("regiment_logos/") and script.endswith(".jpg"):
            row = db.execute("SELECT logo FROM users WHERE name=?", (script[15:-4],)).fetchone()
            if not row or row[0] is None:
                return 404, "Not Found", "text/html"
            return 200, row[0], "image/jpeg"
        if script.startswith("patches/"):
            return 404, "Not Found", "text/html"

        def ensure(name):
            if name:
                db.execute("INSERT OR IGNORE INTO users (name, general, regiment) VALUES (?, 'notset', 'notset')",
                           (name,))

        if script == "updateprofile.php":
            if not user:
                return 200, fail("empty user name"), text
            if not plain_name(user):
                return 200, fail("That player name cannot be used"), text
            is_new = not db.execute("SELECT 1 FROM users WHERE name=?", (user,)).fetchone()
            ensure(user)
            if is_new and self.seeded:
                # A seeded server greets every new player with an invitation to accept.
                db.execute("INSERT OR IGNORE INTO invites VALUES (?,?)", ("tankgirl", user))
            db.execute("UPDATE users SET general=?, regiment=? WHERE name=?",
                       (q.get("generalname", ""), q.get("regimentname", ""), user))
            return 200, ok(), text
        if script == "postmetrics.php":
            db.execute("INSERT INTO metrics VALUES (?,?)", (user, body))
            return 200, ok(), text
        if script == "postchallenge.php":
            ztkid = "c%d%04d" % (int(time.time()), random.randrange(10000))
            db.execute("INSERT INTO challenges (ztkid, name, recipient, description, poster, date, at, def, time,"
                       " esc, custom) VALUES (?,?,?,?,?,?,?,?,?,?,?)",
                       (ztkid, q.get("name", ""), q.get("rec", "All") or "All", q.get("desc", ""), user,
                        utc_date(), to_int(q.get("at")), to_int(q.get("def")), to_int(q.get("time")),
                        to_int(q.get("esc")), 1 if q.get("custom") == "1" else 0))
            return 200, "message,%s,\n" % ztkid, text
        if script == "uploadchallenge.php":
            tag = body[:TAG_BYTES].split(b"\0", 1)[0].decode("utf-8", "replace")
            db.execute("UPDATE challenges SET zip=? WHERE ztkid=? AND poster=?", (body[TAG_BYTES:], tag, user))
            return 200, ok(), text
        if script == "upload_regiment_logo.php":
            tag = body[:TAG_BYTES].split(b"\0", 1)[0].decode("utf-8", "replace")
            if tag != user or not user:
                return 200, fail("tag does not match user"), text
            ensure(user)
            db.execute("UPDATE users SET logo=? WHERE name=?", (body[TAG_BYTES:], user))
            db.execute("INSERT INTO changes VALUES (?,?,?)", (utc_date(), "newlogo", user))
            return 200, ok(), text
        if script == "get_challenge_list.php":
            top = to_int(q.get("topchalid"), -1)
            lines = []
            for r in db.execute("SELECT ztkid, name, recipient, description, poster, date, played, beaten,"
                                " difficulty, enjoyment, number, at, def, time, esc, custom FROM challenges"
                                " WHERE number > ? AND zip IS NOT NULL ORDER BY number", (top,)):
                lines.append('##,%s,%s,%s,"%s",%s,%s,%d,%d,%.2f,%.2f,%d,%d,%d,%d,%d,%d\n' % (
                    r[0], list_field(r[1]), list_field(r[2]), clean_field(r[3]), list_field(r[4]), r[5],
                    r[6], r[7], r[8], r[9], r[10], r[11], r[12], r[13], r[14], r[15]))
            return 200, "".join(lines), text
        if script in ("getuserprofile.php", "getchallengedetails.php"):
            who = q.get("profilename", "")
            row = db.execute("SELECT name, general, regiment, rank, xp, badge_bg, badge_crest, badge_inset"
                             " FROM users WHERE name=?", (who,)).fetchone()
            out = profile_ini(row) if row else "[profile]\nusername = %s\n" % list_field(who)
            if script == "getchallengedetails.php":
                comments = ["[comments]\n"]
                for c in db.execute("SELECT commenter, text FROM comments WHERE ztkid=?", (q.get("ztkid", ""),)):
                    comments.append('%s,"%s"\n' % (list_field(c[0]).replace("=", " "),
                                                     clean_field(c[1]).replace("=", " ")))
                out = "".join(comments) + out
            return 200, out, text
        if script in ("challengebeaten.php", "challengeaccepted.php"):
            column = "beaten" if script == "challengebeaten.php" else "played"
            db.execute("UPDATE challenges SET %s = %s + 1 WHERE ztkid=?" % (column, column), (q.get("ztkid", ""),))
            return 200, ok(), text
        if script == "ratechallenge.php":
            enjoy = min(5, max(1, to_int(q.get("enjoy"), 1)))
            diff = min(5, max(1, to_int(q.get("diff"), 1)))
            ztkid = q.get("ztkid", "")
            db.execute("UPDATE challenges SET enjoyment=(enjoyment*ratings+?)/(ratings+1),"
                       " difficulty=(difficulty*ratings+?)/(ratings+1), ratings=ratings+1 WHERE ztkid=?",
                       (enjoy, diff, ztkid))
            if q.get("comment"):
                db.execute("INSERT INTO comments VALUES (?,?,?)", (ztkid, user, q["comment"][:256]))
            return 200, ok(), text
        if script == "invite_friend.php":
            target = q.get("target", "")
            if not db.execute("SELECT 1 FROM users WHERE name=?", (target,)).fetchone():
                return 200, fail("No such player"), text
            if target == user:
                return 200, fail("You cannot invite yourself"), text
            if db.execute("SELECT 1 FROM friends WHERE a=? AND b=?", (user, target)).fetchone():
                return 200, fail("Already friends"), text
            db.execute("INSERT OR IGNORE INTO invites VALUES (?,?)", (user, target))
            return 200, ok("Invitation sent"), text
        if script == "get_achievements.php":
            rows = db.execute("SELECT name FROM achievements WHERE user=? ORDER BY name", (q.get("profile", ""),))
            return 200, "".join("#,%s,\n" % list_field(r[0]) for r in rows), text
        if script == "add_achievement.php":
            if user and q.get("achievement"):
                db.execute("INSERT OR IGNORE INTO achievements VALUES (?,?)", (user, q["achievement"]))
            return 200, ok(), text
        if script == "get_data_changes.php":
            since = q.get("date", "0-00-00")
            try:
                y, m, d = (int(x) for x in since.split("-"))
                since_key = (y, m, d)
            except ValueError:
                since_key = (0, 0, 0)
            lines = []
            for date, kind, value in db.execute("SELECT date, kind, value FROM changes"):
                y, m, d = (int(x) for x in date.split("-"))
                if (y, m, d) >= since_key:
                    lines.append("#,%s,%s,\n" % (list_field(kind), list_field(value)))
            return 200, "".join(lines), text
        if script == "get_friends.php":
            rows = db.execute("SELECT b FROM friends WHERE a=? ORDER BY b", (user,))
            return 200, "".join("#,%s,\n" % list_field(r[0]) for r in rows), text
        if script == "get_friendship_invites_sent.php":
            rows = db.execute("SELECT target FROM invites WHERE sender=? ORDER BY target", (user,))
            return 200, "".join("#,%s,\n" % list_field(r[0]) for r in rows), text
        if script == "get_friendship_invites_recvd.php":
            rows = db.execute("SELECT sender FROM invites WHERE target=? ORDER BY sender", (user,))
            return 200, "".join("#,%s,\n" % list_field(r[0]) for r in rows), text
        if script in ("accept_friendship_invite.php", "reject_friendship_invite.php",
                      "delete_friendship_invite.php", "delete_friend.php"):
            other = q.get("friend", "")
            if script == "accept_friendship_invite.php":
                if not db.execute("SELECT 1 FROM invites WHERE sender=? AND target=?", (other, user)).fetchone():
                    return 200, fail("No such invitation"), text
                db.execute("DELETE FROM invites WHERE sender=? AND target=?", (other, user))
                db.execute("INSERT OR IGNORE INTO friends VALUES (?,?)", (user, other))
                db.execute("INSERT OR IGNORE INTO friends VALUES (?,?)", (other, user))
            elif script == "reject_friendship_invite.php":
                db.execute("DELETE FROM invites WHERE sender=? AND target=?", (other, user))
            elif script == "delete_friendship_invite.php":
                db.execute("DELETE FROM invites WHERE sender=? AND target=?", (user, other))
            else:
                db.execute("DELETE FROM friends WHERE (a=? AND b=?) OR (a=? AND b=?)", (user, other, other, user))
            return 200, ok(), text
        if script == "get_messages.php":
            top = to_int(q.get("topid"), -1)
            rows = db.execute("SELECT id, sender, date, text FROM messages WHERE target=? AND id>? ORDER BY id",
                              (user, top))
            return 200, "".join('##,%d,%s,%s,"%s"\n' % (r[0], list_field(r[1]), list_field(r[2]),
                                                         clean_field(r[3])) for r in rows), text
        if script == "add_message.php":
            target = q.get("target", "")
            if not user or not db.execute("SELECT 1 FROM users WHERE name=?", (target,)).fetchone():
                return 200, fail("No such player"), text
            db.execute("INSERT INTO messages (sender, target, date, text) VALUES (?,?,?,?)",
                       (user, target, utc_date(), q.get("message", "")[:1000]))
            return 200, ok(), text
        if script == "delete_message.php":
            db.execute("DELETE FROM messages WHERE id=? AND target=?", (to_int(q.get("messageid"), -1), user))
            return 200, ok(), text
        if script == "delete_challenge.php":
            ztkid = q.get("challengeid", "")
            gone = db.execute("DELETE FROM challenges WHERE ztkid=? AND (poster=? OR recipient=?)",
                              (ztkid, user, user)).rowcount
            if gone:
                db.execute("INSERT INTO changes VALUES (?,?,?)", (utc_date(), "challenge_delete", ztkid))
            return 200, ok() if gone else fail("Not your challenge"), text
        if script == "get_regiment_badge.php":
            row = db.execute("SELECT logo FROM users WHERE name=?", (q.get("badge_user", ""),)).fetchone()
            return 200, "response,%s,\n" % ("true" if row and row[0] is not None else "false"), text
        if script == "check_update.php":
            return 200, "message,none,\n", text
        return 404, "Not Found", "text/html"


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--data", help="data folder (default: a new temporary folder per run)")
    ap.add_argument("--seed", action="store_true", help="players, friends, messages and challenges")
    ap.add_argument("--test-control", action="store_true", help="request log and hostile modes")
    ap.add_argument("--port-file", help="also write the port number here once listening")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args(argv)
    if args.host not in ("127.0.0.1", "localhost", "::1"):
        ap.error("the local game server listens on the loopback interface only")
    data = args.data or tempfile.mkdtemp(prefix="zentrak-gameserver-")
    os.makedirs(data, exist_ok=True)
    store = Store(data)
    if args.seed:
        store.seed()
    control = ControlState() if args.test_control else None
    server = GameServer((args.host, args.port), store, control, args.verbose)
    server.seeded = args.seed
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print("gameserver listening on %s:%d (data %s)" % (args.host, port, data), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        if control:
            control.stop.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
