"""The harness's own tools under Wine: the window probe with real pointer
input, and the private network that the update check will use."""
from __future__ import annotations

import json
import time
import unittest

import httpserver
from harness import Session, require_private_network, set_hosts, update_server, winpath


class ProbeUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = Session("probe", with_app=False)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def test_message_box_is_found_read_and_answered_by_a_click(self):
        box_proc = self.s.popen("probe.exe", "msgbox", "--text", "全部卸载完成！", "--caption", "提示",
                                "--flags", str(0x24))
        box = self.s.wait_window("#32770", "提示")
        self.assertIn("全部卸载完成！", self.s.texts(box))
        self.assertEqual(self.s.child(box, text="Yes")["class"].lower(), "button")
        self.s.screenshot("message-box")
        self.s.press(box, "No")
        box_proc.wait(30)
        self.assertEqual(json.loads(box_proc.output())["answer"], 7)  # IDNO: the click landed on the button read by the probe
        self.s.wait_gone("#32770", "提示", timeout=10)

    def test_window_rectangles_texts_cursor_and_close(self):
        self.s.popen("notepad.exe")
        note = self.s.wait_window("Notepad")
        self.assertTrue(note["visible"])
        left, top, right, bottom = note["client"]
        self.assertGreater(right - left, 50)
        edit = self.s.child(note, cls="Edit")
        # The client rectangle lies inside the window rectangle, in the same (screen) coordinates.
        self.assertTrue(note["rect"][0] <= left < right <= note["rect"][2])
        self.assertTrue(note["rect"][1] <= top < bottom <= note["rect"][3])
        ex = (edit["rect"][0] + edit["rect"][2]) // 2 - left
        ey = (edit["rect"][1] + edit["rect"][3]) // 2 - top
        self.s.click(note, ex, ey)
        self.s.xdotool("type", "--delay", "30", "probe")
        time.sleep(0.5)
        edit = self.s.child(self.s.probe("list", "--class", "Notepad", "--gettext")[0], cls="Edit")
        self.assertEqual(edit["text"], "probe")
        self.s.move(note, ex, ey)
        time.sleep(0.3)
        self.assertEqual(self.s.cursor(), "ibeam")
        self.s.move(note, 5, -10)  # over the menu bar
        time.sleep(0.3)
        self.assertEqual(self.s.cursor(), "arrow")
        self.assertEqual(self.s.probe("ping", "--hwnd", str(note["hwnd"]))["responsive"], True)
        self.assertEqual(self.s.wine("probe.exe", "close", "--hwnd", str(note["hwnd"])).returncode, 0)
        # Notepad asks whether to save the change: answer through the probe and a click.
        box = self.s.wait_window("#32770", timeout=10)
        self.s.press(box, [t for t in self.s.texts(box) if t.replace("&", "") in ("Don't Save", "No")][0]
                     .replace("&", ""))
        self.s.wait_gone("Notepad", timeout=10)


class NetworkUnderWine(unittest.TestCase):
    """The update check's calls (connectivity test and download) reach the loopback server."""

    @classmethod
    def setUpClass(cls):
        require_private_network()
        cls.s = Session("network", with_app=False)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def tearDown(self):
        set_hosts()

    def netcheck(self, *args: str) -> dict:
        done = self.s.wine("netcheck.exe", *args, timeout=90)
        return json.loads(done.stdout.decode().strip().splitlines()[-1])

    def test_descriptor_is_downloaded_through_the_host_names(self):
        target = self.s.work / "_Update.INI"
        target.unlink(missing_ok=True)
        descriptor = "[MAIN]\r\nVER=1.1\r\nURL=http://www.declutra.com/download\r\nDetail=a&b\r\n"
        with update_server() as server:
            server.set_descriptor(descriptor)
            self.assertTrue(self.netcheck("check", f"http://{httpserver.CONNECT_TEST_HOST}/")["connected"])
            got = self.netcheck("get", f"http://{httpserver.UPDATE_HOST}{httpserver.DESCRIPTOR_PATH}", winpath(target))
            self.assertTrue(got["ok"], got)
            self.assertEqual(target.read_bytes(), descriptor.encode())
            paths = [(r.host, r.path) for r in server.requests if r.method == "GET"]
            self.assertIn((httpserver.UPDATE_HOST, httpserver.DESCRIPTOR_PATH), paths)

    def test_missing_descriptor_and_slow_answers(self):
        target = self.s.work / "missing.INI"
        url = f"http://{httpserver.UPDATE_HOST}{httpserver.DESCRIPTOR_PATH}"
        with update_server() as server:
            got = self.netcheck("get", url, winpath(target))
            # Under Wine the download of a 404 page succeeds and yields the error page, which
            # holds no descriptor; Windows fails it. Either way no version is read.
            if got["ok"]:
                self.assertEqual(target.read_bytes(), b"not found")
            else:
                self.assertFalse(target.exists())
            server.set_descriptor("[MAIN]\r\nVER=0.9\r\n", delay=1.5)
            got = self.netcheck("get", url, winpath(target))
            self.assertTrue(got["ok"])
            self.assertIn("VER=0.9", target.read_text())

    def test_no_network(self):
        # Nothing listening.
        self.assertFalse(self.netcheck("check", f"http://{httpserver.CONNECT_TEST_HOST}/")["connected"])
        # Names that do not resolve, though a server listens.
        with update_server():
            set_hosts(())
            self.assertFalse(self.netcheck("check", f"http://{httpserver.CONNECT_TEST_HOST}/")["connected"])

    def test_a_hanging_server_holds_the_download_until_it_stops(self):
        target = self.s.work / "hang.INI"
        url = f"http://{httpserver.UPDATE_HOST}{httpserver.DESCRIPTOR_PATH}"
        server = update_server()
        try:
            server.set_descriptor("", hang=True)
            proc = self.s.popen("netcheck.exe", "get", url, winpath(target))
            time.sleep(3)
            self.assertIsNone(proc.poll(), "the download ended although the server never answered")
        finally:
            server.stop()
        proc.wait(90)
        # Wine reports a connection dropped without an answer as a successful, empty download.
        got = json.loads(proc.output().decode().strip().splitlines()[-1])
        if got["ok"]:
            self.assertEqual(target.read_bytes() if target.exists() else b"", b"")


if __name__ == "__main__":
    unittest.main()
