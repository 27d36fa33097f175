"""The update check end to end: the real connectivity test and download calls
against a loopback server, inside the private network of netns-run.sh."""
from __future__ import annotations

import json
import unittest

import harness
import httpserver
from harness import Session, winpath

DESCRIPTOR = "[MAIN]\r\nVER={ver}\r\nURL=http://www.declutra.com/download\r\nDetail=a b&c\r\n"


class UpdateCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.require_private_network()
        cls.s = Session("update", with_app=False)
        cls.bin = cls.s.build / "bin"
        if not (cls.bin / "update_check_v1.exe").exists():
            cls.s.close()
            raise unittest.SkipTest("update_check_v1.exe is not built")
        cls.server = harness.update_server()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.s.close()

    def check(self, version: int = 1) -> dict:
        out = self.s.work / "check.json"
        out.unlink(missing_ok=True)
        exe = winpath(self.bin / f"update_check_v{version}.exe")
        temp = winpath(self.s.temp_dir)
        report = self.s.launch(f'"{exe}" "{winpath(out)}"', flags=0, show=1, creation=0,
                               env={"TEMP": temp, "TMP": temp}, timeout=120)
        self.assertEqual(report.get("exit_code"), 0, report)
        result = json.loads(out.read_text(encoding="utf-8"))
        self.assertFalse(result["descriptor_left"], "_Update.INI left in the temporary directory")
        self.assertFalse((self.s.temp_dir / "_Update.INI").exists())
        return result

    def serve(self, ver: str | None) -> None:
        harness.set_hosts()
        if ver is None:
            self.server.set_descriptor("[MAIN]\r\nURL=http://www.declutra.com/download\r\n")
        else:
            self.server.set_descriptor(DESCRIPTOR.format(ver=ver))

    def test_versions_compare_as_texts(self):
        cases = [("1.0", False), ("1.1", True), ("1.0.1", True), ("x1.0", True), ("0.9", False)]
        for ver, need in cases:
            with self.subTest(ver=ver):
                self.serve(ver)
                r = self.check()
                self.assertTrue(r["has_net"])
                self.assertEqual(r["l_ver"], "1.0")
                self.assertEqual(r["n_ver"], ver)
                self.assertEqual(r["need_update"], need)
                self.assertEqual(r["d_url"], "http://www.declutra.com/download")
                self.assertEqual(r["detail"], ["a", "b", "c"])

    def test_ten_sorts_before_nine(self):
        self.serve("10.0")
        r = self.check(version=9)
        self.assertEqual(r["l_ver"], "9.0")
        self.assertEqual(r["n_ver"], "10.0")
        self.assertFalse(r["need_update"])

    def test_descriptor_without_version_means_no_update(self):
        self.serve(None)
        r = self.check()
        self.assertTrue(r["has_net"])
        self.assertEqual(r["n_ver"], "")
        self.assertFalse(r["need_update"])

    def test_download_failure_means_no_update(self):
        harness.set_hosts()
        self.server.set_route(httpserver.DESCRIPTOR_PATH, status=404)
        r = self.check()
        self.assertTrue(r["has_net"])
        self.assertEqual(r["n_ver"], "")
        self.assertFalse(r["need_update"])

    def test_no_network_means_no_update_and_no_download(self):
        self.serve("9.9")
        harness.set_hosts(())  # nothing resolves
        asked = len(self.server.requests)
        r = self.check()
        self.assertFalse(r["has_net"])
        self.assertFalse(r["need_update"])
        self.assertEqual(len(self.server.requests), asked)

    def test_stale_descriptor_is_not_reused(self):
        self.serve("1.1")
        self.assertTrue(self.check()["need_update"])
        self.serve("1.0")
        self.assertFalse(self.check()["need_update"])


if __name__ == "__main__":
    unittest.main()
