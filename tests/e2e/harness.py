"""Drives corvelle.scr under Wine in the test's virtual X display, the way a user would."""

import os
import signal
import subprocess
import sys
import tempfile
import time

WINE_DIR = os.environ.get("CORVELLE_WINE_DIR", "")
SCR = os.environ.get("CORVELLE_SCR", "")
REGTOOL = os.environ.get("CORVELLE_REGTOOL", "")
WINE_TOOLS = os.environ.get("CORVELLE_WINE_TOOLS", os.path.join(os.path.dirname(__file__), "..", "wine"))
WINE_RUN = os.path.join(WINE_TOOLS, "wine-run")
SAMPLES_DIR = os.environ.get("CORVELLE_SAMPLES_DIR", "")


def _read_env_file(path):
    env = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#") or "=" not in line:
                continue
            key, value = line.split("=", 1)
            env[key] = value.strip('"')
    return env


ENV = dict(os.environ)
if WINE_DIR:
    ENV.update(_read_env_file(os.path.join(WINE_DIR, "env")))


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_until(predicate, timeout, interval=0.05):
    """Polls predicate until it returns a true value or the timeout passes; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def x(*args, check_rc=True):
    """Runs an X client (xdotool, xwininfo, ...) on the test display and returns its output."""
    result = subprocess.run(list(args), env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, timeout=30)
    if check_rc and result.returncode != 0:
        raise TestFailure(f"{args[0]} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


class WineProcess:
    """A Windows program started through wine-run; its output goes to files."""

    def __init__(self, program, *arguments):
        self.log = tempfile.NamedTemporaryFile(prefix="wine-", suffix=".log", delete=False)
        # A session of its own, so that kill() reaches the Windows program and not just wine-run.
        self.popen = subprocess.Popen([WINE_RUN, WINE_DIR, program, *arguments], env=ENV,
                                      stdin=subprocess.DEVNULL, stdout=self.log,
                                      stderr=subprocess.STDOUT, start_new_session=True)

    def wait(self, timeout):
        """Returns the exit code, or None if the program is still running after timeout."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def kill(self):
        try:
            os.killpg(self.popen.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.popen.wait()


def run_wine(program, *arguments, timeout=60):
    process = WineProcess(program, *arguments)
    code = process.wait(timeout)
    if code is None:
        process.kill()
        raise TestFailure(f"{os.path.basename(program)} {' '.join(arguments)} did not end "
                          f"within {timeout} s")
    return code, process.output()


def regtool(*arguments):
    code, output = run_wine(REGTOOL, *arguments)
    check(code == 0, f"regtool {' '.join(arguments)} failed with {code}: {output}")
    return output


def registry_values():
    """Returns {picture: (type, bytes)} for the stored values File1..File10."""
    values = {}
    for line in regtool("dump").splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0].startswith("File") and parts[1] != "missing":
            picture = int(parts[0][4:])
            data = bytes.fromhex(parts[3]) if len(parts) > 3 else b""
            values[picture] = (int(parts[1]), data)
    return values


def windows_path(path):
    """The path under which a Wine program sees a file of this machine (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def screen_size():
    for line in x("xwininfo", "-root").splitlines():
        line = line.strip()
        if line.startswith("-geometry"):
            size = line.split()[1].split("+")[0]
            width, height = size.split("x")
            return int(width), int(height)
    raise TestFailure("cannot read the screen size")


def top_windows(program="corvelle.scr"):
    """Mapped top-level windows of a Wine program: list of (id, name, x, y, width, height)."""
    windows = []
    for line in x("xwininfo", "-root", "-children").splitlines():
        line = line.strip()
        if f'("{program}"' not in line:
            continue
        window_id = line.split()[0]
        info = x("xwininfo", "-id", window_id, check_rc=False)
        if "IsViewable" not in info:
            continue
        fields = {}
        for info_line in info.splitlines():
            if ":" in info_line:
                key, value = info_line.split(":", 1)
                fields[key.strip()] = value.strip()
        name = info.split("\n", 2)[1].split(window_id, 1)[-1].strip() if window_id in info else ""
        windows.append((window_id, name, int(fields["Absolute upper-left X"]),
                        int(fields["Absolute upper-left Y"]), int(fields["Width"]),
                        int(fields["Height"])))
    return windows


def saver_window():
    """The saver's full-screen window once it is mapped, else None."""
    width, height = screen_size()
    for window in top_windows():
        if window[4] >= width and window[5] >= height:
            return window
    return None


