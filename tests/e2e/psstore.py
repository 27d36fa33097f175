"""The PowerShell double's package store and log, from Python.

The store is a small INI-like text (see tests/doubles/psd_store.hpp):

    [settings]
    ExecutionPolicy=Restricted
    [delay_ms]
    after_read=500
    [package Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe]
    InstallLocation=C:\\Program Files\\WindowsApps\\Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe
    CurrentUser=1
    OtherUsers=0
    Provisioned=1
    Unremovable=0
    Broken=0
    Failure=0x80073D02

Every package section is a package the machine knows. CurrentUser and
OtherUsers say whether the current user and some other user have it installed;
Provisioned whether new accounts get it (its DisplayName is the package name).
Removing a package for every user, or its provisioning, forgets it once nobody
has it and it is not provisioned. Failure makes removing, deprovisioning and
registering that package fail with the HRESULT;
QueryFails=1 under [settings] makes the program's query of the current user's
packages fail.

Delay keys (milliseconds): before_read and after_read around reading a script;
set-policy, script, remove, deprovision, register, query, other before a call of that kind
exits; all before every call exits.

Run as a program, `psstore.py seed <dir>` writes a fresh default store there.
"""
from __future__ import annotations

import dataclasses
import json
import sys
from pathlib import Path

STORE_NAME = "psdouble-state.ini"
LOG_NAME = "psdouble.log"

_APPS = "8wekyb3d8bbwe"
_SYSTEM = "cw5n1h2txyewy"


@dataclasses.dataclass
class Package:
    full_name: str
    install_location: str
    current_user: bool = True
    unremovable: bool = False
    broken: bool = False
    failure: str = ""
    other_users: bool = False
    provisioned: bool = False

    @property
    def name(self) -> str:
        return self.full_name.split("_", 1)[0]


def _app(name: str, version: str, arch: str = "x64", publisher: str = _APPS) -> Package:
    full = f"{name}_{version}_{arch}__{publisher}"
    return Package(full, "C:\\Program Files\\WindowsApps\\" + full)


def _system(name: str, version: str = "10.0.19041.1", publisher: str = _SYSTEM) -> Package:
    full = f"{name}_{version}_neutral_neutral_{publisher}"
    return Package(full, f"C:\\Windows\\SystemApps\\{name}_{publisher}", unremovable=True)


def _framework(name: str, version: str, arch: str = "x64") -> Package:
    pkg = _app(name, version, arch)
    pkg.unremovable = True  # other installed apps depend on it
    return pkg


def default_packages() -> list[Package]:
    """A Windows 10 (2004) package set: one package for each app the program
    knows, Bing Sports, and system and framework packages that cannot be
    removed. Some names are matched by more than one app key's wildcard, as on
    a real system ("*people*" also finds the People experience host). As on a
    fresh system the apps are provisioned, the system and framework packages
    not."""
    apps = [
        ("Microsoft.3DBuilder", "18.0.1931.0"),
        ("Microsoft.ScreenSketch", "10.2008.2277.0"),
        ("Microsoft.Windows.Photos", "2020.20090.1002.0"),
        ("Microsoft.WindowsMaps", "10.2005.1.0"),
        ("Microsoft.Getstarted", "9.8.33221.0"),
        ("Microsoft.BingWeather", "4.46.31121.0"),
        ("Microsoft.WindowsSoundRecorder", "10.2009.1.0"),
        ("Microsoft.BingFinance", "4.53.61301.0"),
        ("Microsoft.BingNews", "4.7.28.0"),
        ("Microsoft.People", "10.2009.3.0"),
        ("Microsoft.Office.OneNote", "16001.13328.20188.0"),
        ("Microsoft.XboxApp", "48.70.23001.0"),
        ("Microsoft.WindowsAlarms", "10.2009.5.0"),
        ("Microsoft.ZuneVideo", "10.20082.1003.0"),
        ("microsoft.windowscommunicationsapps", "16005.13228.41011.0"),
        ("Microsoft.MicrosoftOfficeHub", "18.2008.12711.0"),
        ("Microsoft.WindowsStore", "12011.1001.1.0"),
        ("Microsoft.MicrosoftSolitaireCollection", "4.8.10290.0"),
        ("Microsoft.WindowsCamera", "2020.503.58.0"),
        ("Microsoft.WindowsCalculator", "10.2009.4.0"),
        ("Microsoft.ZuneMusic", "10.20092.10311.0"),
        ("Microsoft.GetHelp", "10.2008.32311.0"),
        ("Microsoft.Messaging", "4.1901.10241.0"),
        ("Microsoft.Microsoft3DViewer", "7.2009.29132.0"),
        ("Microsoft.MicrosoftStickyNotes", "3.7.142.0"),
        ("Microsoft.MSPaint", "6.2009.30067.0"),
        ("Microsoft.OneConnect", "5.2002.431.0"),
        ("Microsoft.Print3D", "3.3.791.0"),
        ("Microsoft.Wallet", "2.4.18324.0"),
        ("Microsoft.WindowsFeedbackHub", "1.2009.10531.0"),
        ("Microsoft.MixedReality.Portal", "2000.20071.1133.0"),
        ("Microsoft.YourPhone", "1.20092.123.0"),
        ("Microsoft.BingSports", "4.53.61301.0"),
        ("Microsoft.XboxGameOverlay", "1.47.2385.0"),
        ("Microsoft.XboxGamingOverlay", "5.420.9252.0"),
        ("Microsoft.XboxIdentityProvider", "12.67.21001.0"),
        ("Microsoft.StorePurchaseApp", "12008.1001.1.0"),
        ("Microsoft.DesktopAppInstaller", "1.0.42251.0"),
        ("Microsoft.WebMediaExtensions", "1.0.20875.0"),
    ]
    packages = [_app(n, v) for n, v in apps]
    packages.insert(28, _app("Microsoft.SkypeApp", "15.65.78.0", publisher="kzf8qxf38zg5c"))
    for p in packages:
        p.provisioned = True
    packages += [
        _framework("Microsoft.VCLibs.140.00", "14.0.29231.0"),
        _framework("Microsoft.VCLibs.140.00", "14.0.29231.0", "x86"),
        _framework("Microsoft.NET.Native.Framework.2.2", "2.2.29512.0"),
        _framework("Microsoft.NET.Native.Runtime.2.2", "2.2.28604.0"),
        _framework("Microsoft.UI.Xaml.2.4", "2.42007.9001.0"),
        _system("Microsoft.Windows.PeopleExperienceHost"),
        _system("Microsoft.Windows.ShellExperienceHost"),
        _system("Microsoft.Windows.StartMenuExperienceHost"),
        _system("Microsoft.Windows.Cortana", "1.14.0.19041"),
        _system("Microsoft.Windows.SecHealthUI"),
        _system("Microsoft.XboxGameCallableUI"),
        _system("Microsoft.AAD.BrokerPlugin", "1000.19041.1.0"),
        _system("windows.immersivecontrolpanel", "10.0.2.1000"),
    ]
    return packages


