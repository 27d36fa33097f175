"""The pointer swept across every speed button of the main window by real
input: each time exactly the button under the pointer shows its hot look, and
once the pointer has left them all, every button is back at rest. Pixels are
read straight from the X server, so the sweep takes seconds, not minutes."""
from __future__ import annotations

import ctypes
import ctypes.util
import re
import time
import unittest

import harness
from harness import ROOT, Session

FORM = ROOT / "resources" / "forms" / "TForm1.form"
BARE = (200, 116)  # a client point no control covers


def speed_buttons() -> list[tuple[str, tuple[int, int, int, int]]]:
    """(name, (left, top, width, height)) of each speed button of the main window, in the description's order."""
    text = FORM.read_text(encoding="utf-8")
    out = []
    for m in re.finditer(r"^\s*(\w+): TsSpeedButton \{(.*?)^\s*\}", text, re.S | re.M):
        props = dict(re.findall(r"^\s*(Left|Top|Width|Height) = (-?\d+)", m.group(2), re.M))
        out.append((m.group(1), tuple(int(props[k]) for k in ("Left", "Top", "Width", "Height"))))
    return out


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Grabber:
    """Reads rectangles of the screen from the X server (32 bits a pixel on the test display)."""

    def __init__(self, display: str):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGetImage.restype = ctypes.POINTER(_XImage)
        self.x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                       ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x11.XFree.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise AssertionError(f"cannot open display {display}")
        self.root = self.x11.XDefaultRootWindow(self.dpy)

    def grab(self, x: int, y: int, w: int, h: int) -> list[bytes]:
        """The rows of a screen rectangle, each its pixels' bytes."""
        img = self.x11.XGetImage(self.dpy, self.root, x, y, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        if not img:
            raise AssertionError(f"XGetImage failed for {x},{y} {w}x{h}")
        try:
            i = img.contents
            assert i.bits_per_pixel == 32, i.bits_per_pixel
            data = ctypes.string_at(i.data, i.bytes_per_line * i.height)
            return [data[r * i.bytes_per_line:r * i.bytes_per_line + 4 * w] for r in range(h)]
        finally:
            self.x11.XFree(img.contents.data)
            self.x11.XFree(img)

    def close(self) -> None:
        self.x11.XCloseDisplay(self.dpy)


class Sweep(unittest.TestCase):
    def setUp(self):
        if harness.in_private_network():
            harness.set_hosts(())
        # A button's hint would come up over the buttons below a resting pointer;
        # with the query of installed apps failing there are no hints.
        self.s = Session(self.id().rsplit(".", 1)[-1], store={"query_fails": True})
        self.s.start_app()
        self.main = self.s.wait_main_window()
        self.grabber = Grabber(self.s.env["DISPLAY"])
        self.buttons = speed_buttons()
        self.assertEqual(len(self.buttons), 36, "the main window's description has another set of buttons")

    def tearDown(self):
        self.grabber.close()
        self.s.close()

    def looks(self) -> list[list[bytes]]:
        """Each button's pixels now, from one grab of the client area."""
        left, top, right, bottom = self.main["client"]
        rows = self.grabber.grab(left, top, right - left, bottom - top)
        return [[row[4 * x:4 * (x + w)] for row in rows[y:y + h]] for _, (x, y, w, h) in self.buttons]

    def settled(self, index: int, rest: list[list[bytes]], timeout: float = 3) -> list[list[bytes]]:
        """The looks once button index has left its rest look and stopped changing (its fade is over)."""
        deadline = time.time() + timeout
        last, same = None, 0
        while time.time() < deadline:
            now = self.looks()
            changed = now[index] != rest[index]
            same = same + 1 if changed and last is not None and now[index] == last[index] else 0
            if same >= 2:
                return now
            last = now
            time.sleep(0.015)
        self.fail(f"{self.buttons[index][0]} did not settle on a hot look under the pointer")

    def test_exactly_the_button_under_the_pointer_is_hot(self):
        self.s.move(self.main, *BARE)
        time.sleep(0.6)
        rest = self.looks()
        hot: dict[int, list[bytes]] = {}
        for i, (name, (x, y, w, h)) in enumerate(self.buttons):
            self.s.move(self.main, x + w // 2, y + h // 2)
            now = self.settled(i, rest)
            hot[i] = now[i]
            for j, (other, _) in enumerate(self.buttons):
                if j == i:
                    continue
                if j in hot:  # visited: at most fading back, never hot any more
                    self.assertNotEqual(now[j], hot[j], f"{other} still hot with the pointer on {name}")
                else:
                    self.assertEqual(now[j], rest[j], f"{other} not at rest with the pointer on {name}")
        self.s.move(self.main, *BARE)
        deadline = time.time() + 3
        while self.looks() != rest and time.time() < deadline:
            time.sleep(0.05)
        final = self.looks()
        stuck = [name for (name, _), a, b in zip(self.buttons, final, rest) if a != b]
        self.assertEqual(stuck, [], "buttons not back at rest after the pointer left them")


if __name__ == "__main__":
    unittest.main()
