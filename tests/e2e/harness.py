"""End-to-end harness: the program and the test doubles under Wine and Xvfb.

A Session is one test's world: a work directory holding the program next to
the PowerShell double (powershell.exe) and the window probe, a fresh package
store, a temporary directory of its own, and the Wine prefix of the build.

    with Session("uninstall_one") as s:
        s.start_app()
        main = s.wait_main_window()           # on screen, update check over
        s.click(main, 40, 19)                 # client coordinates
        box = s.wait_message_box()
        s.press(box, "确定")
        s.log(); s.store(); s.screenshot("after")

Environment: CB_E2E_BUILD names the win64 build folder (run.sh sets it). When
DISPLAY is unset a Session starts its own Xvfb with a compositing manager.
The network fixtures need the private namespace of netns-run.sh.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import json
import os
import shutil
import subprocess
import time
import unittest
from pathlib import Path

import httpserver
import psstore

ROOT = Path(__file__).resolve().parents[2]
SCRIPTS = ROOT / "scripts"
# The program's query of the current user's package names.
INSTALLED_QUERY = "powershell.exe -NoProfile -NonInteractive -Command Get-AppxPackage | ForEach-Object Name"
DOUBLES = ("powershell.exe", "probe.exe", "launcher.exe", "holdopen.exe", "netcheck.exe")

_wine_env_cache: dict[Path, dict[str, str]] = {}


def build_dir() -> Path:
    value = os.environ.get("CB_E2E_BUILD")
    if not value:
        raise unittest.SkipTest("CB_E2E_BUILD is not set (run tests/e2e/run.sh <win64 build dir>)")
    return Path(value).resolve()


def wine_env(build: Path) -> dict[str, str]:
    """The environment of scripts/wine-env.sh for this build (private prefix, set up once)."""
    if build not in _wine_env_cache:
        out = subprocess.run(["bash", "-c", '. "$0/wine-env.sh" "$1" >/dev/null && env -0', str(SCRIPTS), str(build)],
                             check=True, capture_output=True, timeout=300).stdout
        env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
        _wine_env_cache[build] = env
    return dict(_wine_env_cache[build])


def winpath(path: Path | str) -> str:
    """The Windows path of a Linux path through Wine's Z: drive."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


X_CURSORS = {"left_ptr": "arrow", "default": "arrow", "xterm": "ibeam", "text": "ibeam", "watch": "wait",
             "wait": "wait", "hand2": "hand", "hand1": "hand", "pointer": "hand", "left_ptr_watch": "appstarting",
             "progress": "appstarting", "crosshair": "cross", "question_arrow": "help", "help": "help",
             "fleur": "sizeall", "not-allowed": "no", "circle": "no", "sb_h_double_arrow": "sizewe",
             "sb_v_double_arrow": "sizens", "center_ptr": "uparrow"}