def format_store(policy: str = "Restricted", packages: list[Package] | None = None,
                 delays: dict[str, int] | None = None, query_fails: bool = False) -> str:
    packages = default_packages() if packages is None else packages
    lines = ["[settings]", f"ExecutionPolicy={policy}"] + (["QueryFails=1"] if query_fails else [])
    if delays:
        lines += ["", "[delay_ms]"] + [f"{k}={int(v)}" for k, v in delays.items()]
    for p in packages:
        lines += ["", f"[package {p.full_name}]", f"InstallLocation={p.install_location}",
                  f"CurrentUser={int(p.current_user)}", f"OtherUsers={int(p.other_users)}",
                  f"Provisioned={int(p.provisioned)}", f"Unremovable={int(p.unremovable)}",
                  f"Broken={int(p.broken)}"] + ([f"Failure={p.failure}"] if p.failure else [])
    return "\r\n".join(lines) + "\r\n"


def write_store(directory: Path | str, policy: str = "Restricted", packages: list[Package] | None = None,
                delays: dict[str, int] | None = None, query_fails: bool = False) -> Path:
    path = Path(directory) / STORE_NAME
    path.write_bytes(format_store(policy, packages, delays, query_fails).encode("utf-8"))
    return path


@dataclasses.dataclass
class State:
    policy: str
    delays: dict[str, int]
    packages: list[Package]

    def package(self, name: str) -> Package:
        """The package with this name (not full name); KeyError if none."""
        for p in self.packages:
            if p.name.lower() == name.lower():
                return p
        raise KeyError(name)

    def current_user(self) -> list[str]:
        return [p.name for p in self.packages if p.current_user]

    def installed_for_anyone(self) -> list[str]:
        return [p.name for p in self.packages if p.current_user or p.other_users]

    def provisioned(self) -> list[str]:
        return [p.name for p in self.packages if p.provisioned]

    def has(self, name: str) -> bool:
        """Whether the machine still knows a package of this name."""
        return any(p.name.lower() == name.lower() for p in self.packages)


def parse_store(text: str) -> State:
    state = State("Restricted", {}, [])
    section = None
    for number, raw in enumerate(text.lstrip("\ufeff").splitlines(), 1):
        line = raw.strip()
        if not line or line[0] in ";#":
            continue
        if line.startswith("["):
            head = line.strip("[]").strip()
            if head.lower().startswith("package "):
                state.packages.append(Package(head[8:].strip(), ""))
                section = "package"
            else:
                section = head.lower()
            continue
        key, _, value = (s.strip() for s in line.partition("="))
        if section == "settings" and key.lower() == "executionpolicy":
            state.policy = value
        elif section == "settings" and key.lower() == "queryfails":
            pass
        elif section == "delay_ms":
            state.delays[key] = int(value)
        elif section == "package":
            p = state.packages[-1]
            flag = value.lower() in ("1", "true", "yes")
            k = key.lower()
            if k == "installlocation":
                p.install_location = value
            elif k == "currentuser":
                p.current_user = flag
            elif k == "otherusers":
                p.other_users = flag
            elif k == "provisioned":
                p.provisioned = flag
            elif k == "unremovable":
                p.unremovable = flag
            elif k == "broken":
                p.broken = flag
            elif k == "failure":
                p.failure = value
            else:
                raise ValueError(f"store line {number}: unknown key {key}")
        else:
            raise ValueError(f"store line {number}: unexpected {line!r}")
    return state


def read_store(directory: Path | str) -> State:
    return parse_store((Path(directory) / STORE_NAME).read_bytes().decode("utf-8"))


def read_log(directory: Path | str) -> list[dict]:
    """Every logged call, oldest first. A torn or invalid line is an error."""
    path = Path(directory) / LOG_NAME
    if not path.exists():
        return []
    return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines() if line.strip()]


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "seed":
        sys.exit("usage: psstore.py seed <directory>")
    print(write_store(sys.argv[2]))
