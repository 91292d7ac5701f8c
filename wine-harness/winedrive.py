"""Drives Windows programs in a Wine environment made by wine-env-start, the way a user would:
start them, point, type, read the screen. The run command, the benchmark and the tests share it."""

import os
import re
import signal
import subprocess
import tempfile
import time

from PIL import Image, ImageGrab

HARNESS = os.path.dirname(os.path.abspath(__file__))
PICTURE_KEY = r"HKEY_CURRENT_USER\SoftWare\Tessarel\Corvelle"


def wait_until(predicate, timeout, interval=0.05):
    """Polls predicate until it gives a true value or timeout seconds pass; returns its value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def windows_path(path):
    """The path under which a Wine program sees a file of this machine (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_bmp(path, size, colour):
    """Writes a 24-bit bitmap of one colour and returns the path a Wine program knows it by."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    Image.new("RGB", size, colour).save(path, "BMP")
    return windows_path(path)


class Program:
    """A Windows program started through wine-run. Its output goes to a file: Wine's helper
    processes inherit and hold a pipe, whose reader would never see its end."""

    def __init__(self, session, *command):
        self.log = tempfile.NamedTemporaryFile(prefix="wine-", suffix=".log", delete=False)
        # A session of its own, so that kill() reaches the Windows program too.
        self.popen = subprocess.Popen([os.path.join(HARNESS, "wine-run"), session.dir, *command],
                                      env=session.env, stdin=subprocess.DEVNULL, stdout=self.log,
                                      stderr=subprocess.STDOUT, start_new_session=True)

    def running(self):
        return self.popen.poll() is None

    def wait(self, timeout):
        """The exit code, or None while the program still runs after timeout seconds."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def __del__(self):
        os.unlink(self.log.name)   # nothing of a run is left in the temporary folder

    def output(self):
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def kill(self):
        try:
            os.killpg(self.popen.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.popen.wait()


class Session:
    """The Wine prefix, X display and wineserver that wine-env-start prepared in wine_dir."""

    def __init__(self, wine_dir):
        self.dir = os.path.abspath(wine_dir)
        self.env = dict(os.environ)
        with open(os.path.join(self.dir, "env")) as f:
            for line in f:
                key, _, value = line.strip().partition("=")
                if value:
                    self.env[key] = value.strip('"')
        self.display = self.env["DISPLAY"]
        self.prefix = self.env["WINEPREFIX"]

    def start(self, *command):
        """Starts a program once no earlier copy of it is left in Wine. A copy whose Unix process
        has ended can stay listed by the wineserver a moment longer, and with it what it held open,
        such as a single-instance mutex that would make the new copy exit at once."""
        image = os.path.basename(command[0].replace("\\", "/")).lower()
        if "." not in image:
            image += ".exe"   # as Wine lists `reg` or `msiexec`
        if not wait_until(lambda: image not in self.processes(), 15):
            raise RuntimeError(f"an earlier {image} still runs in Wine")
        return Program(self, *command)

    def processes(self):
        """The image names, in lower case, of the Windows processes that Wine runs."""
        listing = Program(self, "winedbg", "--command", "info proc")
        if listing.wait(30) is None:
            listing.kill()
            raise RuntimeError("winedbg did not list the processes within 30 s")
        return [name.lower() for name in re.findall(r"'([^']+)'", listing.output())]

    def run(self, *command, timeout=60):
        """Runs a Windows program to its end and returns its exit code."""
        program = Program(self, *command)
        code = program.wait(timeout)
        if code is None:
            program.kill()
            raise RuntimeError(f"{' '.join(command)} did not end within {timeout} s")
        return code

    def x(self, *command):
        """Runs an X client (xdotool, xsetroot, ...) on the display and returns what it printed."""
        return subprocess.run(command, env=self.env, capture_output=True, text=True, timeout=30,
                              check=True).stdout

    def windows(self, program="corvelle.scr"):
        """Visible top-level windows of a Windows program as (id, left, top, width, height)."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", program],
                               env=self.env, capture_output=True, text=True, timeout=30).stdout
        shapes = []
        for window in found.split():
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                      env=self.env, capture_output=True, text=True, timeout=30)
            if geometry.returncode != 0:
                continue   # gone since the search
            fields = dict(line.split("=", 1) for line in geometry.stdout.split())
            shapes.append((window, *(int(fields[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))))
        return shapes

    def saver_window(self):
        """The display's window once it covers the screen, or None."""
        # The whole root window: with several monitors xdotool's display size is the primary's.
        dimensions = self.x("xdpyinfo").split("dimensions:")[1].split()[0]
        size = tuple(int(side) for side in dimensions.split("x"))
        return next((w for w in self.windows() if w[3:] == size), None)

    def end_display(self, program, away):
        """Ends a display that still runs by moving the pointer to `away` (killing it if that
        does not end it), then waits until its window has left the screen."""
        if program.running():
            self.move_pointer(*away)
            if program.wait(15) is None:
                program.kill()
        wait_until(lambda: self.saver_window() is None, 15)

    def store_pictures(self, values):
        """Replaces the picture list in the registry through Wine's own reg.exe. values maps a
        picture number to a path, bytes (stored as a binary value) or a number (a DWORD)."""
        lines = ["Windows Registry Editor Version 5.00", "", f"[-{PICTURE_KEY}]", "",
                 f"[{PICTURE_KEY}]"]
        for picture, value in values.items():
            if isinstance(value, str):
                data = '"%s"' % value.replace("\\", "\\\\")
            elif isinstance(value, bytes):
                data = "hex:" + ",".join("%02x" % b for b in value)
            else:
                data = "dword:%08x" % value
            lines.append(f'"File{picture}"={data}')
        path = os.path.join(self.dir, "pictures.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines) + "\r\n")
        if self.run("reg", "import", windows_path(path)) != 0:
            raise RuntimeError("reg import failed")

    def screenshot(self):
        return ImageGrab.grab(xdisplay=self.display).convert("RGB")

    def pointer(self):
        fields = dict(item.split(":") for item in self.x("xdotool", "getmouselocation").split()[:2])
        return int(fields["x"]), int(fields["y"])

    def move_pointer(self, px, py):
        # On a display that has just started absolute moves can be lost until the pointer has
        # moved relatively once: then move by the remaining distance, until it is there.
        def arrived():
            self.x("xdotool", "mousemove", str(px), str(py))
            here = self.pointer()
            if here != (px, py):
                self.x("xdotool", "mousemove_relative", "--", str(px - here[0]), str(py - here[1]))
                here = self.pointer()
            return here == (px, py)
        if not wait_until(arrived, 10, interval=0.1):
            raise RuntimeError(f"the pointer did not reach {px},{py}")
