#!/usr/bin/env python3
"""The local game server's own tests: the scripts' answers, the request log and the
hostile modes, against a server started in this process on a free loopback port."""

import http.client
import json
import os
import sys
import tempfile
import threading
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gameserver  # noqa: E402


class ServerTest(unittest.TestCase):
    def setUp(self):
        self.data = tempfile.mkdtemp(prefix="gameserver-test-")
        store = gameserver.Store(self.data)
        store.seed()
        self.control = gameserver.ControlState()
        self.server = gameserver.GameServer(("127.0.0.1", 0), store, self.control, False)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.05})
        self.thread.start()

    def tearDown(self):
        self.control.stop.set()
        self.server.shutdown()
        self.server.server_close()
        self.thread.join()

    def get(self, path, timeout=5):
        with urllib.request.urlopen("http://127.0.0.1:%d/%s" % (self.port, path), timeout=timeout) as r:
            return r.read().decode("utf-8")

    def post(self, path, body):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        c.request("POST", "/" + path, body=body, headers={"Content-Type": "application/octet-stream"})
        r = c.getresponse()
        return r.status, r.read().decode()

    def test_messages_only_newer_than_topid_and_quoted(self):
        all_ = self.get("server/get_messages.php?&username=recruit&topid=-1").splitlines()
        self.assertEqual(len(all_), 4)
        self.assertTrue(all_[0].startswith('##,1,ironhide,'))
        self.assertTrue(all_[0].endswith('"'))
        newer = self.get("server/get_messages.php?&username=recruit&topid=3").splitlines()
        self.assertEqual([l.split(",")[1] for l in newer], ["4"])

    def test_friendship_round_trip_is_transactional(self):
        self.assertIn("response,true,", self.get("server/accept_friendship_invite.php?&use=recruit&friend=tankgirl"))
        self.assertIn("response,false,", self.get("server/accept_friendship_invite.php?&use=recruit&friend=tankgirl"))
        friends = self.get("server/get_friends.php?&username=recruit")
        self.assertEqual(friends, "#,ironhide,\n#,tankgirl,\n")
        self.assertEqual(self.get("server/get_friendship_invites_recvd.php?&username=recruit"), "")

    def test_badge_upload_strips_the_tag_and_logs_a_change(self):
        tag = b"recruit".ljust(32, b"\0")
        status, body = self.post("server/upload_regiment_logo.php?username=recruit", tag + b"\xff\xd8jpeg")
        self.assertEqual(status, 200)
        self.assertIn("response,true,", self.get("server/get_regiment_badge.php?&use=x&badge_user=recruit"))
        with urllib.request.urlopen("http://127.0.0.1:%d/server/regiment_logos/recruit.jpg" % self.port) as r:
            self.assertEqual(r.read(), b"\xff\xd8jpeg")
        self.assertIn("#,newlogo,recruit,", self.get("server/get_data_changes.php?&username=x&date=0-00-00"))
        # A tag naming someone else is refused.
        status, body = self.post("server/upload_regiment_logo.php?username=recruit", b"ironhide".ljust(32, b"\0") + b"x")
        self.assertIn("response,false,", body)

    def test_request_log_keeps_key_order_and_bodies(self):
        self.get("server/add_message.php?&username=a%20b&target=ironhide&message=x%2Cy%20%C3%A9")
        self.post("server/postmetrics.php?username=recruit", b"[metrics]\n")
        log = json.loads(self.get("control/log"))
        self.assertEqual(log[0]["keys"], [["username", "a b"], ["target", "ironhide"], ["message", "x,y \u00e9"]])
        self.assertEqual(bytes.fromhex(log[1]["body"]), b"[metrics]\n")

    def test_hostile_modes(self):
        self.get("control/mode?script=get_friends.php&mode=html500")
        with self.assertRaises(urllib.error.HTTPError):
            self.get("server/get_friends.php?&username=recruit")
        self.get("control/mode?script=get_friends.php&mode=truncated")
        with self.assertRaises(http.client.IncompleteRead):
            self.get("server/get_friends.php?&username=recruit")
        self.get("control/mode?script=get_friends.php&mode=stall")
        with self.assertRaises(Exception):
            self.get("server/get_friends.php?&username=recruit", timeout=0.5)
        self.get("control/clear")
        self.assertEqual(self.get("server/get_friends.php?&username=recruit"), "#,ironhide,\n")

    def test_sign_up_refuses_unsafe_names_and_greets_new_players(self):
        self.server.seeded = True
        for bad in ("..%2Fx", "a%2Fb", "a%5Cb", "a%01b", "x" * 65):
            self.assertIn("response,false,", self.get("server/updateprofile.php?&username=%s&generalname=G&regimentname=R" % bad))
        self.assertIn("response,true,", self.get("server/updateprofile.php?&username=newbie&generalname=G&regimentname=R"))
        self.assertEqual(self.get("server/get_friendship_invites_recvd.php?&username=newbie"), "#,tankgirl,\n")
        # A returning player is not invited again.
        self.get("server/reject_friendship_invite.php?&use=newbie&friend=tankgirl")
        self.get("server/updateprofile.php?&username=newbie&generalname=G2&regimentname=R2")
        self.assertEqual(self.get("server/get_friendship_invites_recvd.php?&username=newbie"), "")
        self.get("control/mode?script=invite_friend.php&mode=refuse")
        self.assertIn("response,false,", self.get("server/invite_friend.php?&username=newbie&target=recruit"))

    def test_seeded_achievements_are_shipped_names(self):
        names = self.get("server/get_achievements.php?&username=x&profile=ironhide").splitlines()
        self.assertEqual(len(names), 7)
        self.assertTrue(all(n.startswith("#,ACH_") for n in names))

    def test_seed_challenges_carry_recordings_and_one_whole_custom_map(self):
        import io
        import zipfile
        lines = self.get("server/get_challenge_list.php?&username=recruit&topchalid=-1").splitlines()
        ids = [line.split(",")[1] for line in lines]
        self.assertEqual(ids[:5], ["seed0001", "seed0002", "seed0003", "seed0004", "seed0005"])

        def entries(ztkid):
            with urllib.request.urlopen("http://127.0.0.1:%d/server/challenges/%s.ztk" % (self.port, ztkid)) as r:
                z = zipfile.ZipFile(io.BytesIO(r.read()))
            return {n: z.read(n).decode("utf-8") for n in z.namelist()}

        pushed = entries("seed0001")
        # A game map is named, never sent; the scenario names must be ones the game ships.
        self.assertEqual(pushed["scenario.txt"], "[config]\nproxy_scenario = border_crossing\n")
        self.assertIn("recordings/deployment.txt", pushed)
        for line in pushed["recordings/deployment.txt"].splitlines()[1:]:
            design = line.split("=", 1)[1].split(",")[0].strip()
            self.assertIn("ai_designs/%s.txt" % design.replace(" ", "_"), pushed)
        custom = entries("seed0005")
        self.assertIn("name = ironhide_ridge", custom["scenario.txt"])
        self.assertTrue(any(n.startswith("ai_designs/") for n in custom))
        self.assertTrue(lines[4].endswith(",1"), "the custom map is marked custom")
        comments = self.get("server/getchallengedetails.php?&username=recruit&ztkid=seed0001&profilename=ironhide")
        self.assertIn("tankgirl,", comments)

    def test_bad_numbers_and_unknown_scripts(self):
        self.assertEqual(len(self.get("server/get_messages.php?&username=recruit&topid=abc").splitlines()), 4)
        with self.assertRaises(urllib.error.HTTPError):
            self.get("server/nothing.php")
        with self.assertRaises(urllib.error.HTTPError):
            self.get("server/challenges/../../etc.ztk")

    def test_listen_backlog_and_loopback_only(self):
        self.assertGreaterEqual(gameserver.GameServer.request_queue_size, 256)
        with self.assertRaises(SystemExit):
            gameserver.main(["--host", "0.0.0.0"])


if __name__ == "__main__":
    unittest.main()
