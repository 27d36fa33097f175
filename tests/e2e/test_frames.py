"""The skinned frames of the program's windows under real pointer input: title
buttons, dragging by the caption, the About dialog, and what the frame and
its shadow look like."""
from __future__ import annotations

import time
import unittest

import harness
from harness import Session
from test_app import (BUTTON_W, BUTTONS, TITLE, Screenshot, app_running, close_button, end_by_close_button,
                      fake_browser)

# The built-in skin: border 4, shadow margins 13, 11, 13, 15 (title and buttons in test_app).
BORDER = 4
SHADOW = (13, 11, 13, 15)
WS_MINIMIZE = 0x20000000


def title_y(w: dict) -> int:
    return w["client"][1] - TITLE // 2


def minimise_button(w: dict) -> tuple[int, int]:
    return w["client"][2] - BUTTON_W - BUTTON_W // 2, title_y(w)


class Frames(unittest.TestCase):
    def setUp(self):
        if harness.in_private_network():
            harness.set_hosts(())
        self.s = Session(self.id().rsplit(".", 1)[-1])
        self.opened = fake_browser(self.s)
        self.s.start_app()
        self.main = self.s.wait_main_window()
        time.sleep(0.5)

    def tearDown(self):
        self.s.close()

    # --- helpers ---------------------------------------------------------------------------------

    def border_of(self, w: dict, timeout: float = 5) -> dict:
        """The layered window that frames w: the one lying around its client area."""
        deadline = time.time() + timeout
        while True:
            w = self.s.refresh(w)
            for b in self.s.windows("TacGlowForm", pid=self.s.app_pid):
                if self.frames(b, w):
                    return b
            if time.time() > deadline:
                self.fail(f"no border window around {w['class']}: {self.s.windows('TacGlowForm')}")
            time.sleep(0.2)

    @staticmethod
    def frames(b: dict, w: dict) -> bool:
        left, top, right, bottom = w["client"]
        return b["rect"] == [left - BORDER - SHADOW[0], top - TITLE - SHADOW[1], right + BORDER + SHADOW[2],
                             bottom + BORDER + SHADOW[3]]

    def pointer(self, *steps: tuple) -> None:
        """xdotool steps: ("move", x, y), ("down",), ("up",)."""
        for step in steps:
            if step[0] == "move":
                self.s.xdotool("mousemove", "--sync", str(step[1]), str(step[2]))
            else:
                self.s.xdotool("mouse" + step[0], "1")
            time.sleep(0.15)

    # --- tests -----------------------------------------------------------------------------------

    def test_main_window_is_framed_by_the_skin_with_its_shadow(self):
        border = self.border_of(self.main)
        self.assertTrue(border["visible"])
        # Layered, never activated, off the task bar.
        self.assertTrue(border["exstyle"] & 0x80000)
        self.assertTrue(border["exstyle"] & 0x8000000)
        # Read again until it holds: the window is visible a moment before its activation.
        main, deadline = self.main, time.monotonic() + 5
        while not main["foreground"] and time.monotonic() < deadline:
            time.sleep(0.1)
            main = self.s.refresh(main)
        self.assertTrue(main["foreground"])

    def test_close_button_pressed_and_released_ends_the_program(self):
        x, y = close_button(self.main)
        self.pointer(("move", x, y), ("down",), ("up",))
        self.s.wait_gone("TForm1", timeout=20)
        self.assertFalse(self.s.windows("TacGlowForm", pid=self.s.app_pid))
        self.assertEqual(self.s.app_exit(), 0)

    def test_close_button_pressed_dragged_off_and_released_does_nothing(self):
        x, y = close_button(self.main)
        left, top, right, bottom = self.main["client"]
        self.pointer(("move", x, y), ("down",), ("move", x - 120, top + 100), ("up",))
        time.sleep(1)
        main = self.s.refresh(self.main)
        self.assertTrue(main["visible"])
        self.assertTrue(app_running(self.s))
        # Still usable: the About dialog opens from it.
        self.s.click(main, *BUTTONS["关于"])
        self.s.wait_window("TForm2", "关于", timeout=10)

    def test_minimise_and_restore(self):
        x, y = minimise_button(self.main)
        self.pointer(("move", x, y), ("down",), ("up",))
        deadline = time.time() + 10
        while not (self.s.refresh(self.main)["style"] & WS_MINIMIZE) and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(self.s.refresh(self.main)["style"] & WS_MINIMIZE, "not minimised")
        time.sleep(0.5)
        self.assertFalse([b for b in self.s.windows("TacGlowForm", pid=self.s.app_pid)], "the frame stayed")
        self.s.probe("restore", "--hwnd", str(self.main["hwnd"]))
        time.sleep(1)
        main = self.s.refresh(self.main)
        self.assertFalse(main["style"] & WS_MINIMIZE)
        self.assertEqual(main["client"], self.main["client"])
        self.border_of(main)

    def test_dragging_the_caption_moves_the_window_and_its_frame_follows(self):
        left, top, right, bottom = self.main["client"]
        x, y = left + 150, title_y(self.main)
        self.pointer(("move", x, y), ("down",), ("move", x + 30, y + 20), ("move", x + 60, y + 40),
                     ("move", x + 90, y + 50), ("up",))
        time.sleep(0.5)
        main = self.s.refresh(self.main)
        self.assertEqual(main["client"], [left + 90, top + 50, right + 90, bottom + 50])
        self.border_of(main)

    def frame_pixels(self, shot: Screenshot, w: dict, band: int | None = None) -> list:
        """The pixels of w's frame and shadow (every other one), or of its top band rows only."""
        left, top, right, bottom = w["client"]
        x0, y0 = left - BORDER - SHADOW[0], top - TITLE - SHADOW[1]
        x1, y1 = right + BORDER + SHADOW[2], (top if band else bottom + BORDER + SHADOW[3])
        return [shot.pixel(x, y) for y in range(y0, y1, 2) for x in range(x0, x1, 2)
                if band or not (left <= x < right and top <= y < bottom)]

    def test_about_dialog_is_framed_and_closes_by_its_button_and_by_ok(self):
        self.pointer(("move", 5, 5))  # nothing of either window is hot in the pictures
        self.s.click(self.main, *BUTTONS["关于"])
        about = self.s.wait_window("TForm2", "关于", timeout=10)
        self.border_of(about)
        time.sleep(0.5)
        main = self.s.refresh(self.main)
        first = Screenshot(self.s.screenshot("about-framed"), 0, 0)
        first_about, first_main = self.frame_pixels(first, about), self.frame_pixels(first, main, band=1)
        x, y = close_button(about)
        self.pointer(("move", x, y), ("down",), ("up",))
        self.s.wait_gone("TForm2", timeout=10)
        self.assertTrue(app_running(self.s))
        # Opened again it looks the same, and so does the main window behind
        # it; "确定" closes it, and its frame goes with it.
        self.pointer(("move", 5, 5))
        self.s.click(self.main, *BUTTONS["关于"])
        about = self.s.wait_window("TForm2", "关于", timeout=10)
        self.border_of(about)
        time.sleep(0.5)
        again = Screenshot(self.s.screenshot("about-again"), 0, 0)
        self.assertEqual(self.frame_pixels(again, about), first_about)
        self.assertEqual(self.frame_pixels(again, main, band=1), first_main)
        self.s.press(about, "确定")
        self.s.wait_gone("TForm2", timeout=10)
        time.sleep(0.5)
        self.assertEqual(len(self.s.windows("TacGlowForm", pid=self.s.app_pid)), 1)
        end_by_close_button(self, self.s, self.main)

    def test_frame_and_shadow_look(self):
        self.s.move(self.main, 200, 116)
        time.sleep(0.5)
        left, top, right, bottom = self.main["client"]
        shot = Screenshot(self.s.screenshot("frame"), 0, 0)
        backdrop = shot.pixel(5, 5)
        # The frame: the skin's accent line at the outer edge, white title.
        frame_left, frame_top = left - BORDER, top - TITLE
        self.assertNotEqual(shot.pixel(frame_left, (top + bottom) // 2), backdrop)
        self.assertEqual(shot.pixel(left + 60, top - 5), (255, 255, 255))
        # The shadow: darker than the backdrop next to the frame, fading outwards, the same left and right.
        mid = (top + bottom) // 2
        near_l, far_l = shot.pixel(frame_left - 2, mid), shot.pixel(frame_left - 12, mid)
        near_r, far_r = shot.pixel(right + BORDER + 1, mid), shot.pixel(right + BORDER + 11, mid)
        self.assertLess(sum(near_l), sum(far_l))
        self.assertLessEqual(sum(far_l), sum(backdrop))
        self.assertEqual(near_l, near_r)
        self.assertEqual(far_l, far_r)
        self.assertEqual(shot.pixel(frame_left - 30, mid), backdrop)
        # No magenta key colour or black fringe anywhere around it.
        for x in range(frame_left - 13, right + BORDER + 13):
            for y in (frame_top - 11, frame_top - 1, bottom + BORDER, bottom + BORDER + 14):
                p = shot.pixel(x, y)
                self.assertNotEqual(p, (255, 0, 255), f"magenta at {x},{y}")
                self.assertGreater(sum(p), 100, f"black at {x},{y}")

    def test_notice_box_is_framed_by_the_skin_and_its_close_button_is_its_ok(self):
        self.pointer(("move", 5, 5))
        self.s.click(self.main, *BUTTONS["计算器"])
        # The app menu may still be the system's: its first item by position.
        menu = self.s.wait_window("#32768", timeout=10)
        left, top, right, bottom = menu["rect"]
        self.s.click_screen((left + right) // 2, top + (bottom - top) // 4)
        box = self.s.wait_message_box("提示", timeout=60)
        border = self.border_of(box)
        self.assertTrue(border["visible"])
        self.assertFalse(box["style"] & 0x80000, "the system's caption buttons are still on")  # WS_SYSMENU
        texts = self.s.texts(box)
        self.assertIn("计算器 卸载完成！", texts)
        self.assertIn("确定", texts)  # the program's word, not the system's
        self.assertNotIn("OK", texts)
        self.pointer(("move", 5, 5))
        time.sleep(0.3)
        shot = Screenshot(self.s.screenshot("notice"), 0, 0)
        cl, ct, cr, cb = box["client"]
        fl, ft, fr, fb = cl - BORDER, ct - TITLE, cr + BORDER, cb + BORDER
        # The skin's white title bar with its close-alone button: the cross is drawn in the middle of its place.
        self.assertEqual(shot.pixel(cl + 60, ct - 4), (255, 255, 255))
        x, y = close_button(box)
        self.assertLess(sum(shot.pixel(x, y)), 3 * 128, "no close glyph")
        # The shadow on all four sides: just outside the frame darker than beyond the shadow.
        mx, my = (fl + fr) // 2, (ft + fb) // 2
        for (nx, ny), (far_x, far_y) in (((fl - 2, my), (fl - 20, my)), ((fr + 1, my), (fr + 20, my)),
                                         ((mx, ft - 2), (mx, ft - 20)), ((mx, fb + 2), (mx, fb + 20))):
            self.assertLess(sum(shot.pixel(nx, ny)), sum(shot.pixel(far_x, far_y)), f"no shadow at {nx},{ny}")
        # The button in the skin's look: its edge in the skin's accent, not the system's grey.
        r = self.s.child(box, text="确定")["rect"]
        edge = shot.pixel(r[0], (r[1] + r[3]) // 2)
        self.assertGreater(edge[2], edge[0] + 40, f"button edge {edge}")
        # The title's close button stands for "确定": the box goes, the program goes on.
        self.pointer(("move", x, y), ("down",), ("up",))
        self.s.wait_gone("#32770", "提示", timeout=10)
        self.assertTrue(app_running(self.s))
        self.assertEqual(len(self.s.windows("TacGlowForm", pid=self.s.app_pid)), 1)
        deadline = time.time() + 20
        while not self.s.refresh(self.main)["enabled"] and time.time() < deadline:
            time.sleep(0.1)
        time.sleep(0.3)
        end_by_close_button(self, self.s, self.main)


if __name__ == "__main__":
    unittest.main()
