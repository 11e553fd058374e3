#!/usr/bin/env python3
"""Starts a window program and times it until the screen settles.

Usage: screen-settle.py SETTLE_SECONDS X,Y,WIDTH,HEIGHT COMMAND [ARGS...]

Runs COMMAND on the X display in $DISPLAY and grabs the screen every few
milliseconds. Once it has not changed for SETTLE_SECONDS, prints two
numbers: the seconds from the start to the last change within the rectangle
(where the program's window shows its list: a title bar redrawn when the
window is activated does not count), and the largest resident set in
kilobytes among the command and its descendants (for a program under wine,
the Windows process itself). Then ends the program. Only the standard
library and libX11 are used.
"""

import ctypes
import ctypes.util
import hashlib
import os
import signal
import subprocess
import sys
import time

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong), ("obdata", ctypes.c_void_p),
                ("create_image", ctypes.c_void_p), ("destroy_image", ctypes.CFUNCTYPE(
                    ctypes.c_int, ctypes.c_void_p))]


def screen_digest(display, root, x, y, width, height):
    pointer = x11.XGetImage(display, root, x, y, width, height, 0xFFFFFFFF, 2)  # ZPixmap
    image = ctypes.cast(pointer, ctypes.POINTER(XImage)).contents
    digest = hashlib.md5(ctypes.string_at(image.data, image.bytes_per_line * image.height)).digest()
    image.destroy_image(pointer)  # XDestroyImage is a macro calling this
    return digest


def descendants(pid):
    found, todo = [], [pid]
    while todo:
        parent = todo.pop()
        found.append(parent)
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat") as f:
                        if int(f.read().rsplit(")", 1)[1].split()[1]) == parent:
                            todo.append(int(entry))
                except OSError:
                    pass
    return found


def resident_kib(pids):
    largest = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        largest = max(largest, int(line.split()[1]))
        except OSError:
            pass
    return largest


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    settle = float(argv[1])
    area = [int(n) for n in argv[2].split(",")]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.stderr.write("cannot open the display\n")
        return 1
    root = x11.XDefaultRootWindow(display)
    width = x11.XDisplayWidth(display, 0)
    height = x11.XDisplayHeight(display, 0)
    screen = screen_digest(display, root, 0, 0, width, height)
    region = screen_digest(display, root, *area)
    start = time.monotonic()
    program = subprocess.Popen(argv[3:], start_new_session=True)
    last_change = last_region_change = None
    while True:
        now = time.monotonic()
        digest = screen_digest(display, root, 0, 0, width, height)
        if digest != screen:
            last_change, screen = now, digest
            inside = screen_digest(display, root, *area)
            if inside != region:
                last_region_change, region = now, inside
        if last_change is not None and now - last_change > settle:
            break
        if now - start > 300:
            sys.stderr.write("the screen never settled\n")
            break
        time.sleep(0.005)
    rss = resident_kib(descendants(program.pid))
    os.killpg(program.pid, signal.SIGTERM)
    program.wait()
    print(f"{(last_region_change or now) - start:.3f} {rss}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
