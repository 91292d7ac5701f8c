"""Runs the benchmarks and prints one Markdown table, each figure beside the machine it ran on.

Usage: run_bench.py TICK_BENCH WINE_DIR SCR BEFORE_SCR PICTURE_DIR

- native: the Google Benchmark program TICK_BENCH (the motion step for ten pictures, and a whole
  tick: step plus frame geometry);
- under Wine, in a 1920 x 1080 virtual screen of its own in WINE_DIR: time from process start to
  the first frame with ten 4000 x 3000 24-bit pictures beside the time to read those files; CPU
  time of the process per second of display with ten pictures beside none; the tick rate
  delivered, from the pictures' displacement between two screen captures; resident memory after
  start beside the sum of the fitted bitmaps (cx * cy * 4 each), and with no pictures beside
  BEFORE_SCR, the build that still imported the file dialog library at start-up.
"""

import contextlib
import ctypes
import ctypes.util
import json
import os
import statistics
import subprocess
import sys
import time

import numpy
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import winedrive  # noqa: E402

SCREEN = (1920, 1080)
LOADED = (4000, 3000)
COLOURS = [(230, 40, 40), (40, 200, 40), (60, 60, 230), (220, 210, 40), (210, 40, 210),
           (40, 210, 210), (240, 140, 20), (140, 70, 200), (250, 250, 250), (120, 200, 90)]
PACKED = [r << 16 | g << 8 | b for r, g, b in COLOURS]
TIMED_STARTS = 3
CPU_SECONDS = 10.0
TICK_PAIRS = 20
TICK_GAP = 0.5
PARK = (400, 300)


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores"


def native_rows(tick_bench):
    result = subprocess.run([tick_bench, "--benchmark_format=json",
                             "--benchmark_repetitions=5",
                             "--benchmark_report_aggregates_only=true"],
                            stdout=subprocess.PIPE, check=True, text=True)
    medians = {b["run_name"]: b for b in json.loads(result.stdout)["benchmarks"]
               if b.get("aggregate_name") == "median"}
    rows = []
    for name, text in (("MotionStepTenPictures", "motion step, ten pictures (native)"),
                       ("TickTenPictures", "whole tick: step + frame geometry, ten pictures "
                                           "(native)")):
        bench = medians[name]
        rows.append((text, f"{bench['real_time']:.0f} {bench['time_unit']} per tick "
                           f"(median of 5)"))
    return rows


# --- the screen, read straight from the X server -----------------------------------------------

class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Screen:
    """Whole-screen captures through XGetImage, in about half the time of a Pillow screenshot:
    the capture time bounds how sharply a frame is timed."""

    Z_PIXMAP = 2

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {display}")
        self.root = self.x.XDefaultRootWindow(self.display)

    def capture(self):
        """(seconds on the monotonic clock halfway through the capture, rows of 0xRRGGBB)."""
        started = time.monotonic()
        image = self.x.XGetImage(self.display, self.root, 0, 0, SCREEN[0], SCREEN[1],
                                 0xFFFFFFFF, self.Z_PIXMAP)
        taken = (started + time.monotonic()) / 2
        info = image.contents
        if info.bits_per_pixel != 32 or info.bytes_per_line != 4 * SCREEN[0]:
            raise RuntimeError(f"unexpected image layout: {info.bits_per_pixel} bpp")
        raw = ctypes.string_at(info.data, info.bytes_per_line * info.height)
        self.x.XDestroyImage(image)
        return taken, (numpy.frombuffer(raw, numpy.uint32) & 0xFFFFFF).reshape(SCREEN[::-1])

    def close(self):
        self.x.XCloseDisplay(self.display)


def boxes(pixels):
    """winedrive.colour_boxes of a capture."""
    return winedrive.colour_boxes(Image.frombuffer("RGB", SCREEN, pixels, "raw", "BGRX", 0, 1))


def shows_pictures(pixels):
    return numpy.isin(pixels, PACKED).any()


