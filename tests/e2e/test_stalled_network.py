"""The update check on networks that hold on to it: the window stays alive, the
check gives up within its bound and counts as "no update", and nothing a user
does meanwhile acts before the check has decided."""
from __future__ import annotations

import os
import socket
import time
import unittest

import harness
import httpserver
from harness import Session
from test_app import BUTTONS, end_by_close_button

# The window waits at most this long for the whole check; a little more is
# allowed for the last poll and Wine's own pace.
BOUND = 5.0
DESCRIPTOR = "[MAIN]\r\nVER=1.1\r\nURL=http://www.declutra.com/download\r\n"


class SynDropServer:
    """A listener whose queue is full, so that the kernel drops every further
    connection attempt: a connect to it waits for the system's time-out, as
    behind a firewall that swallows the packets."""

    def __init__(self, host: str, port: int = 80):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((host, port))
        self.listener.listen(0)
        self.fill = []
        for _ in range(3):
            c = socket.socket()
            c.setblocking(False)
            try:
                c.connect((host, port))
            except BlockingIOError:
                pass
            self.fill.append(c)

    def stop(self):
        for c in self.fill:
            c.close()
        self.listener.close()


class StalledUpdateCheck(unittest.TestCase):
    def setUp(self):
        harness.require_private_network()
        self.server = harness.update_server()
        self.extra: list[SynDropServer] = []
        self.s = Session(self.id().rsplit(".", 1)[-1])

    def tearDown(self):
        self.s.close()
        self.server.stop()
        for e in self.extra:
            e.stop()

    def marks(self) -> dict[str, float]:
        """The program's start-up marks, in seconds (Wine's performance counter runs at 10 MHz)."""
        try:
            lines = self.s.app_trace.read_text().splitlines()
        except FileNotFoundError:
            return {}
        return {name: int(count) / 1e7 for name, count in (line.rsplit(" ", 1) for line in lines if line.strip())}

    def watch_check(self, click_during: bool = False) -> dict:
        """Starts the program and polls its window until the check has decided:
        the window is on screen meanwhile and answers each poll within 200 ms.
        Returns the main window; fails when the check outlasts its bound."""
        self.s.start_app()
        main = self.s.wait_window("TForm1", "Clearbay", timeout=60)
        start = time.monotonic()
        clicked = polls = 0
        while "update checked" not in self.marks():
            ping = self.s.probe("ping", "--hwnd", str(main["hwnd"]), "--timeout", "200")
            self.assertTrue(ping["responsive"], f"the window did not answer within 200 ms at {time.monotonic() - start:.1f} s")
            polls += 1
            if click_during and not clicked and time.monotonic() - start > 1.0:
                x, y = BUTTONS["计算器"]
                self.s.click(main, x, y)
                clicked = True
            # Far below the minutes the system's own time-outs take.
            self.assertLess(time.monotonic() - start, BOUND + 10, "the update check does not end")
            time.sleep(0.1)
        marks = self.marks()
        self.assertLessEqual(marks["update checked"] - marks["update check"], BOUND)
        self.assertGreater(polls, 1, "the window was not on screen while the check ran")
        self.assertTrue(not click_during or clicked, "the check ended before the click could be made")
        return main

    def assert_idle_and_working(self, main: dict):
        """No update was found: the window stays and its buttons act again."""
        self.assertFalse(self.s.windows("TfrmVer", pid=self.s.app_pid))
        x, y = BUTTONS["计算器"]
        self.s.click(main, x, y)
        self.s.wait_window("#32768", timeout=10)
        self.s.xdotool("key", "Escape")
        self.s.wait_gone("#32768", timeout=10)
        end_by_close_button(self, self.s, main)

    def test_connectivity_host_that_never_answers(self):
        # Accepted but never answered, and (what stalls a bare connect too) dropped.
        self.server.set_route("/", hang=True)
        self.server.set_descriptor(DESCRIPTOR)
        self.extra.append(SynDropServer("127.0.0.2"))
        with open(os.environ["CB_E2E_HOSTS"], "w") as f:
            f.write(httpserver.hosts_text((httpserver.UPDATE_HOST, httpserver.WEB_HOST)) +
                    f"127.0.0.2 {httpserver.CONNECT_TEST_HOST}\n")
        main = self.watch_check()
        self.assert_idle_and_working(main)

    def test_descriptor_host_that_never_answers_and_a_click_meanwhile(self):
        self.server.set_descriptor(DESCRIPTOR, hang=True)
        main = self.watch_check(click_during=True)
        # The click made during the check did nothing, then or later.
        time.sleep(1.0)
        self.assertFalse(self.s.windows("#32768", pid=self.s.app_pid), "a click during the check opened the menu")
        self.assertTrue(any(r.path == httpserver.DESCRIPTOR_PATH for r in self.server.requests))
        self.assert_idle_and_working(main)

    def test_descriptor_one_byte_per_second(self):
        self.server.set_descriptor(DESCRIPTOR, drip=1.0)
        main = self.watch_check()
        self.assert_idle_and_working(main)

    def test_slow_answer_within_the_bound_still_finds_the_update(self):
        self.server.set_descriptor(DESCRIPTOR, delay=2.0)
        self.s.start_app()
        dlg = self.s.wait_window("TfrmVer", timeout=60)
        self.assertIn("立即更新", self.s.texts(dlg))
        self.s.probe("close", "--hwnd", str(dlg["hwnd"]))
        self.s.wait_gone("TForm1", timeout=20)
        self.assertEqual(self.s.app_exit(), 0)


if __name__ == "__main__":
    unittest.main()
