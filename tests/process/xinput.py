"""Drives a window on the X display through the XTEST extension, with nothing but the
X libraries the game links anyway: pointer moves, clicks, keys and root-window grabs."""
import ctypes
import ctypes.util
import struct
import time
import zlib

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XStringToKeysym.restype = ctypes.c_ulong
_x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                           ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetPixel.restype = ctypes.c_ulong
_x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XFree.argtypes = [ctypes.c_void_p]
_xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_ulong]
_xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
_xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]


class Display:
    def __init__(self, name=None):
        self.dpy = _x11.XOpenDisplay(name.encode() if name else None)
        if not self.dpy:
            raise RuntimeError("no X display to drive (run under xvfb-run)")
        self.root = _x11.XDefaultRootWindow(self.dpy)

    def close(self):
        _x11.XCloseDisplay(self.dpy)

    def _flush(self):
        _x11.XSync(self.dpy, 0)

    def move(self, x, y):
        _xtst.XTestFakeMotionEvent(self.dpy, -1, int(x), int(y), 0)
        self._flush()

    def click(self, x, y, button=1, hold=0.08):
        self.move(x, y)
        time.sleep(0.1)
        _xtst.XTestFakeButtonEvent(self.dpy, button, 1, 0)
        self._flush()
        time.sleep(hold)
        _xtst.XTestFakeButtonEvent(self.dpy, button, 0, 0)
        self._flush()

    def key(self, name, hold=0.08):
        code = _x11.XKeysymToKeycode(self.dpy, _x11.XStringToKeysym(name.encode()))
        _xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self._flush()
        time.sleep(hold)
        _xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self._flush()

    def grab_region(self, left, top, width, height):
        """The pixels of a rectangle as a tuple of 0xRRGGBB values."""
        image = _x11.XGetImage(self.dpy, self.root, int(left), int(top), width, height, 0xFFFFFFFF, 2)
        if not image:
            raise RuntimeError("XGetImage failed")
        pixels = tuple(_x11.XGetPixel(image, x, y) & 0xFFFFFF for y in range(height) for x in range(width))
        _x11.XFree(image)
        return pixels

    def grab(self, width, height):
        """The top-left width x height of the screen as rows of (r, g, b)."""
        image = _x11.XGetImage(self.dpy, self.root, 0, 0, width, height, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            raise RuntimeError("XGetImage failed")
        rows = []
        for y in range(height):
            row = []
            for x in range(width):
                p = _x11.XGetPixel(image, x, y)
                row.append(((p >> 16) & 255, (p >> 8) & 255, p & 255))
            rows.append(row)
        _x11.XFree(image)
        return rows


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
