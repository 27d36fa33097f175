"""Clearbay.exe as a user runs it: real clicks on a composited display, the
PowerShell double behind every command, texts read with the probe."""
from __future__ import annotations

import base64
import os
import subprocess
import time
import unittest
from pathlib import Path

import harness
import psstore
from harness import ROOT, Session, winpath

# Client-area centres of the controls used here (96 DPI layout of the main window).
BUTTONS = {
    "计算器": (109 + 87 // 2, 175 + 11),
    "人脉": (88 + 66 // 2, 64 + 11),
    "相机": (88 + 63 // 2, 8 + 11),
    "卸载全部": (308 + 85 // 2, 36 + 11),
    "安装全部": (308 + 85 // 2, 64 + 11),
    "关于": (308 + 85 // 2, 203 + 11),
}
SLIDER = (347 + 16, 176 + 7)
# Client rectangles (left, top, width, height) of controls whose look is checked.
CALCULATOR = (109, 175, 87, 22)
# Client points that no control covers.
BARE = [(4, 4), (300, 4), (408, 4), (4, 286), (300, 150), (408, 286), (200, 116)]
UNINSTALL_CALC = "PowerShell.exe Get-AppxPackage *windowscalculator* | Remove-AppxPackage"
# The built-in skin's title bar: 30 high, buttons 28 wide flush with the client area's right edge.
TITLE, BUTTON_W = 30, 28


def close_button(w: dict) -> tuple[int, int]:
    """Screen point of a skinned window's close button."""
    return w["client"][2] - BUTTON_W // 2, w["client"][1] - TITLE // 2


def end_by_close_button(test: unittest.TestCase, s: Session, main: dict) -> None:
    """Ends the program as a user does, by its title bar's close button, and
    checks that it ends by itself and cleanly (a crash on the way out fails)."""
    main = s.refresh(main)
    x, y = close_button(main)
    s.xdotool("mousemove", "--sync", str(x), str(y))
    time.sleep(0.15)
    s.xdotool("click", "1")
    test.assertEqual(s.app_exit(30), 0, "the program did not end cleanly")


def fake_browser(s: Session) -> Path:
    """Wine hands a web address that the shell opens to xdg-open on the search
    path; this one only writes the address into the returned file."""
    bin_dir = s.work / "bin"
    bin_dir.mkdir(exist_ok=True)
    opened = s.work / "opened.txt"
    script = bin_dir / "xdg-open"
    script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$@" >> "{opened}"\n')
    script.chmod(0o755)
    s.env["PATH"] = f"{bin_dir}:{s.env.get('PATH', os.environ.get('PATH', ''))}"
    return opened


def none_installed() -> list:
    """The double's default packages, none of them installed for the current user."""
    packages = psstore.default_packages()
    for p in packages:
        p.current_user = False
    return packages


def app_running(s: Session) -> bool:
    """Whether the program's process is still there (after its windows have gone)."""
    out = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout.lower()
    return any(name.lower() in out for name in (str(s.app_exe), winpath(s.app_exe)))


def read_opened(opened: Path, timeout: float = 20) -> list[str]:
    deadline = time.time() + timeout
    while time.time() < deadline and not opened.exists():
        time.sleep(0.2)
    time.sleep(0.5)
    return opened.read_text().split() if opened.exists() else []


class Screenshot:
    """A screenshot read back as pixels, addressed in a window's client coordinates."""

    def __init__(self, path: Path, left: int, top: int):
        data = subprocess.run(["convert", str(path), "ppm:-"], capture_output=True, check=True, timeout=60).stdout
        fields, pos = [], 0
        while len(fields) < 4:  # P6, width, height, maximum
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = data[pos + 1:]
        self.left, self.top = left, top

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = ((self.top + y) * self.width + self.left + x) * 3
        return tuple(self.data[i:i + 3])


class AppWindow(unittest.TestCase):
    """One program per test; the network is off so the update check says "no network".
    The helpers of the tests that drive the main window."""

    def seed(self, s: Session) -> None:
        """Sets up the session before the program starts (the default store)."""

    def setUp(self):
        if harness.in_private_network():
            harness.set_hosts(())
        self.s = Session(self.id().rsplit(".", 1)[-1], temp_name="Temp Dir")
        self.opened = fake_browser(self.s)
        self.seed(self.s)
        self.s.start_app()
        self.main = self.s.wait_main_window()

    def tearDown(self):
        self.s.close()

    # --- helpers ---------------------------------------------------------------------------------

    def click(self, what: str, button: int = 1):
        x, y = BUTTONS[what]
        self.s.click(self.main, x, y, button)

    def uninstall_all(self):
        """Clicks "卸载全部" and answers its question with "是"."""
        self.click("卸载全部")
        box = self.s.wait_message_box("确认", timeout=20)
        self.s.press(box, "是")
        self.s.wait_gone("#32770", "确认", timeout=10)

    def menu(self) -> dict:
        return self.s.wait_window("#32768", timeout=10)

    def choose(self, item: int):
        """Clicks item 0 ("卸载") or 1 ("安装") of the open app menu."""
        m = self.menu()
        left, top, right, bottom = m["rect"]
        height = (bottom - top) / 2
        self.s.click_screen(left + (right - left) // 2, int(top + height * item + height / 2))

    def notice(self, timeout: float = 60) -> str:
        box = self.s.wait_message_box("提示", timeout=timeout)
        texts = [t for t in self.s.texts(box) if t not in ("确定", "OK")]
        self.s.press(box, "确定" if "确定" in self.s.texts(box) else "OK")
        self.s.wait_gone("#32770", "提示", timeout=10)
        self.wait_enabled()
        return texts[-1] if texts else ""

    def wait_enabled(self, timeout: float = 20):
        """The owner of a modal box takes input again only once the box is gone
        and activation has come back to it (through the X server under Wine); a
        synthetic click sent before that is dropped, where a hand is slower."""
        deadline = time.time() + timeout
        while True:
            w = self.s.refresh(self.main)
            if w["enabled"] and w.get("foreground", True):
                break
            self.assertLess(time.time(), deadline, "the main window does not take input again")
            time.sleep(0.1)
        time.sleep(0.3)

    def no_notice(self, seconds: float = 3):
        deadline = time.time() + seconds
        while time.time() < deadline:
            self.assertFalse(self.s.windows("#32770", pid=self.s.app_pid), "a notice appeared")
            time.sleep(0.5)

    def system_colours(self) -> dict[str, tuple[int, int, int]]:
        """The system colours of the session's Wine prefix, as the program is given them."""
        text = (Path(self.s.env["WINEPREFIX"]) / "user.reg").read_text(encoding="utf-8", errors="replace")
        colours, inside = {}, False
        for line in text.splitlines():
            if line.startswith("["):
                inside = line.startswith("[Control Panel\\\\Colors]")
            elif inside and line.startswith('"') and "=" in line:
                key, value = line.split("=", 1)
                colours[key.strip('"')] = tuple(int(v) for v in value.strip('"').split())
        return colours

    def end(self):
        end_by_close_button(self, self.s, self.main)

    def wait_log(self, count: int, timeout: float = 30) -> list[dict]:
        deadline = time.time() + timeout
        while time.time() < deadline:
            log = self.s.log()
            if len(log) >= count:
                return log
            time.sleep(0.2)
        log = self.s.log()
        calls = [(e["kind"], e["exit_code"], e["errors"]) for e in log]
        running = subprocess.run(["ps", "-eo", "pid,etime,args"], capture_output=True, text=True).stdout
        running = [line for line in running.splitlines() if "powershell" in line.lower()]
        self.fail(f"expected {count} PowerShell calls, saw {len(log)}: {calls}; still running: {running}")


class App(AppWindow):
    # --- tests ---------------------------------------------------------------------------------------

    def test_main_window_looks_right(self):
        w = self.main
        left, top, right, bottom = w["client"]
        self.assertEqual((right - left, bottom - top), (412, 290))
        self.assertTrue(w["visible"])
        self.s.move(self.main, 200, 116)  # no button under the pointer
        time.sleep(0.5)
        shot = Screenshot(self.s.screenshot("main"), left, top)
        # The client area is painted from the skin's FORM section (white in MetroUI).
        for x, y in BARE:
            self.assertEqual(shot.pixel(x, y), (255, 255, 255), f"background at {x},{y}")
        # An app button drawn from the skin: a frame unlike the window around
        # a face, and its caption centred on it.
        bx, by, bw, bh = CALCULATOR
        face_in = shot.pixel(bx + 3, by + 3)
        self.assertNotEqual(shot.pixel(bx, by + bh // 2), (255, 255, 255), "no frame")
        for x, y in ((bx, by + bh // 2), (bx + bw - 1, by + bh // 2), (bx + bw // 2, by), (bx + bw // 2, by + bh - 1)):
            self.assertEqual(shot.pixel(x, y), shot.pixel(bx, by + bh // 2), f"frame at {x},{y}")
        inside = [(x, y) for y in range(by + 2, by + bh - 2) for x in range(bx + 2, bx + bw - 2)]
        ink = [(x, y) for x, y in inside if shot.pixel(x, y) != face_in]
        self.assertTrue(ink, "the button shows no caption")
        xs, ys = [x for x, _ in ink], [y for _, y in ink]
        # "计算器" is three glyphs: wider than tall, in the middle of the face.
        self.assertGreater(max(xs) - min(xs), 30)
        self.assertLessEqual(abs((min(xs) - bx) - (bx + bw - 1 - max(xs))), 2, "caption not centred across")
        self.assertLessEqual(abs((min(ys) - by) - (by + bh - 1 - max(ys))), 3, "caption not centred down")
        # Nothing magenta anywhere in the window (the skin's key colour).
        for y in range(0, bottom - top, 3):
            for x in range(0, right - left, 3):
                self.assertNotEqual(shot.pixel(x, y), (255, 0, 255), f"magenta at {x},{y}")

    def region(self, shot: "Screenshot", box) -> list:
        x0, y0, w, h = box
        return [shot.pixel(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w)]

    def test_hot_and_pressed_looks_follow_the_pointer_and_fade_back(self):
        self.s.move(self.main, 200, 116)
        time.sleep(0.6)
        left, top = self.main["client"][0], self.main["client"][1]
        rest = self.region(Screenshot(self.s.screenshot("rest"), left, top), CALCULATOR)
        self.s.move(self.main, *BUTTONS["计算器"])
        time.sleep(0.6)
        hot = self.region(Screenshot(self.s.screenshot("hot"), left, top), CALCULATOR)
        self.assertNotEqual(hot, rest, "no hot look under the pointer")
        # Held down: the pressed look; dragged out and released: back to rest, no menu.
        self.s.xdotool("mousedown", "1")
        time.sleep(0.6)
        pressed = self.region(Screenshot(self.s.screenshot("pressed"), left, top), CALCULATOR)
        self.assertNotEqual(pressed, hot, "no pressed look")
        self.s.move(self.main, 200, 116)
        time.sleep(0.2)
        self.s.xdotool("mouseup", "1")
        time.sleep(1.0)
        self.assertFalse(self.s.windows("#32768", pid=self.s.app_pid), "a release outside opened the menu")
        after = self.region(Screenshot(self.s.screenshot("after"), left, top), CALCULATOR)
        self.assertEqual(after, rest, "the look did not fade back to rest")

    def test_dragging_the_switch_off_silences_notices(self):
        left, top = self.main["client"][0], self.main["client"][1]
        self.s.xdotool("mousemove", "--sync", str(left + 347 + 7), str(top + 176 + 7))
        self.s.xdotool("mousedown", "1")
        for x in range(10, 34, 4):
            time.sleep(0.05)
            self.s.xdotool("mousemove", "--sync", str(left + 347 + x), str(top + 176 + 7))
        self.s.xdotool("mouseup", "1")
        time.sleep(0.5)
        self.click("计算器")
        self.choose(0)
        self.wait_log(1)
        self.no_notice()
        # Clicked back on: the notices follow it.
        self.s.click(self.main, *SLIDER)
        time.sleep(0.5)
        self.click("计算器")
        self.choose(0)
        self.assertEqual(self.notice(), "计算器 卸载完成！")

    def test_app_menu_is_drawn_by_the_skin(self):
        """The app menu opens at the pointer moved 30 left and 12 down, framed by the
        skin's menu section from its first frame on, the hovered item in the item
        section's hot colour with white text."""
        hot, frame = (0x00, 0xA9, 0xDA), (204, 204, 204)  # 14330112 (0xBBGGRR) and the border
        x, y = BUTTONS["计算器"]
        left, top = self.main["client"][:2]
        self.s.move(self.main, x, y)
        time.sleep(0.5)
        before = Screenshot(self.s.screenshot("before"), 0, 0)
        self.s.xdotool("click", "1")
        early = Screenshot(self.s.screenshot("early"), 0, 0)
        m = self.menu()
        ml, mt, mr, mb = m["rect"]
        self.assertEqual((ml, mt), (left + x - 30, top + y + 12))
        ring = [(px, py) for px in range(ml, mr) for py in (mt, mb - 1)] + \
               [(px, py) for py in range(mt, mb) for px in (ml, mr - 1)]
        # Right after the click: the skin's frame, or still what lay below, never the system's.
        strange = [(p, early.pixel(*p)) for p in ring if early.pixel(*p) not in (frame, before.pixel(*p))]
        self.assertEqual(strange, [], "a frame of another look showed")
        self.s.xdotool("mousemove", "--sync", str(ml + 12), str(mt + (mb - mt) // 4))
        time.sleep(0.6)
        shot = Screenshot(self.s.screenshot("hover"), 0, 0)
        self.assertEqual([p for p in ring if shot.pixel(*p) != frame], [])
        item = [(px, py) for px in range(ml + 3, mr - 3) for py in range(mt + 3, mt + (mb - mt) // 2 - 1)]
        colours = [shot.pixel(*p) for p in item]
        self.assertEqual(shot.pixel(ml + 5, mt + 6), hot)
        self.assertGreater(colours.count(hot), len(item) // 2)
        # Smoothed text: its strokes come out white, or nearly where they are thin.
        self.assertGreater(sum(min(c) >= 0xE0 for c in colours), 8, "no white text on the hot item")
        self.s.key("Escape")
        self.s.wait_gone("#32768", timeout=10)
        self.end()

    def test_uninstall_one_app_with_notice(self):
        self.click("计算器")
        self.choose(0)
        self.assertEqual(self.notice(), "计算器 卸载完成！")
        log = self.s.log()
        self.assertEqual(len(log), 1)
        self.assertEqual(log[0]["cmdline"], UNINSTALL_CALC)
        # Its error output comes through a pipe (STARTF_USESTDHANDLES).
        self.assertEqual(log[0]["startup"], {"dwFlags": 0x141, "wShowWindow": 0})
        self.assertFalse(log[0]["console"]["visible"])
        self.assertFalse(self.s.store().package("Microsoft.WindowsCalculator").current_user)
        # Not installed any more: the command finds nothing and still succeeds.
        self.click("计算器")
        self.choose(0)
        self.assertEqual(self.notice(), "计算器 卸载完成！")
        self.end()

    def test_failed_uninstall_is_not_reported_as_done(self):
        # "*people*" also matches a part of Windows that cannot be removed.
        self.click("人脉")
        self.choose(0)
        self.assertEqual(self.notice(), "人脉 卸载失败！\n这是 Windows 的一部分，不能只为当前用户卸载（0x80070032）")

    def test_switch_off_silences_notices(self):
        self.s.click(self.main, *SLIDER)
        time.sleep(0.5)
        self.click("计算器")
        self.choose(0)
        self.wait_log(1)
        self.no_notice()
        self.assertFalse(self.s.store().package("Microsoft.WindowsCalculator").current_user)
        self.click("计算器")
        self.choose(1)
        self.wait_log(4)
        self.no_notice()

    def test_install_one_app_runs_its_script_between_policy_changes(self):
        self.s.write_store(packages=[p if p.name != "Microsoft.WindowsCalculator" else
                                     psstore.Package(p.full_name, p.install_location, current_user=False)
                                     for p in psstore.default_packages()])
        self.click("计算器")
        self.choose(1)
        self.assertEqual(self.notice(), "计算器 安装完成！")
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual(log[0]["cmdline"], "powershell.exe set-executionpolicy Bypass -Confirm:$false")
        self.assertEqual(log[2]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        script = log[1]["scripts"][0]
        self.assertEqual(script["status"], "read")
        self.assertIn(" ", script["path"], "the temporary path has a blank in this test")
        expected = (ROOT / "resources" / "scripts" / "WINDOWSCALCULATOR.ps1").read_bytes()
        self.assertEqual(base64.b64decode(script["bytes_b64"]), expected)
        self.assertEqual(log[1]["exit_code"], 0)
        state = self.s.store()
        self.assertTrue(state.package("Microsoft.WindowsCalculator").current_user)
        self.assertEqual(state.policy, "Restricted")
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())

    def test_failed_install_of_one_app_is_reported_and_the_policy_restricted(self):
        # The policy was not Restricted before; after the run it is.
        packages = psstore.default_packages()
        for p in packages:
            if p.name == "Microsoft.WindowsCalculator":
                p.current_user, p.broken = False, True
        self.s.write_store(policy="Unrestricted", packages=packages)
        self.click("计算器")
        self.choose(1)
        self.assertEqual(self.notice(), "计算器 安装失败！\n应用注册失败（0x80073CF6）")
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertNotEqual(log[1]["exit_code"], 0)
        self.assertEqual(log[2]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.assertEqual(self.s.store().policy, "Restricted")
        self.assertFalse(self.s.store().package("Microsoft.WindowsCalculator").current_user)
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())

    def test_failed_bulk_install_is_reported_and_the_policy_restricted(self):
        packages = none_installed()
        for p in packages:
            p.broken = p.name == "Microsoft.BingNews"
        self.s.write_store(policy="RemoteSigned", packages=packages)
        self.click("安装全部")
        self.assertEqual(self.notice(), "安装结束，部分应用未能安装！\n新闻：应用注册失败（0x80073CF6）")
        self.no_notice(2)
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertNotEqual(log[1]["exit_code"], 0)
        state = self.s.store()
        self.assertEqual(state.policy, "Restricted")
        # Every other package was registered all the same.
        self.assertEqual(sorted(state.current_user()),
                         sorted(p.name for p in packages if p.name != "Microsoft.BingNews"))
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())

    def test_menu_acts_on_the_last_clicked_button(self):
        self.click("相机")
        self.menu()
        self.s.key("Escape")
        self.s.wait_gone("#32768", timeout=10)
        self.click("计算器")
        self.choose(0)
        self.assertEqual(self.notice(), "计算器 卸载完成！")
        self.assertEqual([e["cmdline"] for e in self.s.log()], [UNINSTALL_CALC])
        self.end()

    def test_right_click_opens_nothing(self):
        self.click("计算器", button=3)
        time.sleep(1)
        self.assertFalse(self.s.windows("#32768"))

    def test_bulk_uninstall_keeps_the_window_responsive(self):
        self.s.write_store(delays={"remove": 4000})
        self.uninstall_all()
        # The busy pointer shows over the window while the command runs. (Without
        # an X cursor theme Wine shows it as an unnamed image; the arrow is named.)
        self.s.move(self.main, 200, 140)
        time.sleep(1)
        self.assertNotEqual(self.s.cursor(), "arrow")
        # While PowerShell works, the About dialog still opens and closes.
        self.click("关于")
        about = self.s.wait_window("TForm2", "关于", timeout=3)
        self.s.press(about, "确定")
        self.s.wait_gone("TForm2", timeout=10)
        self.wait_enabled()
        # Only what Windows keeps (frameworks and parts of Windows) is left.
        self.assertEqual(self.notice(timeout=60), "全部卸载完成！\nWindows 保留了 13 个无法卸载的系统组件。")
        self.s.move(self.main, 200, 140)
        time.sleep(0.5)
        self.assertEqual(self.s.cursor(), "arrow")
        self.no_notice(2)
        log = self.s.log()
        self.assertEqual([e["cmdline"] for e in log], ["powershell.exe Get-AppxPackage | Remove-AppxPackage"])
        self.end()

    def test_single_uninstall_keeps_the_window_alive_and_holds_a_close_until_its_notice(self):
        self.s.write_store(delays={"remove": 8000})
        self.click("计算器")
        self.choose(0)
        time.sleep(0.5)
        # PowerShell is at work: the window answers, shows the hourglass, ignores clicks...
        for _ in range(3):
            self.assertTrue(self.s.probe("ping", "--hwnd", str(self.main["hwnd"]), "--timeout", "200")["responsive"])
        self.s.move(self.main, 200, 140)
        time.sleep(0.5)
        self.assertNotEqual(self.s.cursor(), "arrow")
        self.click("相机")
        time.sleep(0.5)
        self.assertFalse(self.s.windows("#32768", pid=self.s.app_pid), "a click during the run opened the menu")
        # ...and a close by the title button waits for the run and its notice.
        x, y = close_button(self.main)
        self.s.xdotool("mousemove", "--sync", str(x), str(y))
        time.sleep(0.15)
        self.s.xdotool("click", "1")
        time.sleep(0.5)
        self.assertTrue(self.s.windows("TForm1", pid=self.s.app_pid), "the window closed in the middle of the run")
        self.assertFalse(self.s.log(), "the run has not ended yet")
        box = self.s.wait_message_box("提示", timeout=30)
        self.assertIn("计算器 卸载完成！", self.s.texts(box))
        self.assertTrue(self.s.windows("TForm1", pid=self.s.app_pid), "the window closed before the notice")
        self.s.press(box, "确定" if "确定" in self.s.texts(box) else "OK")
        self.assertEqual(self.s.app_exit(30), 0)
        self.assertEqual([e["cmdline"] for e in self.s.log()], [UNINSTALL_CALC])

    def test_single_install_repaints_moves_and_closes_from_outside_only_after_its_restricted_step(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 6000})
        self.click("计算器")
        self.choose(1)
        self.wait_log(1)  # Bypass is done; the script runs now
        self.assertTrue(self.s.probe("repaint", "--hwnd", str(self.main["hwnd"]), "--timeout", "500")["painted"])
        left, top, right, bottom = self.main["client"]
        x, y = left + 150, top - TITLE // 2
        for step in (("mousemove", "--sync", str(x), str(y)), ("mousedown", "1"),
                     ("mousemove", "--sync", str(x + 40), str(y + 30)), ("mousemove", "--sync", str(x + 60), str(y + 40)),
                     ("mouseup", "1")):
            self.s.xdotool(*step)
            time.sleep(0.15)
        time.sleep(0.3)
        self.assertEqual(self.s.refresh(self.main)["client"], [left + 60, top + 40, right + 60, bottom + 40])
        self.s.probe("close", "--hwnd", str(self.main["hwnd"]))
        time.sleep(0.5)
        self.assertTrue(self.s.windows("TForm1", pid=self.s.app_pid), "the window closed in the middle of the run")
        box = self.s.wait_message_box("提示", timeout=30)
        self.assertIn("计算器 安装完成！", self.s.texts(box))
        self.assertEqual([e["kind"] for e in self.s.log()], ["set-policy", "script", "set-policy"])
        self.assertEqual(self.s.log()[-1]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.s.press(box, "确定" if "确定" in self.s.texts(box) else "OK")
        self.assertEqual(self.s.app_exit(30), 0)
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())

    def test_single_install_waits_for_a_bulk_install_with_the_window_alive(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 5000})
        self.click("安装全部")
        self.wait_log(1)
        self.click("计算器")
        self.choose(1)
        # Its turn comes after the bulk run; the window answers meanwhile.
        time.sleep(0.5)
        self.assertTrue(self.s.probe("repaint", "--hwnd", str(self.main["hwnd"]), "--timeout", "500")["painted"])
        # The bulk run's notice comes first, then the single one's.
        box = self.s.wait_message_box("提示", timeout=30)
        self.assertIn("全部安装完成！", self.s.texts(box))
        self.s.press(box, "确定" if "确定" in self.s.texts(box) else "OK")
        self.s.wait_gone("#32770", "提示", timeout=10)
        self.assertEqual(self.notice(), "计算器 安装完成！")
        self.assertEqual([e["kind"] for e in self.s.log()], ["set-policy", "script", "set-policy"] * 2)
        self.end()

    def test_bulk_uninstall_of_removable_apps_reports_done(self):
        packages = [p for p in psstore.default_packages() if not p.unremovable]
        self.s.write_store(packages=packages)
        self.uninstall_all()
        self.assertEqual(self.notice(), "全部卸载完成！")
        self.no_notice(2)
        self.assertEqual(self.s.store().current_user(), [])

    def test_bulk_install_registers_every_app_once(self):
        packages = none_installed()
        self.s.write_store(packages=packages)
        self.click("安装全部")
        self.assertEqual(self.notice(), "全部安装完成！")
        self.no_notice(2)
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual(len(self.s.store().current_user()), len(packages))

    def test_overlapping_installs_run_one_after_the_other(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"after_read": 3000})
        self.click("安装全部")
        time.sleep(1)  # the bulk install now holds its script
        self.click("计算器")
        self.choose(1)
        # Both notices come; one may pop up over the other at the same place,
        # so a click meant for one lands on the other. Every box is read
        # before any is pressed, and only the topmost (listed first) is
        # pressed, once no new box has come for a moment.
        seen, notices = set(), []
        deadline = time.time() + 90
        while len(notices) < 2 and time.time() < deadline:
            boxes = self.s.windows("#32770", pid=self.s.app_pid)
            new = [box for box in boxes if box["hwnd"] not in seen]
            for box in new:
                seen.add(box["hwnd"])
                notices.append([t for t in self.s.texts(box) if t not in ("确定", "OK")][-1])
            if boxes and not new:
                texts = self.s.texts(boxes[0])
                self.s.press(boxes[0], "确定" if "确定" in texts else "OK")
            time.sleep(0.5)
        self.assertEqual(sorted(notices), sorted(["全部安装完成！", "计算器 安装完成！"]))
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"] * 2)
        scripts = ROOT / "resources" / "scripts"
        self.assertEqual(base64.b64decode(log[1]["scripts"][0]["bytes_b64"]),
                         (scripts / "INSTALLALLAPP.ps1").read_bytes())
        self.assertEqual(base64.b64decode(log[4]["scripts"][0]["bytes_b64"]),
                         (scripts / "WINDOWSCALCULATOR.ps1").read_bytes())
        self.assertEqual([e["exit_code"] for e in log], [0] * 6)
        self.assertEqual(self.s.store().policy, "Restricted")

    def test_closing_during_a_bulk_operation(self):
        self.s.write_store(delays={"remove": 3000})
        self.uninstall_all()
        time.sleep(0.5)
        self.s.probe("close", "--hwnd", str(self.main["hwnd"]))
        self.s.wait_gone("TForm1", timeout=20)
        time.sleep(4)  # the command ends after the window
        self.assertFalse(self.s.windows(pid=self.s.app_pid), "something of the program is still shown")
        self.assertFalse(self.s.windows("#32770"), "a notice or an error box appeared")
        self.assertEqual(len(self.s.log()), 1)

    def app_running(self) -> bool:
        return app_running(self.s)

    def test_closing_during_a_bulk_install_restores_the_policy(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 6000})
        self.assertTrue(self.app_running())
        self.click("安装全部")
        self.wait_log(1)  # Bypass is done; the script runs now
        time.sleep(1)
        self.s.probe("close", "--hwnd", str(self.main["hwnd"]))
        self.s.wait_gone("TForm1", timeout=20)
        # The window goes at once, while the run goes on to its end.
        self.assertFalse(self.s.windows(pid=self.s.app_pid), "something of the program is still shown")
        log = self.wait_log(3, timeout=40)
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual(log[-1]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.assertEqual(self.s.store().policy, "Restricted")
        deadline = time.time() + 20
        while self.app_running() and time.time() < deadline:
            time.sleep(0.2)
        self.assertEqual(self.s.app_exit(1), 0)
        self.assertEqual(len(self.s.log()), 3)
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists(), "the script was left in the temporary folder")
        self.assertFalse(self.s.windows("#32770"), "a notice or an error box appeared")

    def log_off_during_a_script(self, start_run) -> None:
        """Starts a script run, and once its Bypass step is done logs off as the
        system does: the session's end must restore the policy and remove the
        script before the process is ended."""
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 20000})
        start_run()
        self.wait_log(1)  # Bypass is done; the script runs now
        time.sleep(0.5)
        self.assertTrue((self.s.temp_dir / "ps.ps1").exists())
        ended = self.s.probe("endsession", "--hwnd", str(self.main["hwnd"]))
        self.assertTrue(ended["agreed"] and ended["told"], ended)
        self.assertLess(ended["ms"], 5000, "the program held up the end of the session")
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "set-policy"])
        self.assertEqual(log[-1]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.assertEqual(self.s.store().policy, "Restricted")
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists(), "the script was left in the temporary folder")

    def test_log_off_during_a_bulk_install(self):
        self.log_off_during_a_script(lambda: self.click("安装全部"))

    def test_log_off_during_a_single_install(self):
        def install():
            self.click("计算器")
            self.choose(1)
        self.log_off_during_a_script(install)

    def test_a_run_killed_after_bypass_is_undone_at_the_next_start(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 20000})
        self.click("安装全部")
        self.wait_log(1)
        time.sleep(0.5)
        self.s.wine("taskkill", "/F", "/PID", str(self.s.app_pid))
        self.s.wait_gone("TForm1", timeout=20)
        self.assertEqual(self.s.store().policy, "Bypass")
        self.assertTrue((self.s.temp_dir / "ps.ps1").exists())
        self.s.start_app()
        self.main = self.s.wait_main_window()
        deadline = time.time() + 30
        while (self.s.temp_dir / "ps.ps1").exists() and time.time() < deadline:
            time.sleep(0.2)
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists(), "the script left behind was not removed")
        log = [e for e in self.s.log() if e["kind"] == "set-policy"]
        self.assertEqual([e["cmdline"] for e in log],
                         ["powershell.exe set-executionpolicy Bypass -Confirm:$false",
                          "powershell.exe set-ExecutionPolicy RESTRICTED"])
        self.assertEqual(self.s.store().policy, "Restricted")
        self.end()

    def test_a_second_instance_leaves_the_first_ones_run_alone(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 6000})
        first = self.main
        self.click("安装全部")
        self.wait_log(1)
        self.s.start_app()
        second = self.s.wait_main_window()
        self.assertNotEqual(second["hwnd"], first["hwnd"])
        log = self.wait_log(3, timeout=40)
        time.sleep(1)
        self.assertEqual([e["kind"] for e in self.s.log()], ["set-policy", "script", "set-policy"],
                         "the second instance touched the first one's run")
        self.assertEqual(log[1]["exit_code"], 0, log[1])
        self.s.probe("close", "--hwnd", str(first["hwnd"]))
        self.main = second
        self.end()

    def test_closing_with_a_second_bulk_install_waiting_starts_no_more(self):
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 5000})
        self.click("安装全部")
        self.wait_log(1)
        self.s.move(self.main, 200, 116)  # a move to where the pointer already is never ends
        self.click("安装全部")  # waits for the first to finish
        time.sleep(1)
        self.s.probe("close", "--hwnd", str(self.main["hwnd"]))
        self.s.wait_gone("TForm1", timeout=20)
        self.assertEqual(self.s.app_exit(40), 0)
        time.sleep(2)
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual(log[-1]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.assertEqual(self.s.store().policy, "Restricted")
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())
        self.assertFalse(self.s.windows("#32770"), "a notice or an error box appeared")

    def test_closing_during_a_long_bulk_install_restores_the_policy_itself(self):
        # The script runs longer than the program waits for it once its window has gone.
        packages = none_installed()
        self.s.write_store(packages=packages, delays={"script": 60000})
        self.click("安装全部")
        self.wait_log(1)
        time.sleep(1)
        closed = time.time() * 1000
        self.s.probe("close", "--hwnd", str(self.main["hwnd"]))
        self.s.wait_gone("TForm1", timeout=20)
        log = self.wait_log(2, timeout=50)
        self.assertEqual(log[-1]["cmdline"], "powershell.exe set-ExecutionPolicy RESTRICTED")
        self.assertGreater(log[-1]["t_start_ms"], closed)
        self.assertEqual(self.s.store().policy, "Restricted")
        deadline = time.time() + 20
        while self.app_running() and time.time() < deadline:
            time.sleep(0.2)
        self.assertFalse(self.app_running(), "the program did not end")
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists(), "the script was left in the temporary folder")
        # The script itself was left to finish; nothing set the policy back to Bypass.
        log = self.wait_log(3, timeout=40)
        self.assertEqual([e["kind"] for e in log], ["set-policy", "set-policy", "script"])
        self.assertEqual(log[2]["scripts"][0]["status"], "read")
        self.assertEqual(self.s.store().policy, "Restricted")

    def test_about_dialog(self):
        self.click("关于")
        about = self.s.wait_window("TForm2", "关于", timeout=10)
        self.assertIn("确定", self.s.texts(about))
        self.s.screenshot("about")
        # "检查更新" opens the maker's page and leaves the dialog open.
        self.s.click(about, 20 + 61 // 2, 86 + 11)
        self.assertEqual(read_opened(self.opened), ["https://www.declutra.com/3505.html"])
        time.sleep(1)
        about = self.s.refresh(about)
        self.assertTrue(about["visible"])
        self.assertEqual([w["hwnd"] for w in self.s.windows("TForm2", pid=self.s.app_pid)], [about["hwnd"]])
        self.s.press(about, "确定")
        self.s.wait_gone("TForm2", timeout=10)
        self.wait_enabled()
        self.end()


class UpdateDialog(unittest.TestCase):
    def setUp(self):
        harness.require_private_network()
        self.server = harness.update_server()
        self.server.set_descriptor("[MAIN]\r\nVER=1.1\r\nURL=http://www.declutra.com/download\r\n")
        self.s = Session(self.id().rsplit(".", 1)[-1])
        self.opened = fake_browser(self.s)

    def tearDown(self):
        self.s.close()
        self.server.stop()

    def test_newer_version_shows_dialog_and_program_ends(self):
        self.s.start_app()
        dlg = self.s.wait_window("TfrmVer", timeout=60)
        self.assertIn("立即更新", self.s.texts(dlg))
        self.s.screenshot("update")
        self.s.probe("close", "--hwnd", str(dlg["hwnd"]))
        self.s.wait_gone("TfrmVer", timeout=10)
        self.s.wait_gone("TForm1", timeout=20)
        self.assertFalse(self.s.windows(pid=self.s.app_pid))
        self.assertEqual(self.s.app_exit(), 0)

    def test_update_now_opens_the_download_page_and_program_ends(self):
        self.s.start_app()
        dlg = self.s.wait_window("TfrmVer", timeout=60)
        self.assertTrue(app_running(self.s))
        self.s.press(dlg, "立即更新")
        self.assertEqual(read_opened(self.opened), ["http://www.declutra.com/download"])
        self.s.wait_gone("TfrmVer", timeout=10)
        self.s.wait_gone("TForm1", timeout=20)
        self.assertFalse(self.s.windows(pid=self.s.app_pid))
        self.assertEqual(self.s.app_exit(), 0)


if __name__ == "__main__":
    unittest.main()
