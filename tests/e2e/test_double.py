"""The PowerShell double under Wine, driven as the program drives it."""
from __future__ import annotations

import base64
import time
import unittest
from pathlib import Path

import psstore
from harness import ROOT, Session, winpath

BYPASS = "powershell.exe set-executionpolicy Bypass -Confirm:$false"
RESTRICTED = "powershell.exe set-ExecutionPolicy RESTRICTED"
REMOVE_ALL = "powershell.exe Get-AppxPackage | Remove-AppxPackage"
SCREENSKETCH = ('Get-AppxPackage -AllUsers *ScreenSketch* | ForEach {Add-AppxPackage -DisableDevelopmentMode '
                '-Register "$($_.InstallLocation)\\AppXManifest.xml"}\r\n')


def remove_one(key: str) -> str:
    return f"PowerShell.exe Get-AppxPackage *{key}* | Remove-AppxPackage"


def remove_for_everyone(key: str) -> str:
    return f"PowerShell.exe Get-AppxPackage -AllUsers *{key}* | Remove-AppxPackage -AllUsers"


def deprovision(key: str) -> str:
    return (f"PowerShell.exe Get-AppxProvisionedPackage -Online | Where-Object DisplayName -like '*{key}*' | "
            "Remove-AppxProvisionedPackage -Online")


def run_script(path: Path) -> str:
    return "powershell.exe -Command \"& '" + winpath(path).replace("'", "''") + "'\""


def nobody_has_anything() -> list[psstore.Package]:
    packages = psstore.default_packages()
    for p in packages:
        p.current_user = False
    return packages


class DoubleUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = Session("double", with_app=False, temp_name="Temp Dir")

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        self.s.write_store()
        (self.s.app_dir / psstore.LOG_NAME).unlink(missing_ok=True)
        self.script = self.s.temp_dir / "ps.ps1"
        self.script.write_bytes(SCREENSKETCH.encode())

    def test_install_sequence_as_the_program_runs_it(self):
        self.s.write_store(packages=nobody_has_anything())
        for line in (BYPASS, run_script(self.script), RESTRICTED):
            report = self.s.launch(line)
            self.assertEqual(report["exit_code"], 0, line)
        log = self.s.log()
        self.assertEqual([e["kind"] for e in log], ["set-policy", "script", "set-policy"])
        self.assertEqual([(e["policy_before"], e["policy_after"]) for e in log],
                         [("Restricted", "Bypass"), ("Bypass", "Bypass"), ("Bypass", "Restricted")])
        for e in log:
            # Started hidden with start-up feedback, in a console of its own that is not shown.
            self.assertEqual(e["startup"], {"dwFlags": 0x41, "wShowWindow": 0})
            self.assertFalse(e["console"]["visible"])
            self.assertEqual(e["exit_code"], 0)
        script = log[1]["scripts"][0]
        self.assertEqual(script["path"], winpath(self.script))
        self.assertIn(" ", script["path"])
        self.assertEqual(script["status"], "read")
        self.assertEqual(base64.b64decode(script["bytes_b64"]), SCREENSKETCH.encode())
        self.assertEqual(log[1]["registered"], [self.s.store().package("Microsoft.ScreenSketch").full_name])
        state = self.s.store()
        self.assertEqual(state.policy, "Restricted")
        self.assertEqual(state.current_user(), ["Microsoft.ScreenSketch"])

    def test_every_script_of_the_program_registers_its_app(self):
        scripts = sorted((ROOT / "resources" / "scripts").glob("*.ps1"))
        if not scripts:
            self.skipTest("resources/scripts holds no scripts")
        everything = len(psstore.default_packages())
        for path in scripts:
            key = path.stem.lower()
            with self.subTest(script=path.name):
                self.s.write_store(policy="Bypass", packages=nobody_has_anything())
                shutil_copy(path, self.script)
                _, entry = self.s.powershell(run_script(self.script))
                self.assertEqual(entry["exit_code"], 0, entry["errors"])
                self.assertEqual(base64.b64decode(entry["scripts"][0]["bytes_b64"]), path.read_bytes())
                names = self.s.store().current_user()
                if key == "installallapp":
                    self.assertEqual(len(names), everything)
                else:
                    self.assertTrue(names, "nothing registered")
                    for name in names:
                        self.assertIn(key, name.lower())

    def test_script_is_refused_while_restricted(self):
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual(report["exit_code"], 1)
        self.assertEqual(entry["scripts"][0]["status"], "refused")
        self.assertIn("running scripts is disabled on this system", entry["errors"][0])
        self.assertEqual(entry["registered"], [])

    def test_script_paths_with_blanks_in_the_legacy_forms(self):
        self.s.write_store(policy="Bypass", packages=nobody_has_anything())
        plain = self.s.work / "ps.ps1"
        plain.write_bytes(SCREENSKETCH.encode())
        report, entry = self.s.powershell("powershell.exe " + winpath(plain))
        self.assertEqual((report["exit_code"], entry["scripts"][0]["status"]), (0, "read"))
        head = winpath(self.s.temp_dir).split(" ")[0]
        for line in ("powershell.exe " + winpath(self.script), 'powershell.exe "' + winpath(self.script) + '"'):
            with self.subTest(line=line):
                report, entry = self.s.powershell(line)
                self.assertEqual(report["exit_code"], 1)
                self.assertEqual(entry["scripts"], [])
                self.assertIn(f"The term '{head}' is not recognized", entry["errors"][0])
        report, entry = self.s.powershell("powershell.exe -File \"" + winpath(self.s.work / "none.ps1") + '"')
        self.assertEqual(report["exit_code"], -196608)

    def test_uninstall_forms_and_exit_codes(self):
        report, entry = self.s.powershell(remove_one("windowscalculator"))
        self.assertEqual(report["exit_code"], 0)
        self.assertEqual(entry["removed"], [self.s.store().package("Microsoft.WindowsCalculator").full_name])
        # Wildcards ignore case; "people" also finds a part of Windows that cannot be removed.
        report, entry = self.s.powershell(remove_one("PEOPLE"))
        self.assertEqual(report["exit_code"], 1)
        state = self.s.store()
        self.assertEqual(entry["removed"], [state.package("Microsoft.People").full_name])
        self.assertTrue(state.package("Microsoft.Windows.PeopleExperienceHost").current_user)
        # Nothing left to match is not an error.
        report, entry = self.s.powershell(remove_one("windowscalculator"))
        self.assertEqual((report["exit_code"], entry["removed"], entry["errors"]), (0, [], []))
        report, entry = self.s.powershell(REMOVE_ALL)
        self.assertEqual(report["exit_code"], 1)
        state = self.s.store()
        self.assertEqual(sorted(state.current_user()), sorted(p.name for p in state.packages if p.unremovable))
        # The machine still knows every package, so the restore script can bring them back.
        self.assertEqual(len(state.packages), len(psstore.default_packages()))
        self.s.write_store(policy="Bypass", packages=state.packages)
        self.script.write_bytes(b'Get-AppxPackage -AllUsers| Foreach {Add-AppxPackage -DisableDevelopmentMode '
                                b'-Register "$($_.InstallLocation)\\AppXManifest.xml"}')
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual(report["exit_code"], 0)
        self.assertEqual(len(self.s.store().current_user()), len(state.packages))

    def test_removal_for_every_user_and_deprovisioning(self):
        packages = psstore.default_packages()
        for p in packages:
            p.other_users = p.name in ("Microsoft.WindowsCalculator", "Microsoft.BingNews",
                                       "Microsoft.Windows.PeopleExperienceHost")
            p.provisioned = p.provisioned and p.name != "Microsoft.WindowsCalculator"
        self.s.write_store(policy="Bypass", packages=packages)
        full = {p.name: p.full_name for p in packages}
        # Neither provisioned nor left with anybody: gone from the machine.
        report, entry = self.s.powershell(remove_for_everyone("windowscalculator"))
        self.assertEqual(report["exit_code"], 0, entry["errors"])
        self.assertEqual((entry["kind"], entry["all_users"], entry["removed"], entry["deprovisioned"]),
                         ("remove", True, [full["Microsoft.WindowsCalculator"]], []))
        self.assertFalse(self.s.store().has("Microsoft.WindowsCalculator"))
        # Provisioned: staged for new accounts until its provisioning goes too.
        report, entry = self.s.powershell(remove_for_everyone("bingnews"))
        self.assertEqual((report["exit_code"], entry["removed"]), (0, [full["Microsoft.BingNews"]]))
        news = self.s.store().package("Microsoft.BingNews")
        self.assertEqual((news.current_user, news.other_users, news.provisioned), (False, False, True))
        report, entry = self.s.powershell(deprovision("BINGnews"))
        self.assertEqual(report["exit_code"], 0, entry["errors"])
        self.assertEqual((entry["kind"], entry["all_users"], entry["removed"], entry["deprovisioned"]),
                         ("deprovision", False, [], [full["Microsoft.BingNews"]]))
        self.assertFalse(self.s.store().has("Microsoft.BingNews"))
        # Deprovisioning leaves the users' copies alone.
        report, entry = self.s.powershell(deprovision("windowsalarms"))
        alarms = self.s.store().package("Microsoft.WindowsAlarms")
        self.assertEqual((report["exit_code"], alarms.current_user, alarms.provisioned), (0, True, False))
        # The install script then finds nothing to register.
        self.script.write_bytes(SCREENSKETCH.replace("ScreenSketch", "BingNews").encode())
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual((report["exit_code"], entry["registered"]), (0, []))
        # A part of Windows fails for every user as for one, and nothing changes.
        before = self.s.store()
        report, entry = self.s.powershell(remove_for_everyone("PeopleExperienceHost"))
        self.assertEqual((report["exit_code"], entry["removed"], len(entry["errors"])), (1, [], 1))
        self.assertIn("0x80073CFA", entry["errors"][0])
        self.assertEqual(self.s.store(), before)

    def test_a_broken_package_fails_the_run(self):
        packages = nobody_has_anything()
        for p in packages:
            p.broken = p.name == "Microsoft.ScreenSketch"
        self.s.write_store(policy="Bypass", packages=packages)
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual(report["exit_code"], 1)
        self.assertEqual(entry["registered"], [])
        self.assertIn("0x80073CF6", entry["errors"][0])

    def test_script_held_open_for_writing_cannot_be_read(self):
        self.s.write_store(policy="Bypass", packages=nobody_has_anything())
        holder = self.s.popen("holdopen.exe", winpath(self.script), "8000", "--access", "rw", "--share", "rw")
        holder.wait_for_output(b'"held":true')
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual(report["exit_code"], 1)
        self.assertEqual(entry["scripts"][0]["status"], "sharing_violation")
        self.assertEqual(entry["registered"], [])
        holder.kill()
        # A reader that lets others read does not stand in the way.
        reader = self.s.popen("holdopen.exe", winpath(self.script), "8000", "--access", "r", "--share", "r")
        reader.wait_for_output(b'"held":true')
        report, entry = self.s.powershell(run_script(self.script))
        self.assertEqual((report["exit_code"], entry["scripts"][0]["status"]), (0, "read"))
        reader.kill()

    def test_start_up_flags_are_the_doubles_own(self):
        _, entry = self.s.powershell("powershell.exe Get-ExecutionPolicy", flags=0, show=1, creation=0x10)
        self.assertEqual(entry["startup"]["dwFlags"], 0)
        _, entry = self.s.powershell("powershell.exe Get-ExecutionPolicy", flags=1, show=7)
        self.assertEqual(entry["startup"], {"dwFlags": 1, "wShowWindow": 7})

    def test_a_delay_holds_the_run_open(self):
        self.s.write_store(policy="Bypass", delays={"after_read": 1500})
        _, entry = self.s.powershell(run_script(self.script))
        self.assertGreaterEqual(entry["t_end_ms"] - entry["t_start_ms"], 1500)

    def test_concurrent_calls_keep_the_store_whole(self):
        keys = ["windowscalculator", "bingnews", "bingweather", "zunemusic", "zunevideo", "windowsmaps",
                "skypeapp", "wallet"]
        lines = [remove_one(k) for k in keys] + [BYPASS, RESTRICTED, BYPASS, RESTRICTED]
        procs = []
        for i, line in enumerate(lines):
            cmdfile = self.s.work / f"concurrent-{i}.txt"
            cmdfile.write_bytes(line.encode())
            procs.append(self.s.popen("launcher.exe", "--cmdfile", winpath(cmdfile)))
        for i, p in enumerate(procs):
            p.wait(120)
            (self.s.work / f"concurrent-{i}.txt").unlink()
        log = self.s.log()
        self.assertEqual(len(log), len(lines))
        self.assertEqual(sorted(e["cmdline"] for e in log), sorted(lines))
        state = self.s.store()
        left = {n.lower() for n in state.current_user()}
        for key in keys:
            self.assertFalse([n for n in left if key in n], key)
        self.assertEqual(len(state.packages), len(psstore.default_packages()))
        self.assertIn(state.policy, ("Bypass", "Restricted"))


def shutil_copy(src: Path, dst: Path) -> None:
    dst.write_bytes(src.read_bytes())


if __name__ == "__main__":
    unittest.main()
