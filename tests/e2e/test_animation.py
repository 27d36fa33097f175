"""The main window's animations as the screen shows them: a row of the screen is read many times
a second while the window fades in at start, fades out at close and goes to the task bar and back.
A frame in between shows the window's colour blended with what lies behind it."""
from __future__ import annotations

import time
import unittest

import harness
from harness import RowSampler, Session
from test_app import BUTTONS, close_button, fake_browser
from test_frames import minimise_button

WS_MINIMIZE = 0x20000000


def between(seen, before, after, margin: int = 6) -> bool:
    """A pixel that is neither the one before nor the one after, but a blend of the two."""
    if any(abs(a - b) < 3 * margin for a, b in zip(before, after)):
        return False
    return all(min(a, b) + margin <= s <= max(a, b) - margin for s, a, b in zip(seen, before, after))


class Animations(unittest.TestCase):
    def setUp(self):
        if harness.in_private_network():
            harness.set_hosts(())
        self.s = Session(self.id().rsplit(".", 1)[-1])
        fake_browser(self.s)

    def tearDown(self):
        self.s.close()

    def blends(self, samples, x: int, before, after) -> list[float]:
        return [t for t, row in samples if between(RowSampler.pixel(row, x), before, after)]

    def colours_across_buttons(self, main: dict) -> int:
        """Colours on the row through the first row of app buttons: the captions and borders when
        the window shows its content, one colour when its client area is empty."""
        left, top, right, _ = self.s.refresh(main)["client"]
        sampler = RowSampler(self.s.env["DISPLAY"], top + 22)
        time.sleep(0.2)
        row = sampler.stop()[-1][1]
        return len({RowSampler.pixel(row, i) for i in range(left, right)})

    def test_the_main_window_fades_in_at_start_and_out_when_closed(self):
        sampler = RowSampler(self.s.env["DISPLAY"], 400)
        self.s.start_app()
        main = self.s.wait_main_window()
        time.sleep(0.5)
        shown = sampler.stop()
        left, top, right, bottom = main["client"]
        self.assertTrue(top < 400 < bottom, main)
        x = (left + right) // 2
        background, final = RowSampler.pixel(shown[0][1], x), RowSampler.pixel(shown[-1][1], x)
        seen = []
        for _, row in shown:
            p = RowSampler.pixel(row, x)
            if not seen or seen[-1] != p:
                seen.append(p)
        self.assertTrue(self.blends(shown, x, background, final), f"no frame of the window fading in was seen: {seen}")
        self.assertGreater(self.colours_across_buttons(main), 8, "the client area is empty after the animation")

        sampler = RowSampler(self.s.env["DISPLAY"], 400)
        cx, cy = close_button(main)
        self.s.xdotool("mousemove", "--sync", str(cx), str(cy))
        time.sleep(0.15)
        self.s.xdotool("click", "1")
        self.assertEqual(self.s.app_exit(30), 0, "the program did not end cleanly")
        closed = sampler.stop()
        gone = RowSampler.pixel(closed[-1][1], x)
        self.assertEqual(gone, background)
        self.assertTrue(self.blends(closed, x, final, gone), "the window vanished without fading out")

    def test_minimise_to_the_task_bar_and_restore_are_animated(self):
        self.s.start_app()
        main = self.s.wait_main_window()
        time.sleep(0.5)
        left, top, right, bottom = main["client"]
        x = (left + right) // 2
        sampler = RowSampler(self.s.env["DISPLAY"], 400)
        mx, my = minimise_button(main)
        self.s.xdotool("mousemove", "--sync", str(mx), str(my))
        time.sleep(0.15)
        self.s.xdotool("click", "1")
        deadline = time.time() + 10
        while not (self.s.refresh(main)["style"] & WS_MINIMIZE) and time.time() < deadline:
            time.sleep(0.1)
        time.sleep(0.3)
        down = sampler.stop()
        shown, gone = RowSampler.pixel(down[0][1], x), RowSampler.pixel(down[-1][1], x)
        self.assertTrue(self.blends(down, x, shown, gone), "the window vanished without going to the task bar")

        sampler = RowSampler(self.s.env["DISPLAY"], 400)
        self.s.probe("restore", "--hwnd", str(main["hwnd"]))
        time.sleep(1)
        up = sampler.stop()
        self.assertFalse(self.s.refresh(main)["style"] & WS_MINIMIZE)
        self.assertGreater(self.colours_across_buttons(main), 8, "the client area is empty after the restore")
        self.assertTrue(self.blends(up, x, gone, shown), "the window came back without an animation")
        x2, y2 = close_button(self.s.refresh(main))
        self.s.xdotool("mousemove", "--sync", str(x2), str(y2))
        time.sleep(0.15)
        self.s.xdotool("click", "1")
        self.assertEqual(self.s.app_exit(30), 0, "the program did not end cleanly")

    def test_closing_while_the_window_fades_in_ends_cleanly(self):
        self.s.start_app()
        deadline = time.time() + 60
        while time.time() < deadline:
            found = self.s.windows("TForm1", pid=self.s.app_pid, visible_only=False)
            if found:
                # Asked to close while it is still coming up.
                self.s.probe("close", "--hwnd", str(found[0]["hwnd"]))
                break
            time.sleep(0.02)
        self.assertEqual(self.s.app_exit(30), 0, "the program did not end cleanly")

    def test_closing_the_program_over_the_about_dialog_ends_cleanly(self):
        self.s.start_app()
        main = self.s.wait_main_window()
        time.sleep(0.3)
        self.s.click(main, *BUTTONS["关于"])
        self.s.wait_window("TForm2", "关于", timeout=10)
        time.sleep(0.3)
        # The dialog fades out on the way, then the main window, while the program ends.
        self.s.probe("close", "--hwnd", str(main["hwnd"]))
        self.assertEqual(self.s.app_exit(30), 0, "the program did not end cleanly")

if __name__ == "__main__":
    unittest.main()
