"""What the program tells about apps beyond "done": which apps are installed (the
buttons' captions and hints), why an operation failed, what a bulk run left,
and the question before everything is removed."""
from __future__ import annotations

import time

import psstore
from harness import INSTALLED_QUERY, Session
from test_app import BUTTONS, AppWindow, Screenshot

CALCULATOR = (109, 175, 87, 22)
CAMERA = (88, 8, 63, 22)
UNINSTALL_ALL = "powershell.exe Get-AppxPackage | Remove-AppxPackage"


def packages(missing=(), failure: dict[str, str] | None = None, unremovable=None) -> list[psstore.Package]:
    """The default store with the named packages not installed for the current user,
    packages failing with the given HRESULTs, and optionally only the given ones
    unremovable."""
    out = psstore.default_packages()
    for p in out:
        p.current_user = p.name not in missing
        p.failure = (failure or {}).get(p.name, "")
        if unremovable is not None:
            p.unremovable = p.name in unremovable
    return out


class States(AppWindow):
    STORE: dict = {}

    def seed(self, s: Session) -> None:
        s.write_store(**self.STORE)

    def shot(self) -> Screenshot:
        main = self.s.refresh(self.main)
        return Screenshot(self.s.screenshot(f"states-{time.monotonic_ns()}"), main["client"][0], main["client"][1])

    @staticmethod
    def look(shot: Screenshot, rect) -> list[tuple[int, int, int]]:
        x0, y0, w, h = rect
        return [shot.pixel(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w)]

    def wait_look(self, rect, differs_from, timeout: float = 30) -> list:
        deadline = time.time() + timeout
        while time.time() < deadline:
            look = self.look(self.shot(), rect)
            if look != differs_from:
                return look
            time.sleep(0.3)
        self.fail(f"the button at {rect} did not change within {timeout} s")

    def queries(self) -> list[dict]:
        return [e for e in self.s.log(queries=True) if e["cmdline"] == INSTALLED_QUERY]

    def wait_queries(self, count: int, timeout: float = 30) -> list[dict]:
        deadline = time.time() + timeout
        while len(self.queries()) < count:
            self.assertLess(time.time(), deadline, f"fewer than {count} queries ran")
            time.sleep(0.2)
        return self.queries()

    def hint(self, what: str) -> str:
        """Rests the pointer on a button and reads the hint that comes up ("" for none)."""
        self.s.move(self.main, 200, 140)
        time.sleep(0.3)
        self.s.move(self.main, *BUTTONS[what])
        deadline = time.time() + 4
        while time.time() < deadline:
            tips = self.s.probe("list", "--class", "tooltips_class32", "--pid", str(self.s.app_pid), "--visible",
                                "--gettext")
            if tips and tips[0]["text"]:
                return tips[0]["text"]
            time.sleep(0.2)
        return ""

    @staticmethod
    def strongest(look, background) -> int:
        """How far the caption's strongest pixel lies from the button's background."""
        return max(sum(abs(a - b) for a, b in zip(p, background)) for p in look)


