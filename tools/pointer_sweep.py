#!/usr/bin/python3
"""Moves the X pointer to and fro over the screen (XTest) for SECONDS, 100
moves a second, as a hand moving the mouse over the window during a loop.

    pointer_sweep.py SECONDS"""

import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no X display")
end = time.monotonic() + float(sys.argv[1] if len(sys.argv) > 1 else 10)
step = 0
while time.monotonic() < end:
    x = 100 + (step * 7) % 700
    y = 100 + (step * 3) % 500
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
    x11.XFlush(display)
    step += 1
    time.sleep(0.01)