class _XFixesCursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def x_cursor_name(display: str) -> str:
    """The name of the X cursor now shown on the display ("" when it has none)."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_XFixesCursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise AssertionError(f"cannot open display {display}")
    try:
        image = xfixes.XFixesGetCursorImage(dpy)
        if not image:
            return ""
        name = (image.contents.name or b"").decode()
        x11.XFree(image)
        return name
    finally:
        x11.XCloseDisplay(dpy)


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                ("obdata", ctypes.c_void_p), ("create_image", ctypes.c_void_p),
                ("destroy_image", ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p))]


class RowSampler:
    """Reads one row of the screen as fast as the X server answers, on a thread of its own, so
    that animations of a few tens of milliseconds can be seen: samples of (seconds, bytes BGRX)."""

    def __init__(self, display: str, y: int):
        import threading
        self.samples: list[tuple[float, bytes]] = []
        self._stop = threading.Event()
        self._display, self._y = display, y
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self) -> None:
        x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XGetImage.restype = ctypes.POINTER(_XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        dpy = x11.XOpenDisplay(self._display.encode())
        if not dpy:
            return
        root, width = x11.XDefaultRootWindow(dpy), x11.XDisplayWidth(dpy, 0)
        try:
            while not self._stop.is_set():
                image = x11.XGetImage(dpy, root, 0, self._y, width, 1, 0xFFFFFFFF, 2)  # ZPixmap
                if not image:
                    continue
                row = ctypes.string_at(image.contents.data, width * 4)
                self.samples.append((time.monotonic(), row))
                image.contents.destroy_image(image)
        finally:
            x11.XCloseDisplay(dpy)

    def stop(self) -> list[tuple[float, bytes]]:
        self._stop.set()
        self._thread.join(10)
        return self.samples

    @staticmethod
    def pixel(row: bytes, x: int) -> tuple[int, int, int]:
        b, g, r = row[x * 4:x * 4 + 3]
        return r, g, b


class Display:
    """An Xvfb display with the Composite extension and xcompmgr, like scripts/xsession.sh."""

    def __init__(self, size: str = "1280x800x24"):
        for n in range(160, 260):
            if not Path(f"/tmp/.X{n}-lock").exists() and not Path(f"/tmp/.X11-unix/X{n}").exists():
                break
        self.name = f":{n}"
        self._xvfb = subprocess.Popen(["Xvfb", self.name, "-screen", "0", size, "+extension", "Composite",
                                       "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if Path(f"/tmp/.X11-unix/X{n}").exists():
                break
            time.sleep(0.05)
        env = dict(os.environ, DISPLAY=self.name)
        self._compositor = subprocess.Popen(["xcompmgr"], env=env, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)

    def close(self) -> None:
        for p in (self._compositor, self._xvfb):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()


class WineProcess:
    """A Windows program started under Wine, its output collected in files."""

    def __init__(self, args, cwd: Path, env: dict[str, str], work: Path):
        stamp = time.monotonic_ns()
        self._out = work / f".out-{stamp}"
        self._err = work / f".err-{stamp}"
        with open(self._out, "wb") as out, open(self._err, "wb") as err:
            self.popen = subprocess.Popen(["wine", *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                          stdout=out, stderr=err)
        self.args = self.popen.args

    @property
    def returncode(self):
        return self.popen.returncode

    def poll(self):
        return self.popen.poll()

    def wait(self, timeout: float | None = None) -> int:
        return self.popen.wait(timeout)

    def kill(self) -> None:
        if self.popen.poll() is None:
            self.popen.kill()
            self.popen.wait(10)

    def output(self) -> bytes:
        return self._out.read_bytes() if self._out.exists() else b""

    def errors(self) -> bytes:
        return self._err.read_bytes() if self._err.exists() else b""

    def wait_for_output(self, text: bytes, timeout: float = 30) -> bytes:
        """Waits until the program has written text (a program that keeps running, e.g. holdopen)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            out = self.output()
            if text in out:
                return out
            if self.popen.poll() is not None and text not in self.output():
                break
            time.sleep(0.05)
        raise AssertionError(f"{self.args} did not write {text!r}: {self.output()!r} {self.errors()[-500:]!r}")

    def cleanup(self) -> None:
        self._out.unlink(missing_ok=True)
        self._err.unlink(missing_ok=True)


