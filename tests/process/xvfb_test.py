#!/usr/bin/env python3
"""The private X display the process scripts start (xvfb.py): it comes up with the size
asked for and takes connections; a server that fails or never reports ends in an error
within the deadline, not in a hang, and is not left running."""
import ctypes
import ctypes.util
import os
import stat
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xvfb  # noqa: E402

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
_x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XDefaultDepth.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]


def fake_server(body, pid_file):
    """A stand-in for Xvfb: a shell script with the given body that first notes its pid."""
    handle, path = tempfile.mkstemp(prefix="fake-xvfb-", suffix=".sh")
    with os.fdopen(handle, "w") as f:
        f.write(f"#!/bin/sh\necho $$ > {pid_file}\n{body}\n")
    os.chmod(path, stat.S_IRWXU)
    return path


class StartDisplayTest(unittest.TestCase):
    def test_the_display_has_the_size_asked_for_and_takes_connections(self):
        for width, height in ((1280, 1024), (640, 480)):
            with self.subTest(size=(width, height)):
                server, name = xvfb.start_display(width, height)
                try:
                    self.assertRegex(name, r"^:\d+$")
                    dpy = _x11.XOpenDisplay(name.encode())
                    self.assertTrue(dpy, f"no connection to {name}")
                    screen = _x11.XDefaultScreen(dpy)
                    size = (_x11.XDisplayWidth(dpy, screen), _x11.XDisplayHeight(dpy, screen))
                    depth = _x11.XDefaultDepth(dpy, screen)
                    _x11.XCloseDisplay(dpy)
                    self.assertEqual(size, (width, height))
                    self.assertEqual(depth, 24)
                finally:
                    server.kill()
                    server.wait()

    def test_two_displays_side_by_side_get_numbers_of_their_own(self):
        first, a = xvfb.start_display(320, 240)
        try:
            second, b = xvfb.start_display(320, 240)
            second.kill()
            second.wait()
        finally:
            first.kill()
            first.wait()
        self.assertNotEqual(a, b)

    def test_a_server_that_fails_or_never_reports_is_an_error_in_time(self):
        cases = [
            ("exits at once", "exit 1"),
            ("writes no number", 'echo "no display" >&$2; exec sleep 60'),
            ("hangs holding the pipe", "exec sleep 60"),
        ]
        for what, body in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                pid_file = os.path.join(folder, "pid")
                path = fake_server(body, pid_file)
                try:
                    started = time.monotonic()
                    with self.assertRaises(xvfb.DisplayError):
                        xvfb.start_display(320, 240, seconds=2, program=path)
                    self.assertLess(time.monotonic() - started, 10)
                    # Killed and waited for: no server (or zombie) is left behind.
                    with open(pid_file) as f:
                        pid = int(f.read())
                    self.assertFalse(os.path.exists(f"/proc/{pid}"), f"{what}: the server is still there")
                finally:
                    os.unlink(path)

    def test_a_missing_server_program_is_an_error(self):
        with self.assertRaises(xvfb.DisplayError):
            xvfb.start_display(320, 240, program="/nonexistent/Xvfb")


if __name__ == "__main__":
    unittest.main()