def black_centre(pixels):
    return pixels[SCREEN[1] // 2, SCREEN[0] // 2] == 0


def fitted_size(width, height, count):
    """The size the display shrinks a picture to (halving both sides, see saver/fitting.h)."""
    if width <= SCREEN[0] // count and height <= SCREEN[1] // count:
        return width, height
    while width > SCREEN[0] // (count // 2) or height > SCREEN[1] // (count // 2):
        width, height = width // 2, height // 2
    return width, height


# --- one process ------------------------------------------------------------------------------

def scr_pid(program):
    """The corvelle.scr process of a program started by winedrive: wine-run's session."""
    found = subprocess.run(["pgrep", "-s", str(program.popen.pid), "-x", "corvelle.scr"],
                           capture_output=True, text=True).stdout.split()
    if len(found) != 1:
        raise RuntimeError(f"corvelle.scr processes: {found}")
    return int(found[0])


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no VmRSS")


@contextlib.contextmanager
def display(wine, scr):
    """One display run, started with the pointer parked and ended by a 21-pixel move: yields the
    program and the instant it was started."""
    wine.move_pointer(*PARK)
    started = time.monotonic()
    program = wine.start(scr, "/s")
    try:
        yield program, started
    finally:
        wine.end_display(program, (PARK[0] + 21, PARK[1]))


def first_frame(program, started, screen, shown, timeout=120):
    """Seconds from the process start to the first capture for which shown(pixels) holds."""
    while time.monotonic() - started < timeout:
        taken, pixels = screen.capture()
        if shown(pixels):
            return taken - started
        if not program.running():
            raise RuntimeError(f"the display ended: {program.output()[-500:]}")
    raise RuntimeError("no frame within the timeout")


def tick_rates(screen, size):
    """Ticks per second, from pictures seen whole in two captures TICK_GAP apart that moved as
    far across as down (no rebound in between): one pixel per axis per tick."""
    rates = []
    for _ in range(TICK_PAIRS):
        first_at, first = screen.capture()
        time.sleep(TICK_GAP)
        second_at, second = screen.capture()
        before, after = boxes(first), boxes(second)
        for colour in set(before) & set(after) & set(COLOURS):
            a, b = before[colour], after[colour]
            if a[2:4] != size or b[2:4] != size:
                continue   # partly hidden: its box is not its position
            across, down = abs(b[0] - a[0]), abs(b[1] - a[1])
            if across == down and across > 0:
                rates.append(across / (second_at - first_at))
    return rates


def measure(wine, screen, scr, shown, starts=TIMED_STARTS, details=True, size=None):
    """Starts the display `starts` times, timing its first frame (shown(pixels) holds); two
    seconds after the first start reads its resident memory and, with details, its CPU time
    over CPU_SECONDS, then the tick rates of pictures of the given size."""
    found, times = {}, []
    for attempt in range(starts):
        with display(wine, scr) as (program, started):
            times.append(first_frame(program, started, screen, shown))
            if attempt > 0:
                continue
            time.sleep(2)
            pid = scr_pid(program)
            found["rss"] = resident_mib(pid)
            if details:
                cpu_before, wall_before = cpu_seconds(pid), time.monotonic()
                time.sleep(CPU_SECONDS)
                found["cpu"] = ((cpu_seconds(pid) - cpu_before)
                                / (time.monotonic() - wall_before))
            if size:
                found["rates"] = tick_rates(screen, size)
    found["start"] = statistics.median(times)
    return found


def wine_rows(wine_dir, scr, before_scr, picture_dir):
    subprocess.run([os.path.join(winedrive.SCRIPTS, "wine-env-start"), wine_dir,
                    f"{SCREEN[0]}x{SCREEN[1]}"], check=True, stdout=subprocess.DEVNULL)
    wine = winedrive.Session(wine_dir)
    screen = Screen(wine.display)
    try:
        wine.x("xsetroot", "-solid", "#3060c0")
        paths = [os.path.join(picture_dir, f"large{k + 1}.bmp") for k in range(10)]
        file_size = 54 + LOADED[1] * (LOADED[0] * 3 + 3) // 4 * 4
        for path, colour in zip(paths, COLOURS):
            if not os.path.exists(path) or os.path.getsize(path) != file_size:
                winedrive.write_bmp(path, LOADED, colour)

        def read_all():
            started = time.monotonic()
            for path in paths:
                with open(path, "rb") as f:
                    f.read()
            return time.monotonic() - started
        read = statistics.median(read_all() for _ in range(TIMED_STARTS))
        fitted = fitted_size(*LOADED, 10)

        wine.store_pictures({k + 1: winedrive.windows_path(p) for k, p in enumerate(paths)})
        full = measure(wine, screen, scr, shows_pictures, size=fitted)
        # No pictures: empty stored paths, so nothing loads and nothing falls back.
        wine.store_pictures({k: "" for k in range(1, 11)})
        empty = measure(wine, screen, scr, black_centre)
        before = measure(wine, screen, before_scr, black_centre, starts=1, details=False)
    finally:
        screen.close()
        subprocess.run([os.path.join(winedrive.SCRIPTS, "wine-env-stop"), wine_dir],
                       stdout=subprocess.DEVNULL)

    megabytes = len(paths) * file_size / 2 ** 20
    cpu = f"ten pictures {full['cpu'] * 1000:.0f} ms/s, none {empty['cpu'] * 1000:.0f} ms/s"
    if empty["cpu"] > 0:
        cpu += f"; ratio {full['cpu'] / empty['cpu']:.1f}x"
    rows = [("start to first frame, ten 4000x3000 24-bit pictures (Wine, 1920x1080)",
             f"{full['start']:.2f} s (median of {TIMED_STARTS}); reading the {megabytes:.0f} MB "
             f"of files alone: {read * 1000:.0f} ms (page cache warm); ratio "
             f"{full['start'] / read:.0f}x"),
            ("start to black window on screen, no pictures (Wine)",
             f"{empty['start']:.2f} s (median of {TIMED_STARTS})"),
            ("CPU time of the process per second of display (Wine)", cpu)]
    rates = full["rates"]
    if len(rates) >= 2:
        quartiles = statistics.quantiles(rates, n=4)
        rows.append(("tick rate delivered, ten pictures (Wine; the timer asks for 1 ms)",
                     f"{quartiles[1]:.0f} ticks/s (median of {len(rates)} displacements over "
                     f"{TICK_GAP} s; quartiles {quartiles[0]:.0f}-{quartiles[2]:.0f})"))
    else:
        rows.append(("tick rate delivered (Wine)", "no picture seen whole twice"))
    bitmaps = 10 * fitted[0] * fitted[1] * 4
    rows.append(("resident memory after start (Wine)",
                 f"ten pictures {full['rss']:.1f} MiB, none {empty['rss']:.1f} MiB; fitted "
                 f"bitmaps 10 x {fitted[0]}x{fitted[1]}x4 = {bitmaps / 2 ** 20:.2f} MiB (the "
                 f"loaded originals would be {10 * LOADED[0] * LOADED[1] * 4 / 2 ** 20:.0f} MiB)"))
    rows.append(("resident memory, no pictures (Wine)",
                 f"{empty['rss']:.1f} MiB; before the file dialog library was loaded on demand: "
                 f"{before['rss']:.1f} MiB"))
    return rows


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    tick_bench, wine_dir, scr, before_scr, picture_dir = sys.argv[1:]
    where = machine()
    load_before = os.getloadavg()[0]
    rows = native_rows(tick_bench) + wine_rows(wine_dir, scr, before_scr, picture_dir)
    load_after = os.getloadavg()[0]
    print("| Measure | Result | Machine |")
    print("|---|---|---|")
    for measure_name, result in rows:
        print(f"| {measure_name} | {result} | {where} |")
    print(f"\nMeasured {time.strftime('%Y-%m-%d')}; load average {load_before:.1f} before, "
          f"{load_after:.1f} after (the machine is shared).")


if __name__ == "__main__":
    main()
