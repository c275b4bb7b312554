#!/usr/bin/python3
"""A person's keyboard, whose layout holds the letters of their language:
  typing.py --hold LETTERS   gives each letter the display's keyboard lacks
                             a key of its own, says "ready", and keeps them
                             until it is ended (the display drops them once
                             no program is connected)
  typing.py TEXT             types TEXT into the window in front
xdotool instead maps a key to such a letter only while it presses it: a
slow machine's Wine reads the key after that, and the letter is lost. Wine
learns the layout when it starts, so it is given before the editor starts."""

import ctypes
import signal
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtest = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                 ctypes.POINTER(ctypes.c_int)]
x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                    ctypes.POINTER(ctypes.c_int)]
x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                       ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
SHIFT = 50  # the left Shift key's keycode on the display's keyboard


def keysym(letter):
    """X's number for a letter: Latin-1 as it is, the rest 0x01000000 + U."""
    code = ord(letter)
    return code if 0x20 <= code < 0x100 else 0x01000000 + code


def main(hold, text):
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("typing.py: no display")
    low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    table = x11.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per))
    keys, free = {}, []  # keysym: (keycode, with Shift); keys that hold nothing
    for k in range(count):
        row = [table[k * per.value + j] for j in range(per.value)]
        for level in (0, 1):  # without Shift where a key has it so too
            if row[level] and (row[level] not in keys or keys[row[level]][1]):
                keys[row[level]] = (low.value + k, level == 1)
        if not any(row):
            free.append(low.value + k)  # the low ones: Wine reads those
    for letter in dict.fromkeys(text if hold else ""):
        if keysym(letter) not in keys:
            if not free:
                sys.exit("typing.py: no free key left for " + letter)
            key = free.pop(0)
            both = (ctypes.c_ulong * 2)(keysym(letter), keysym(letter))
            x11.XChangeKeyboardMapping(display, key, 2, both, 1)
            keys[keysym(letter)] = (key, False)
    x11.XSync(display, 0)
    if hold:
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
        print("ready", flush=True)
        signal.sigwait({signal.SIGTERM, signal.SIGINT})
        return
    for letter in text:
        if keysym(letter) not in keys:
            sys.exit("typing.py: the keyboard has no key for %s: hold it first" % letter)
        key, shifted = keys[keysym(letter)]
        presses = [(SHIFT, 1), (key, 1), (key, 0), (SHIFT, 0)] if shifted else [(key, 1), (key, 0)]
        for code, down in presses:
            xtest.XTestFakeKeyEvent(display, code, down, 0)
        x11.XSync(display, 0)
        time.sleep(0.02)  # a person's pace; nothing waits on it
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main(sys.argv[1] == "--hold", sys.argv[-1])