class InstalledState(States):
    # Slow answers, so that the window is seen before its first one.
    STORE = {"packages": packages(missing={"Microsoft.WindowsCalculator"}), "delays": {"query": 1500}}

    def test_captions_and_hints_follow_what_is_installed(self):
        before = self.shot()
        calc_today, camera_today = self.look(before, CALCULATOR), self.look(before, CAMERA)
        calc_muted = self.wait_look(CALCULATOR, calc_today)
        after = self.shot()
        self.assertEqual(self.look(after, CAMERA), camera_today, "an installed app's button changed")
        # Only the caption changed: the button's frame and face are as they were, and the
        # caption lies closer to the face's colour.
        face = before.pixel(CALCULATOR[0] + 4, CALCULATOR[1] + 3)
        x0, y0, w, h = CALCULATOR
        edge = [(x, y) for x in range(x0, x0 + w) for y in (y0, y0 + h - 1)] + \
               [(x, y) for y in range(y0, y0 + h) for x in (x0, x0 + w - 1)]
        self.assertEqual([after.pixel(*p) for p in edge], [before.pixel(*p) for p in edge])
        self.assertLess(self.strongest(calc_muted, face), self.strongest(calc_today, face) * 3 // 4)
        self.assertEqual(self.hint("计算器"), "未安装")
        self.assertEqual(self.hint("相机"), "已安装")
        # An uninstall mutes its button; an install brings back exactly today's look.
        self.click("相机")
        self.choose(0)
        self.assertEqual(self.notice(), "相机 卸载完成！")
        self.wait_look(CAMERA, camera_today)
        self.assertEqual(self.hint("相机"), "未安装")
        self.click("计算器")
        self.choose(1)
        self.assertEqual(self.notice(), "计算器 安装完成！")
        self.assertEqual(self.wait_look(CALCULATOR, calc_muted), calc_today)
        self.assertEqual(self.hint("计算器"), "已安装")
        # One query after the start and one after each operation, each for names only.
        queries = self.wait_queries(3)
        self.assertTrue(all(q["exit_code"] == 0 and q["kind"] == "query" for q in queries))
        self.end()


class FailedQuery(States):
    STORE = {"packages": packages(missing={"Microsoft.WindowsCalculator"}), "delays": {"query": 1500},
             "query_fails": True}

    def test_a_failed_query_leaves_every_button_as_today(self):
        before = self.shot()
        queries = self.wait_queries(1)
        self.assertNotEqual(queries[0]["exit_code"], 0)
        time.sleep(1)
        self.assertEqual(self.look(self.shot(), (0, 0, 412, 290)), self.look(before, (0, 0, 412, 290)))
        self.assertEqual(self.hint("计算器"), "")
        self.end()


class FirstClick(States):
    STORE = {"delays": {"query": 15000}}

    def test_the_query_never_delays_the_first_click(self):
        self.click("计算器")
        self.choose(0)
        self.assertEqual(self.notice(), "计算器 卸载完成！")
        self.assertEqual(self.queries(), [], "the first query had already ended")
        self.assertEqual([e["cmdline"] for e in self.s.log()],
                         ["PowerShell.exe Get-AppxPackage *windowscalculator* | Remove-AppxPackage"])


class Reasons(States):
    """One notice per group of codes, through the double's failing packages."""

    def fail_with(self, code: str, install: bool) -> str:
        name = "Microsoft.WindowsCalculator"
        self.s.write_store(packages=packages(missing={name} if install else (), failure={name: code}))
        self.click("计算器")
        self.choose(1 if install else 0)
        return self.notice()

    def test_removal_reasons(self):
        for code, reason in [
                ("0x80073CFA", "Windows 未能删除此应用（0x80073CFA）"),
                ("0x80070032", "这是 Windows 的一部分，不能只为当前用户卸载（0x80070032）"),
                ("0x80073D02", "应用正在运行，请关闭后重试（0x80073D02）"),
                ("0x80073CF3", "依赖项或冲突检查未通过（0x80073CF3）"),
                ("0x80070005", "拒绝访问（0x80070005）"),
                ("0x80073D06", "0x80073D06")]:
            with self.subTest(code):
                self.assertEqual(self.fail_with(code, False), "计算器 卸载失败！\n" + reason)

    def test_registration_reasons(self):
        gone = "此电脑上已没有该应用的文件，无法重新注册来恢复"
        for code, reason in [
                ("0x80073CF6", "应用注册失败（0x80073CF6）"),
                ("0x80073CF9", "应用注册失败（0x80073CF9）"),
                ("0x80073CF0", f"{gone}（0x80073CF0）"),
                ("0x80070002", f"{gone}（0x80070002）")]:
            with self.subTest(code):
                self.assertEqual(self.fail_with(code, True), "计算器 安装失败！\n" + reason)


class BulkCounts(States):
    def test_removal_counts_kept_and_failed_packages(self):
        kept = {"Microsoft.Windows.Cortana", "Microsoft.AAD.BrokerPlugin", "Microsoft.VCLibs.140.00"}
        failing = {"Microsoft.WindowsCalculator": "0x80073D02", "Microsoft.BingNews": "0x80070005",
                   "Microsoft.BingSports": "0x80073CFA", "Microsoft.People": "0x80073CF3",
                   "Microsoft.ZuneMusic": "0x80070005", "Microsoft.Wallet": "0x80073D06",
                   "Microsoft.ZuneVideo": "0x80070005"}
        self.s.write_store(packages=packages(failure=failing, unremovable=kept))
        self.uninstall_all()
        # In the store's order; the x86 VCLibs is a second kept package.
        self.assertEqual(self.notice(), "卸载结束，部分应用未能卸载！\n"
                                        "新闻：拒绝访问（0x80070005）\n"
                                        "人脉：依赖项或冲突检查未通过（0x80073CF3）\n"
                                        "电影和电视：拒绝访问（0x80070005）\n"
                                        "计算器：应用正在运行，请关闭后重试（0x80073D02）\n"
                                        "Groove 音乐：拒绝访问（0x80070005）\n"
                                        "另有 2 个应用未能卸载。\n"
                                        "Windows 保留了 4 个无法卸载的系统组件。")
        left = set(self.s.store().current_user())
        self.assertEqual(left, set(failing) | kept)


class Confirmation(States):
    def question(self) -> dict:
        self.wait_queries(1)
        self.click("卸载全部")
        box = self.s.wait_message_box("确认", timeout=20)
        text = "\n".join(t for t in self.s.texts(box) if t not in ("是", "否"))
        self.assertIn("应用商店", text)
        self.assertIn("是否继续", text)
        return box

    def test_no_starts_nothing_and_yes_runs_the_uninstall_all_command(self):
        self.s.press(self.question(), "否")
        self.s.wait_gone("#32770", "确认", timeout=10)
        self.wait_enabled()
        self.no_notice(2)
        self.assertEqual(self.s.log(queries=True), self.queries(), "a run started")
        self.assertEqual(len(self.queries()), 1, "no operation ran, so nothing was asked again")
        self.s.press(self.question(), "是")
        self.assertEqual(self.notice(), "全部卸载完成！\nWindows 保留了 13 个无法卸载的系统组件。")
        self.assertEqual([e["cmdline"] for e in self.s.log()], [UNINSTALL_ALL])
        # The bulk run is followed by a new query too.
        self.wait_queries(2)
        self.end()