class Screenshot:
    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb

    def pixel(self, px, py):
        offset = 3 * (py * self.width + px)
        return tuple(self.rgb[offset:offset + 3])

    def first_non_black(self):
        """(x, y) of the first pixel that is not pure black, or None."""
        stripped = self.rgb.lstrip(b"\0")
        if not stripped:
            return None
        index = (len(self.rgb) - len(stripped)) // 3
        return index % self.width, index // self.width

    def save_png(self, path):
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8",
                        "rgb:-", path], input=self.rgb, check=True, timeout=60)


def screenshot():
    with tempfile.NamedTemporaryFile(suffix=".rgb") as raw:
        x("import", "-window", "root", "-depth", "8", f"rgb:{raw.name}")
        data = open(raw.name, "rb").read()
    width, height = screen_size()
    check(len(data) == width * height * 3, f"screenshot has {len(data)} bytes for {width}x{height}")
    return Screenshot(width, height, data)


def mouse_move(px, py):
    # xdotool's --sync never returns when the pointer already stands there, and on a display
    # that has just started absolute moves are lost until the pointer has moved relatively once:
    # move by the remaining distance then, and repeat until the pointer is there.
    def moved():
        x("xdotool", "mousemove", str(px), str(py))
        here = cursor_position()
        if here != (px, py):
            x("xdotool", "mousemove_relative", "--", str(px - here[0]), str(py - here[1]))
            here = cursor_position()
        return here == (px, py)
    check(wait_until(moved, 10, interval=0.1), f"the pointer did not reach {px},{py}")


def cursor_position():
    fields = dict(item.split(":") for item in x("xdotool", "getmouselocation").split()[:2])
    return int(fields["x"]), int(fields["y"])


class SaverRun:
    """One run of the display: started with the mouse parked, ended by the test."""

    def __init__(self, *arguments, park=(400, 300)):
        self.arguments = arguments or ("/s",)
        self.park = park

    def __enter__(self):
        check(saver_window() is None, "a saver window is already on the screen")
        mouse_move(*self.park)
        self.process = WineProcess(SCR, *self.arguments)
        window = wait_until(lambda: self.process.popen.poll() is not None or saver_window(), 60)
        if self.process.popen.poll() is not None:
            raise TestFailure(f"saver exited with {self.process.popen.returncode} before its "
                              f"window appeared: {self.process.output()}")
        check(window, "the saver window did not appear within 60 s")
        self.window = window
        return self

    def wait_exit(self, timeout):
        return self.process.wait(timeout)

    def __exit__(self, *exc):
        if self.process.popen.poll() is None:
            # Leave nothing behind for the next test, whatever happened here.
            mouse_move(self.park[0] + 200, self.park[1] + 200)
            if self.process.wait(10) is None:
                self.process.kill()
        wait_until(lambda: saver_window() is None, 10)
        return False


def main(tests):
    """Runs named test functions in order; prints a verdict per test and a summary line."""
    failed = 0
    for test in tests:
        name = test.__name__
        started = time.monotonic()
        try:
            test()
            print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
        except TestFailure as failure:
            failed += 1
            print(f"FAIL {name}: {failure}", flush=True)
        except Exception as error:  # a broken harness must fail the test, not hide it
            failed += 1
            print(f"ERROR {name}: {type(error).__name__}: {error}", flush=True)
    print(f"{len(tests) - failed} passed, {failed} failed", flush=True)
    sys.exit(1 if failed else 0)
