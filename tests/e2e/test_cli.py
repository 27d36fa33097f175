"""The command-line mode for administrators end to end: switches, exit codes,
the log, quiet runs, the listing, removal for every user, and runs that must
not overlap a window's."""
from __future__ import annotations

import base64
import csv
import io
import json
import time
import unittest

import harness
import psstore
from harness import ROOT, Session, winpath
from test_app import AppWindow, end_by_close_button, none_installed

MENU_UNINSTALL = "PowerShell.exe Get-AppxPackage *{}* | Remove-AppxPackage"
UNINSTALL_ALL = "powershell.exe Get-AppxPackage | Remove-AppxPackage"
SCRIPTS = ROOT / "resources" / "scripts"


def log_lines(path) -> list[list[str]]:
    """The program's log: one run a line, tab-separated fields."""
    text = path.read_bytes().decode("utf-8")
    assert text.endswith("\r\n"), repr(text[-20:])
    return [line.split("\t") for line in text.split("\r\n")[:-1]]


class CliSession:
    """Runs the program with switches, as a deployment tool or a console would."""

    def __init__(self, test: unittest.TestCase, s: Session):
        self.t, self.s = test, s

    def run(self, *args: str, timeout: float = 120) -> tuple[int, str]:
        """From a console whose output is captured: exit code and the standard output."""
        done = self.s.wine("Clearbay.exe", *args, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8")

    def start(self, args: str) -> tuple[int, harness.WineProcess]:
        """As the desktop or a deployment tool starts it (no console, no standard handles), with the
        session's temporary directory; returns the Windows pid and the watching launcher."""
        temp = winpath(self.s.temp_dir)
        line = f'"{winpath(self.s.app_exe)}" {args}'
        launcher, _ = self.s._launcher_args(line, flags=0, show=1, creation=0, env={"TEMP": temp, "TMP": temp},
                                            cwd=self.s.app_dir)
        watch = self.s.popen(launcher[0], "--watch", "--detach", *launcher[1:])
        report = json.loads(watch.wait_for_output(b"}", timeout=60).decode("utf-8").splitlines()[0])
        self.t.assertTrue(report.get("started"), report)
        return int(report["pid"]), watch

    @staticmethod
    def exit_code(watch: harness.WineProcess, timeout: float = 120) -> int:
        watch.wait(timeout)
        return int(json.loads(watch.output().decode("utf-8").strip().splitlines()[-1])["exit_code"])


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.s = Session(self.id().rsplit(".", 1)[-1], temp_name="Temp Dir")
        self.cli = CliSession(self, self.s)
        self.logfile = self.s.work / "new folder" / "deploy log.txt"  # the first run makes the folder

    def tearDown(self):
        self.s.close()

    def test_bad_switches_and_unknown_keys_run_nothing(self):
        before = psstore.format_store()
        cases = [
            (["/uninstall:windowscalculator,nope,bingnews"], "未知的应用：nope"),
            (["/uninstall:windowscalculator;calc"], "未知的应用：windowscalculator;calc"),
            (["/install:bingnews", "/uninstall:bingnews"], "一次只能执行一项操作"),
            (["/install:bingnews", "/allusers"], "/allusers 只能与 /uninstall: 同用"),
            (["/uninstall:"], "缺少应用"),
            (["/uninstall:a,,b"], "应用列表中有空项"),
            (["/frob"], "未知的开关：/frob"),
            (["windowscalculator"], "未知的参数"),
            (["/quiet"], "未指定操作"),
            (["/list", "/log:"], "缺少日志文件名"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                logged = [] if args[-1] == "/log:" else [f"/log:{winpath(self.logfile)}"]
                code, out = self.cli.run(*args, *logged)
                self.assertEqual(code, 2, out)
                self.assertIn(message, out)
                self.assertIn("Clearbay.exe /?", out)
        self.assertEqual(self.s.log(queries=True), [], "a usage error ran PowerShell")
        self.assertEqual((self.s.app_dir / psstore.STORE_NAME).read_text(encoding="utf-8"),
                         before.replace("\r\n", "\n"))
        lines = log_lines(self.logfile)
        # Every case but the one whose log switch is broken itself is logged.
        self.assertEqual(len(lines), len(cases) - 1)
        self.assertEqual({line[4] for line in lines}, {"usage-error"})
        self.assertIn("未知的应用：nope", lines[0][7])

        code, out = self.cli.run("-?")
        self.assertEqual(code, 0)
        for text in ("/uninstall:", "/allusers", "Exit codes", "退出代码", "windowscalculator", "YourPhone"):
            self.assertIn(text, out)

    def test_apps_go_and_come_back_in_the_order_given_with_the_menus_command_lines(self):
        code, out = self.cli.run("-UNINSTALL:WindowsCalculator, 新闻,windowscalculator", "/Quiet",
                                 f"/LOG:{winpath(self.logfile)}")
        self.assertEqual(code, 0, out)
        log = self.s.log()
        # The catalogue's keys, not the text typed, reach the command lines; a repeat runs once.
        self.assertEqual([e["cmdline"] for e in log],
                         [MENU_UNINSTALL.format("windowscalculator"), MENU_UNINSTALL.format("bingnews")])
        current = self.s.store().current_user()
        self.assertNotIn("Microsoft.WindowsCalculator", current)
        self.assertNotIn("Microsoft.BingNews", current)
        lines = log_lines(self.logfile)
        self.assertEqual([line[1:7] for line in lines],
                         [["uninstall", "windowscalculator", "计算器", "ok", "0", ""],
                          ["uninstall", "bingnews", "新闻", "ok", "0", ""]])
        self.assertRegex(lines[0][0], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
        # Started from a console, the log's lines are shown there as well.
        self.assertEqual(out, "".join("\t".join(line) + "\r\n" for line in lines))

        pid, watch = self.cli.start(f'/install:计算器,bingnews /quiet "/log:{winpath(self.logfile)}"')
        self.assertEqual(self.cli.exit_code(watch), 0)
        log = self.s.log()[2:]
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"] * 2)
        self.assertEqual(base64.b64decode(log[1]["scripts"][0]["bytes_b64"]),
                         (SCRIPTS / "WINDOWSCALCULATOR.ps1").read_bytes())
        self.assertEqual(base64.b64decode(log[4]["scripts"][0]["bytes_b64"]), (SCRIPTS / "BINGNEWS.ps1").read_bytes())
        self.assertEqual({e["ppid"] for e in log}, {pid})
        self.assertEqual(self.s.store().policy, "Restricted")
        self.assertFalse((self.s.temp_dir / "ps.ps1").exists())
        current = self.s.store().current_user()
        self.assertIn("Microsoft.WindowsCalculator", current)
        self.assertIn("Microsoft.BingNews", current)
        self.assertEqual([line[1:5] for line in log_lines(self.logfile)[2:]],
                         [["install", "windowscalculator", "计算器", "ok"], ["install", "bingnews", "新闻", "ok"]])

    def test_a_failing_app_fails_the_run_and_the_rest_still_runs(self):
        packages = psstore.default_packages()
        for p in packages:
            if p.name == "Microsoft.WindowsCalculator":
                p.failure = "0x80073D02"
        self.s.write_store(packages=packages)
        code, out = self.cli.run("/uninstall:windowscalculator,bingnews", "/quiet", f"/log:{winpath(self.logfile)}")
        self.assertEqual(code, 1, out)
        lines = log_lines(self.logfile)
        self.assertEqual(lines[0][1:], ["uninstall", "windowscalculator", "计算器", "failed", "1", "0x80073D02",
                                        "应用正在运行，请关闭后重试"])
        self.assertEqual(lines[1][1:5], ["uninstall", "bingnews", "新闻", "ok"])
        self.assertNotIn("Microsoft.BingNews", self.s.store().current_user())

    def test_bulk_switches_run_the_bulk_command_line_and_script(self):
        code, out = self.cli.run("/uninstall-all", "/quiet")
        # The system components that Windows keeps do not make the run fail.
        self.assertEqual(code, 0, out)
        self.assertEqual([e["cmdline"] for e in self.s.log()], [UNINSTALL_ALL])
        self.assertIn("全部卸载完成！", out)
        code, out = self.cli.run("/install-all", "/quiet")
        self.assertEqual(code, 0, out)
        log = self.s.log()[1:]
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual(base64.b64decode(log[1]["scripts"][0]["bytes_b64"]),
                         (SCRIPTS / "INSTALLALLAPP.ps1").read_bytes())
        self.assertEqual(self.s.store().policy, "Restricted")

    def test_the_listing_and_the_removal_for_every_user_with_deprovisioning(self):
        packages = [p for p in psstore.default_packages() if p.name != "Microsoft.3DBuilder"]
        mix = {"Microsoft.WindowsCalculator": (True, True, True), "Microsoft.BingNews": (False, True, False),
               "Microsoft.WindowsCamera": (False, False, True), "Microsoft.YourPhone": (True, False, False)}
        for p in packages:
            p.current_user, p.other_users, p.provisioned = mix.get(p.name, (p.current_user, False, p.provisioned))
        self.s.write_store(packages=packages)

        def listing() -> dict[str, list[str]]:
            code, out = self.cli.run("/list")
            self.assertEqual(code, 0, out)
            rows = list(csv.reader(io.StringIO(out, newline="")))
            self.assertEqual(rows[0], ["key", "caption", "current_user", "any_user", "provisioned"])
            self.assertEqual(len(rows), 34)
            return {row[0]: row[1:] for row in rows[1:]}

        rows = listing()
        self.assertEqual(rows["windowscalculator"], ["计算器", "yes", "yes", "yes"])
        self.assertEqual(rows["bingnews"], ["新闻", "no", "yes", "no"])
        self.assertEqual(rows["windowscamera"], ["相机", "no", "no", "yes"])
        self.assertEqual(rows["YourPhone"], ["你的手机", "yes", "yes", "no"])
        self.assertEqual(rows["3dbuilder"], ["3D建模", "no", "no", "no"])
        self.assertEqual(rows["zunemusic"], ["Groove 音乐", "yes", "yes", "yes"])
        self.assertEqual({e["kind"] for e in self.s.log()}, {"query"}, "the listing changed something")

        code, out = self.cli.run("/uninstall:windowscalculator,bingnews,windowscamera", "/allusers", "/quiet",
                                 f"/log:{winpath(self.logfile)}")
        self.assertEqual(code, 0, out)
        log = [e for e in self.s.log() if e["kind"] != "query"]
        self.assertEqual([(e["kind"], e["all_users"]) for e in log], [("remove", True), ("deprovision", False)] * 3)
        self.assertEqual(log[0]["cmdline"],
                         "PowerShell.exe Get-AppxPackage -AllUsers *windowscalculator* | Remove-AppxPackage -AllUsers")
        self.assertEqual(log[1]["cmdline"],
                         "PowerShell.exe Get-AppxProvisionedPackage -Online | Where-Object DisplayName -like "
                         "'*windowscalculator*' | Remove-AppxProvisionedPackage -Online")
        store = self.s.store()
        for name in mix:
            if name != "Microsoft.YourPhone":
                self.assertFalse(store.has(name), f"{name} is still on the machine")
        self.assertEqual([line[1:5] for line in log_lines(self.logfile)],
                         [[op, key, caption, "ok"] for key, caption in
                          (("windowscalculator", "计算器"), ("bingnews", "新闻"), ("windowscamera", "相机"))
                          for op in ("uninstall-allusers", "deprovision")])
        rows = listing()
        for key in ("windowscalculator", "bingnews", "windowscamera"):
            self.assertEqual(rows[key][1:], ["no", "no", "no"], key)
        # What is gone for every user cannot be registered again, and that is no success.
        code, out = self.cli.run("/install:windowscalculator", "/quiet")
        self.assertEqual(code, 1, out)
        self.assertEqual(out.split("\t")[4:], ["failed", "1", "", "此电脑上已没有该应用的文件，无法重新注册来恢复\r\n"])
        self.assertEqual(self.s.store().policy, "Restricted")

        self.s.write_store(query_fails=True)
        code, out = self.cli.run("/list")
        self.assertEqual(code, 1, out)
        self.assertNotIn("key,caption", out)


class QuietAndBoxes(unittest.TestCase):
    def setUp(self):
        self.s = Session(self.id().rsplit(".", 1)[-1])
        self.cli = CliSession(self, self.s)

    def tearDown(self):
        self.s.close()

    def test_a_quiet_run_shows_no_window_and_asks_the_network_nothing(self):
        server = harness.update_server()
        self.s.write_store(delays={"remove": 2500})
        pid, watch = self.cli.start("/uninstall:windowscalculator,bingnews /quiet")
        polls = 0
        while watch.poll() is None:
            self.assertEqual(self.s.windows(pid=pid, visible_only=False), [], "the quiet run made a window")
            polls += 1
        self.assertGreater(polls, 3)
        self.assertEqual(self.cli.exit_code(watch), 0)
        self.assertEqual(len(self.s.log()), 2)
        # A quiet uninstall-all asks nothing either.
        pid, watch = self.cli.start("/uninstall-all /quiet")
        self.assertEqual(self.cli.exit_code(watch), 0)
        self.assertEqual(self.s.log()[-1]["cmdline"], UNINSTALL_ALL)
        self.assertEqual(server.requests, [])
        # The window would have asked.
        self.s.start_app()
        main = self.s.wait_main_window()
        self.assertTrue(server.requests)
        end_by_close_button(self, self.s, main)

    def test_without_quiet_the_results_and_errors_come_in_the_programs_boxes(self):
        pid, watch = self.cli.start("/uninstall:windowscalculator")
        box = self.s.wait_message_box("提示", pid=pid, timeout=60)
        self.assertIn("计算器 卸载完成！", self.s.texts(box))
        self.assertFalse(self.s.windows("TForm1", pid=pid), "the main window was shown")
        self.s.screenshot("notice")
        self.s.press(box, "确定")
        self.assertEqual(self.cli.exit_code(watch), 0)

        pid, watch = self.cli.start("/uninstall:nope")
        box = self.s.wait_message_box("Clearbay", pid=pid, timeout=60)
        self.assertTrue(any("未知的应用：nope" in t for t in self.s.texts(box)), self.s.texts(box))
        self.s.screenshot("usage-error")
        self.s.press(box, "确定")
        self.assertEqual(self.cli.exit_code(watch), 2)

        pid, watch = self.cli.start("/uninstall-all")
        box = self.s.wait_message_box("确认", pid=pid, timeout=60)
        self.s.press(box, "否")
        self.assertEqual(self.cli.exit_code(watch), 1)
        self.assertEqual(len(self.s.log()), 1, "the declined uninstall-all ran")


class NoOverlap(AppWindow):
    """A window and a command-line run on one machine: their runs never interleave."""

    def start_cli(self, args: str) -> tuple[int, harness.WineProcess]:
        return CliSession(self, self.s).start(args)

    def test_a_run_during_a_windows_run_ends_with_3_and_runs_nothing(self):
        # The script outlasts the command line's start under Wine and its wait for the turn.
        self.s.write_store(packages=none_installed(), delays={"script": 8000})
        self.click("计算器")
        self.choose(1)
        self.wait_log(1)  # Bypass is set: the window's script is running
        logfile = self.s.work / "busy.log"
        pid, watch = self.start_cli(f'/install:bingnews /quiet "/log:{winpath(logfile)}"')
        self.assertEqual(CliSession.exit_code(watch, 30), 3)
        self.assertEqual(log_lines(logfile)[0][1:5], ["install", "", "", "busy"])
        self.assertEqual(self.notice(), "计算器 安装完成！")
        self.assertNotIn(pid, {e["ppid"] for e in self.s.log()})
        self.assertEqual([e["kind"] for e in self.s.log()], ["set-policy", "script", "set-policy"])
        self.end()

    def test_a_windows_run_waits_for_a_command_line_run_alive(self):
        self.s.write_store(packages=none_installed(), delays={"script": 4000})
        pid, watch = self.start_cli("/install:bingnews /quiet")
        self.wait_log(1)  # Bypass is set: the command line's script is running
        self.click("计算器")
        self.choose(1)
        self.assertEqual(CliSession.exit_code(watch, 60), 0)
        self.assertEqual(self.notice(), "计算器 安装完成！")
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"] * 2)
        self.assertEqual({e["ppid"] for e in log[:3]}, {pid})
        self.assertEqual(len({e["ppid"] for e in log[3:]}), 1)
        self.assertNotIn(pid, {e["ppid"] for e in log[3:]})
        self.assertGreaterEqual(log[3]["t_start_ms"], log[2]["t_end_ms"])
        self.end()


if __name__ == "__main__":
    unittest.main()