class Session:
    def __init__(self, name: str, *, store: dict | None = None, temp_name: str = "Temp",
                 build: Path | None = None, with_app: bool = True):
        self.build = Path(build) if build else build_dir()
        self.work = self.build / "e2e-work" / name
        if self.work.exists():
            shutil.rmtree(self.work)
        self.app_dir = self.work / "app"
        self.temp_dir = self.work / temp_name
        self.shots_dir = self.build / "e2e-screens"
        for d in (self.app_dir, self.temp_dir, self.shots_dir):
            d.mkdir(parents=True, exist_ok=True)
        for exe in DOUBLES:
            shutil.copy2(self.build / "tests" / "doubles" / exe, self.app_dir / exe)
        self.app_exe = self.app_dir / "Clearbay.exe"
        if with_app:
            built = self.build / "app" / "Clearbay.exe"
            if not built.exists():
                raise unittest.SkipTest(f"{built} is not built")
            shutil.copy2(built, self.app_exe)
        psstore.write_store(self.app_dir, **(store or {}))
        self.display: Display | None = None
        self.env = wine_env(self.build)
        if not os.environ.get("DISPLAY"):
            self.display = Display()
            self.env["DISPLAY"] = self.display.name
        else:
            self.env["DISPLAY"] = os.environ["DISPLAY"]
        self.env.pop("PSDOUBLE_DIR", None)
        self._procs: list[subprocess.Popen] = []
        self.app_pid: int | None = None  # Windows process id
        self._app_launcher: WineProcess | None = None
        # Bring up the Wine server and its desktop before a test starts processes side by side:
        # two first processes racing to create the desktop can leave one of them stuck.
        self.wine("probe.exe", "list", "--class", "-", timeout=120)

    # --- processes -----------------------------------------------------------------

    def wine(self, *args: str, timeout: float = 60, cwd: Path | None = None,
             env: dict[str, str] | None = None) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end. Output goes through files, not pipes: the Wine
        server and its services inherit the descriptors of the process that starts them, so a
        pipe may never reach its end."""
        p = self.popen(*args, cwd=cwd, env=env)
        try:
            p.wait(timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            raise
        return subprocess.CompletedProcess(p.args, p.returncode, p.output(), p.errors())

    def popen(self, *args: str, cwd: Path | None = None, env: dict[str, str] | None = None) -> "WineProcess":
        p = WineProcess(args, cwd or self.app_dir, {**self.env, **(env or {})}, self.work)
        self._procs.append(p)
        return p

    def launch(self, command_line: str, *, wait: bool = True, flags: int | None = None, show: int | None = None,
               creation: int | None = None, env: dict[str, str] | None = None, cwd: Path | None = None,
               timeout: float = 60) -> dict:
        """Starts a command line with launcher.exe (by default exactly as the program starts
        PowerShell: flags 0x41, SW_HIDE, a new console) and returns its JSON report."""
        args, cmdfile = self._launcher_args(command_line, flags=flags, show=show, creation=creation, env=env,
                                            cwd=cwd)
        if not wait:
            args.insert(1, "--no-wait")
        done = self.wine(*args, timeout=timeout)
        cmdfile.unlink(missing_ok=True)
        try:
            return json.loads(done.stdout.decode("utf-8").strip().splitlines()[-1])
        except (IndexError, ValueError):
            raise AssertionError(f"launcher gave no report: {done.stdout!r} {done.stderr!r}")

    def powershell(self, command_line: str, **kwargs) -> tuple[dict, dict]:
        """Runs one command line through the launcher; returns (launcher report, the double's log entry)."""
        before = len(self.log(queries=True))
        report = self.launch(command_line, **kwargs)
        entries = self.log(queries=True)
        if len(entries) != before + 1:
            raise AssertionError(f"expected one new log entry, found {len(entries) - before}: {report}")
        return report, entries[-1]

    def start_app(self, *args: str, temp: Path | None = None) -> int:
        """Starts Clearbay.exe as a user would (normal window, no special start-up flags)
        with the session's temporary directory; returns its Windows process id."""
        # The start-up marks tell when the program takes input (wait_main_window).
        self.app_trace = self.work / "startup-trace.txt"
        self.app_trace.unlink(missing_ok=True)
        self.env["CB_STARTUP_TRACE"] = winpath(self.app_trace)
        temp_win = winpath(temp or self.temp_dir)
        line = '"' + winpath(self.app_exe) + '"' + "".join(" " + a for a in args)
        launcher_args, _ = self._launcher_args(line, flags=0, show=1, creation=0,
                                               env={"TEMP": temp_win, "TMP": temp_win}, cwd=self.app_dir)
        # The launcher stays to learn the exit code (see app_exit).
        self._app_launcher = self.popen(launcher_args[0], "--watch", *launcher_args[1:])
        report = json.loads(self._app_launcher.wait_for_output(b"}", timeout=60).decode("utf-8").splitlines()[0])
        if not report.get("started"):
            raise AssertionError(f"Clearbay.exe did not start: {report}")
        self.app_pid = int(report["pid"])
        return self.app_pid

    def wait_main_window(self, timeout: float = 60) -> dict:
        """The main window of the program last started, once its update check has
        decided: until then the window takes no clicks (they would be lost)."""
        main = self.wait_window("TForm1", "Clearbay", timeout=timeout, pid=self.app_pid)
        deadline = time.time() + timeout
        while not any(line.startswith("update checked ") for line in self._trace_lines()):
            if time.time() > deadline:
                raise AssertionError(f"the update check did not end within {timeout} s")
            time.sleep(0.05)
        return main

    def _trace_lines(self) -> list[str]:
        try:
            return self.app_trace.read_text().splitlines()
        except FileNotFoundError:
            return []

    def app_exit(self, timeout: float = 30) -> int:
        """Waits for the program started by start_app to end by itself and returns its exit
        code. A crash on the way out (Wine's debugger, an exception code) fails here."""
        try:
            self._app_launcher.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program did not end within {timeout} s") from None
        lines = self._app_launcher.output().decode("utf-8").strip().splitlines()
        if len(lines) < 2:
            raise AssertionError(f"no exit report: {lines} {self._app_launcher.errors()[-500:]!r}")
        return int(json.loads(lines[-1])["exit_code"])

    def _launcher_args(self, command_line: str, *, flags, show, creation, env, cwd) -> tuple[list[str], Path]:
        cmdfile = self.work / f"cmdline-{time.monotonic_ns()}.txt"
        cmdfile.write_bytes(command_line.encode("utf-8"))
        args = ["launcher.exe"]
        for key, value in (("--flags", flags), ("--show", show), ("--creation", creation)):
            if value is not None:
                args += [key, str(value)]
        for key, value in (env or {}).items():
            args += ["--env", f"{key}={value}"]
        if cwd is not None:
            args += ["--cwd", winpath(cwd)]
        args += ["--cmdfile", winpath(cmdfile)]
        return args, cmdfile

    # --- what is on screen ---------------------------------------------------------------

    def probe(self, *args: str, timeout: float = 60):
        done = self.wine("probe.exe", *args, timeout=timeout)
        text = done.stdout.decode("utf-8").strip()
        return json.loads(text) if text else None

    def windows(self, cls: str | None = None, pid: int | None = None, visible_only: bool = True) -> list[dict]:
        args = ["list"]
        if cls:
            args += ["--class", cls]
        if pid:
            args += ["--pid", str(pid)]
        if visible_only:
            args.append("--visible")
        return self.probe(*args)

    def wait_window(self, cls: str, text: str | None = None, timeout: float = 30, pid: int | None = None) -> dict:
        args = ["wait", "--class", cls, "--timeout", str(int(timeout * 1000))]
        if text is not None:
            args += ["--text", text]
        if pid:
            args += ["--pid", str(pid)]
        found = self.probe(*args, timeout=timeout + 30)
        if not found or found.get("timeout"):
            raise AssertionError(f"no window of class {cls!r} text {text!r} within {timeout} s; "
                                 f"on screen: {[(w['class'], w['text']) for w in self.windows()]}")
        return found

    def wait_gone(self, cls: str, text: str | None = None, timeout: float = 30, pid: int | None = None) -> None:
        args = ["wait", "--gone", "--class", cls, "--timeout", str(int(timeout * 1000))]
        if text is not None:
            args += ["--text", text]
        if pid:
            args += ["--pid", str(pid)]
        if (self.probe(*args, timeout=timeout + 30) or {}).get("timeout"):
            raise AssertionError(f"window of class {cls!r} still shown after {timeout} s")

    def refresh(self, window: dict) -> dict:
        """The window's current description (position, texts, children)."""
        for w in self.probe("list"):
            if w["hwnd"] == window["hwnd"]:
                return w
        raise AssertionError(f"window {window['hwnd']} is gone")

    def wait_message_box(self, text: str | None = None, timeout: float = 30, pid: int | None = None) -> dict:
        """Waits for a standard dialog box (class #32770), optionally captioned text."""
        return self.wait_window("#32770", text, timeout, pid or self.app_pid)

    @staticmethod
    def texts(window: dict) -> list[str]:
        """Every child text of a window, depth first."""
        out = []
        for child in window.get("children", []):
            if child["text"]:
                out.append(child["text"])
            out += Session.texts(child)
        return out

    @staticmethod
    def child(window: dict, text: str | None = None, cls: str | None = None, ident: int | None = None) -> dict:
        for c in window.get("children", []):
            if (text is None or c["text"].replace("&", "") == text) and (cls is None or c["class"] == cls) and \
                    (ident is None or c.get("id") == ident):
                return c
            try:
                return Session.child(c, text, cls, ident)
            except KeyError:
                pass
        raise KeyError(f"no child text={text!r} class={cls!r} id={ident!r}")

    # --- input ------------------------------------------------------------------------------------

    def xdotool(self, *args: str) -> None:
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=30)

    def click_screen(self, x: int, y: int, button: int = 1) -> None:
        self.xdotool("mousemove", "--sync", str(x), str(y))
        time.sleep(0.05)
        self.xdotool("click", str(button))

    def click(self, window: dict, x: int, y: int, button: int = 1) -> None:
        """Clicks at client coordinates of a window (Windows screen coordinates are X root ones)."""
        left, top = window["client"][0], window["client"][1]
        self.click_screen(left + x, top + y, button)

    def move(self, window: dict, x: int, y: int) -> None:
        left, top = window["client"][0], window["client"][1]
        self.xdotool("mousemove", "--sync", str(left + x), str(top + y))

    def press(self, box: dict, button_text: str) -> None:
        """Presses a button of a dialog box by its caption (accelerator ampersands ignored)."""
        button = self.child(box, text=button_text)
        r = button["rect"]
        self.click_screen((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)

    def key(self, *keys: str) -> None:
        self.xdotool("key", *keys)

    def cursor(self) -> str:
        """The pointer shape shown now, as a standard cursor name (arrow, ibeam, wait, hand,
        appstarting, ...). Read from the X server: Wine shows the standard Windows cursors as
        the named X cursors of the theme, and a cursor handle of another process means nothing
        to the probe under Wine."""
        name = x_cursor_name(self.env["DISPLAY"])
        return X_CURSORS.get(name, name or "unnamed")

    # --- the double and the screen ---------------------------------------------------------------

    def log(self, queries: bool = False) -> list[dict]:
        """The double's calls; without the program's queries of which apps are
        installed (they come after every operation) unless asked for."""
        return [e for e in psstore.read_log(self.app_dir)
                if queries or e["cmdline"] != INSTALLED_QUERY]

    def store(self) -> psstore.State:
        return psstore.read_store(self.app_dir)

    def write_store(self, **kwargs) -> None:
        psstore.write_store(self.app_dir, **kwargs)

    def screenshot(self, name: str) -> Path:
        path = self.shots_dir / f"{self.work.name}-{name}.png"
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, check=True, timeout=30,
                       capture_output=True)
        return path

    # --- end -----------------------------------------------------------------------------------------

    def close(self) -> None:
        for p in self._procs:
            p.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=60)
        for p in self._procs:
            p.cleanup()
        self._procs.clear()
        if self.display:
            self.display.close()
            self.display = None

    def __enter__(self) -> "Session":
        return self

    def __exit__(self, *exc) -> None:
        self.close()


# --- network -------------------------------------------------------------------------------------------

def in_private_network() -> bool:
    return os.environ.get("CB_E2E_NETNS") == "1" and bool(os.environ.get("CB_E2E_HOSTS"))


def require_private_network() -> None:
    if not in_private_network():
        raise unittest.SkipTest("needs the private network of tests/e2e/netns-run.sh")


def set_hosts(names=httpserver.HOST_NAMES) -> None:
    """Rewrites the namespace's hosts file in place: only these names resolve (to 127.0.0.1)."""
    require_private_network()
    with open(os.environ["CB_E2E_HOSTS"], "w") as f:
        f.write(httpserver.hosts_text(names))


_servers: list[httpserver.UpdateServer] = []


def update_server(port: int = 80) -> httpserver.UpdateServer:
    """A started loopback server for the program's host names; stop it (or use `with`).
    A server that an earlier test left running (a set-up that failed after starting it)
    is stopped first, so that one test's leak does not fail the next."""
    require_private_network()
    set_hosts()
    while _servers:
        _servers.pop().stop()
    server = httpserver.UpdateServer("127.0.0.1", port).start()
    _servers.append(server)
    return server
