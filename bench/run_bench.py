"""Measures one or two builds of the screen saver side by side and prints one Markdown table.

Usage: run_bench.py WINE_DIR PICTURE_DIR ROUNDS LABEL=BUILD_DIR [LABEL=BUILD_DIR]

BUILD_DIR holds native/bench/tick_bench and win64/corvelle.scr. Each round measures every build
once with the same routine, the order alternating from round to round (A B, B A, ...), in one
Wine environment in a 1920x1080 virtual screen of its own in WINE_DIR:
- natively, the motion step for ten pictures and a whole tick (step plus frame geometry);
- start to first frame with ten 4000x3000 24-bit pictures (made once in PICTURE_DIR);
- start to black window with no pictures;
- CPU time of the process per second of display, with ten pictures and with none;
- the tick rate, from the pictures' displacement between two screen captures;
- resident memory two seconds after start, with ten pictures and with none;
- start to first frame and the peak working set while loading, for ten 6000x4000 photos as JPEGs
  (some with an EXIF orientation) and for the same pictures as bitmaps (made once with Pillow in
  PICTURE_DIR). A build that shows no photo within a minute gets "none" there;
- start to first frame for ten fields on one folder tree of 10,000 files in 100 subfolders (200 of
  them 4000x3000 photos) and for ten fields naming ten of those photos; and for nine named
  pictures beside a field on a tree of 200,000 entries, and the nine alone (the trees are made once
  in PICTURE_DIR). A build without folder draws gets "none" for the first, after 20 seconds.
Until the first frame, captures come every 50 ms. A value is the median over the rounds. With two builds the last column is the ratio of the
first to the second, the median of the rounds' ratios followed by their spread (min-max).
"""

import contextlib
import ctypes
import ctypes.util
import json
import math
import os
import statistics
import subprocess
import sys
import time

import numpy
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine-harness"))
import winedrive  # noqa: E402

SCREEN = (1920, 1080)
LOADED, FITTED = (4000, 3000), (250, 187)   # ten on 1920x1080: halved 4 times to fit 384x216
COLOURS = [(230, 40, 40), (40, 200, 40), (60, 60, 230), (220, 210, 40), (210, 40, 210),
           (40, 210, 210), (240, 140, 20), (140, 70, 200), (250, 250, 250), (120, 200, 90)]
PACKED = numpy.array([r << 16 | g << 8 | b for r, g, b in COLOURS], dtype=numpy.uint32)
CPU_SECONDS, TICK_PAIRS, TICK_GAP, CAPTURE_GAP = 5.0, 10, 0.5, 0.05
PARK = (400, 300)
ROOT = 0x3060C0   # the root window's colour, which the display covers
PHOTO = (6000, 4000)
ORIENTED = {3: 6, 6: 8, 9: 3}   # photos stored turned, with the EXIF orientation that says so
# Ten photos on 1920x1080 are halved five times, to 187x125 (125x187 upright): the first frame
# paints them all, and photos have few black pixels.
PHOTO_FRAME_PIXELS = 10 * 187 * 125 // 2
# The folder trees: 100 subfolders of two 4000x3000 photos and 98 other files; 200 subfolders of
# one small picture and 999 other files.
PHOTO_TREE, FOLDER_PHOTO, LARGE_TREE = (100, 2, 98), (4000, 3000), (200, 1, 1000)
TREE_FRAME_PIXELS = 10 * FITTED[0] * FITTED[1] // 2
MEASURES = [  # key, row, format of a value
    ("step", "motion step, ten pictures (native)", "{:.0f} ns"),
    ("tick", "whole tick: step + frame geometry, ten pictures (native)", "{:.0f} ns"),
    ("first", "start to first frame, ten 4000x3000 pictures (Wine)", "{:.2f} s"),
    ("black", "start to black window, no pictures (Wine)", "{:.2f} s"),
    ("cpu_ten", "CPU per second of display, ten pictures (Wine)", "{:.0f} ms/s"),
    ("cpu_none", "CPU per second of display, no pictures (Wine)", "{:.0f} ms/s"),
    ("rate", "ticks per second, ten pictures (Wine; the timer asks for 1 ms)", "{:.0f}"),
    ("rss_ten", "resident memory, ten pictures (Wine)", "{:.1f} MiB"),
    ("rss_none", "resident memory, no pictures (Wine)", "{:.1f} MiB"),
    ("first_jpeg", "start to first frame, ten 6000x4000 photos as JPEG (Wine)", "{:.2f} s"),
    ("first_bmp", "start to first frame, the same ten as bitmaps (Wine)", "{:.2f} s"),
    ("peak_jpeg", "peak working set loading ten 6000x4000 photos as JPEG (Wine)", "{:.0f} MiB"),
    ("peak_bmp", "peak working set loading the same ten as bitmaps (Wine)", "{:.0f} MiB"),
    ("first_tree", "start to first frame, ten fields on a tree of 10,000 files (Wine)", "{:.2f} s"),
    ("first_drawn", "start to first frame, ten of its 4000x3000 photos named (Wine)", "{:.2f} s"),
    ("first_walk", "start to first frame, nine pictures and a tree of 200,000 entries (Wine)",
     "{:.2f} s"),
    ("first_nine", "start to first frame, the nine pictures alone (Wine)", "{:.2f} s"),
]


class XImage(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.c_void_p)] + [(name, ctypes.c_int) for name in (
            "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "depth",
            "bytes_per_line", "bits_per_pixel")]


class Screen:
    """Whole-screen captures through XGetImage, in about half the time of a Pillow screenshot:
    the capture time bounds how sharply a first frame is timed."""

    def __init__(self, display):
        x = self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x.XOpenDisplay.restype = x.XGetImage.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [
            ctypes.c_uint] * 2 + [ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.display = x.XOpenDisplay(display.encode())
        self.root = x.XDefaultRootWindow(self.display)

    def capture(self):
        """(monotonic seconds halfway through the capture, rows of 0xRRGGBB)."""
        started = time.monotonic()
        image = self.x.XGetImage(self.display, self.root, 0, 0, *SCREEN, 0xFFFFFFFF, 2)
        taken = (started + time.monotonic()) / 2
        info = XImage.from_address(image)
        if info.bits_per_pixel != 32 or info.bytes_per_line != 4 * SCREEN[0]:
            raise RuntimeError(f"unexpected image layout: {info.bits_per_pixel} bpp")
        raw = ctypes.string_at(info.data, info.bytes_per_line * info.height)
        self.x.XDestroyImage(image)
        return taken, (numpy.frombuffer(raw, numpy.uint32) & 0xFFFFFF).reshape(SCREEN[::-1])


def picture_places(pixels):
    """{colour: (left, top)} of each picture seen whole at its fitted size."""
    places = {}
    for colour in PACKED:
        ys, xs = numpy.nonzero(pixels == colour)
        if len(xs) == FITTED[0] * FITTED[1] and (
                xs.max() - xs.min() + 1, ys.max() - ys.min() + 1) == FITTED:
            places[int(colour)] = (int(xs.min()), int(ys.min()))
    return places


def tick_rate(screen):
    """Median ticks per second of pictures seen whole in two captures TICK_GAP apart that moved
    as far across as down (no rebound in between): one pixel per axis per tick."""
    rates = []
    for _ in range(TICK_PAIRS):
        first_at, first = screen.capture()
        time.sleep(TICK_GAP)
        second_at, second = screen.capture()
        before, after = picture_places(first), picture_places(second)
        for colour in set(before) & set(after):
            across = abs(after[colour][0] - before[colour][0])
            if across > 0 and across == abs(after[colour][1] - before[colour][1]):
                rates.append(across / (second_at - first_at))
    return statistics.median(rates) if rates else float("nan")


def process_stats(program):
    """(CPU seconds, resident MiB, peak resident MiB) of the corvelle.scr process in the
    program's session."""
    pids = subprocess.run(["pgrep", "-s", str(program.popen.pid), "-x", "corvelle.scr"],
                          capture_output=True, text=True).stdout.split()
    if len(pids) != 1:
        raise RuntimeError(f"corvelle.scr processes: {pids}")
    with open(f"/proc/{pids[0]}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    with open(f"/proc/{pids[0]}/status") as f:
        memory = {line.split(":")[0]: int(line.split()[1]) for line in f if line.startswith("Vm")}
    return ((int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"), memory["VmRSS"] / 1024,
            memory["VmHWM"] / 1024)


@contextlib.contextmanager
def display(wine, screen, scr, shown, timeout=120):
    """Runs the display once, ended by a 21-pixel move, and yields the program and the seconds
    from its start to the first capture for which shown(pixels) holds within `timeout`."""
    wine.move_pointer(*PARK)
    started = time.monotonic()
    program = wine.start(scr, "/s")
    try:
        while True:
            taken, pixels = screen.capture()
            if shown(pixels):
                break
            if not program.running() or taken - started > timeout:
                raise RuntimeError(f"no display: {program.output()[-500:]}")
            # Back-to-back captures would keep a core busy (this process and the X server) that
            # the display's loading workers could use.
            time.sleep(CAPTURE_GAP)
        yield program, taken - started
    finally:
        wine.end_display(program, (PARK[0] + 21, PARK[1]))


def shows_pictures(pixels):
    return numpy.isin(pixels, PACKED).any()


def measure_display(wine, screen, scr, shown, rate):
    """(seconds to the first frame, CPU ms per second of display, resident MiB, tick rate)."""
    with display(wine, screen, scr, shown) as (program, seconds):
        time.sleep(2)
        cpu_before, at = process_stats(program)[0], time.monotonic()
        time.sleep(CPU_SECONDS)
        cpu_after, rss, _ = process_stats(program)
        cpu = (cpu_after - cpu_before) / (time.monotonic() - at) * 1000
        return seconds, cpu, rss, tick_rate(screen) if rate else None


def shows_photos(pixels):
    return not (pixels == ROOT).any() and numpy.count_nonzero(pixels) >= PHOTO_FRAME_PIXELS


def measure_loading(wine, screen, scr, pictures, shown=shows_photos, timeout=60):
    """(seconds to the first frame, peak working set in MiB) of a display of `pictures`, or nan
    for a build that shows none of them within `timeout` seconds."""
    wine.store_pictures(pictures)
    try:
        with display(wine, screen, scr, shown, timeout=timeout) as (program, seconds):
            return seconds, process_stats(program)[2]
    except RuntimeError:
        return float("nan"), float("nan")


def make_tree(folder, shape, picture):
    """A tree of `shape` (subfolders, pictures and other files in each), the pictures made by
    picture(k, path); made once, marked done by a last file. Returns its path."""
    done = os.path.join(folder, "done")
    if not os.path.exists(done):
        subfolders, pictures, others = shape
        for k in range(subfolders):
            sub = os.path.join(folder, f"sub{k:03}")
            os.makedirs(sub, exist_ok=True)
            for n in range(pictures):
                picture(k * pictures + n, os.path.join(sub, f"picture{n}.jpg"))
            for n in range(others):
                open(os.path.join(sub, f"notes{n:04}.txt"), "w").close()
        open(done, "w").close()
    return folder


def make_trees(folder):
    """The photo tree and ten of its photos, and the large tree: their picture lists."""
    def photo(k, path):
        fields = numpy.random.default_rng(100 + k).integers(30, 226, (30, 40, 3), dtype=numpy.uint8)
        Image.fromarray(fields).resize(FOLDER_PHOTO, Image.BICUBIC).save(path, quality=85)

    def small(k, path):
        Image.new("RGB", (400, 300), COLOURS[k % 10]).save(path, quality=85)
    photos = winedrive.windows_path(make_tree(os.path.join(folder, "tree10k"), PHOTO_TREE, photo))
    walked = winedrive.windows_path(make_tree(os.path.join(folder, "tree200k"), LARGE_TREE, small))
    named = {k: photos + f"\\sub{(k - 1) * 10:03}\\picture0.jpg" for k in range(1, 11)}
    return {k: photos for k in range(1, 11)}, named, walked


def shows_tree_photos(pixels):
    return not (pixels == ROOT).any() and numpy.count_nonzero(pixels) >= TREE_FRAME_PIXELS


def measure_folders(wine, screen, scr, large, trees):
    """Seconds to the first frame of the four folder rows."""
    tree, named, walked = trees
    nine = {k: path for k, path in large.items() if k < 10}
    return {"first_tree": measure_loading(wine, screen, scr, tree, shows_tree_photos, 20)[0],
            "first_drawn": measure_loading(wine, screen, scr, named, shows_tree_photos)[0],
            "first_walk": measure_loading(wine, screen, scr, {**nine, 10: walked},
                                          shows_pictures)[0],
            "first_nine": measure_loading(wine, screen, scr, {**nine, 10: ""}, shows_pictures)[0]}


def make_photos(folder):
    """The photo set, as JPEGs and as bitmaps: smooth colour fields with a grain, some stored
    turned. Returns the two picture lists."""
    lists = {"jpg": {}, "bmp": {}}
    for k in range(1, 11):
        paths = {kind: os.path.join(folder, f"photo{k}.{kind}") for kind in lists}
        if not all(os.path.exists(path) for path in paths.values()):
            fields = numpy.random.default_rng(k).integers(30, 226, (40, 60, 3), dtype=numpy.uint8)
            photo = Image.blend(Image.fromarray(fields).resize(PHOTO, Image.BICUBIC),
                                Image.effect_noise(PHOTO, 40).convert("RGB"), 0.2)
            photo.save(paths["bmp"])
            exif = Image.Exif()
            exif[0x0112] = ORIENTED.get(k, 1)
            photo.save(paths["jpg"] + ".part", "JPEG", quality=90, exif=exif.tobytes())
            os.replace(paths["jpg"] + ".part", paths["jpg"])
        for kind, path in paths.items():
            lists[kind][k] = winedrive.windows_path(path)
    return lists["jpg"], lists["bmp"]


def measure(wine, screen, build, large, photos, trees):
    """One round of every measure of one build; `large` is the picture list of the big ones,
    `photos` the JPEG and bitmap lists of the photo set, `trees` those of the folder trees."""
    run = subprocess.run([os.path.join(build, "native", "bench", "tick_bench"),
                          "--benchmark_format=json", "--benchmark_repetitions=3",
                          "--benchmark_report_aggregates_only=true"],
                         stdout=subprocess.PIPE, check=True, text=True)
    native = {b["run_name"]: b["real_time"] for b in json.loads(run.stdout)["benchmarks"]
              if b.get("aggregate_name") == "median"}
    scr = os.path.join(build, "win64", "corvelle.scr")
    wine.store_pictures(large)
    first, cpu_ten, rss_ten, rate = measure_display(wine, screen, scr, shows_pictures, rate=True)
    wine.store_pictures({k: "" for k in range(1, 11)})   # nothing loads and nothing falls back
    black, cpu_none, rss_none, _ = measure_display(
        wine, screen, scr, lambda pixels: pixels[SCREEN[1] // 2, SCREEN[0] // 2] == 0, rate=False)
    (first_jpeg, peak_jpeg), (first_bmp, peak_bmp) = (
        measure_loading(wine, screen, scr, pictures) for pictures in photos)
    return {"step": native["MotionStepTenPictures"], "tick": native["TickTenPictures"],
            "first": first, "black": black, "cpu_ten": cpu_ten, "cpu_none": cpu_none,
            "rate": rate, "rss_ten": rss_ten, "rss_none": rss_none, "first_jpeg": first_jpeg,
            "first_bmp": first_bmp, "peak_jpeg": peak_jpeg, "peak_bmp": peak_bmp,
            **measure_folders(wine, screen, scr, large, trees)}


def table(labels, results, rounds):
    """Markdown: each measure's median per build and, for two builds, their ratio and spread."""
    header = [f"`{label}` (median of {rounds})" for label in labels]
    if len(labels) == 2:
        header.append(f"{labels[0]} / {labels[1]} (min-max over the rounds)")
    lines = ["| Measure | " + " | ".join(header) + " |", "|---" * (len(header) + 1) + "|"]
    for key, row, form in MEASURES:
        series = [[result[key] for result in results[label]] for label in labels]
        shown = [not any(math.isnan(value) for value in values) for values in series]
        cells = [form.format(statistics.median(values)) if ok else "none"
                 for values, ok in zip(series, shown)]
        if len(labels) == 2 and all(shown):
            ratios = [a / b for a, b in zip(*series)]
            cells.append(f"{statistics.median(ratios):.2f}x ({min(ratios):.2f}-{max(ratios):.2f})")
        elif len(labels) == 2:
            cells.append("none")
        lines.append(f"| {row} | " + " | ".join(cells) + " |")
    return "\n".join(lines)


def within_builds(labels, results):
    """Lines comparing rows within each build, round by round: the median and the spread of the
    photos as JPEG against bitmaps (first frame and peak working set), of ten fields on a tree
    against ten named photos, and the seconds that the 200,000-entry tree adds."""
    comparisons = [("first_jpeg", "first_bmp", "photos as JPEG / as bitmaps, first frame", "x"),
                   ("peak_jpeg", "peak_bmp", "peak working set", "x"),
                   ("first_tree", "first_drawn", "ten fields on a tree / ten named, first frame",
                    "x"),
                   ("first_walk", "first_nine", "a 200,000-entry tree beside nine adds", " s")]
    lines = []
    for label in labels:
        cells = []
        for a, b, name, unit in comparisons:
            values = [r[a] / r[b] if unit == "x" else r[a] - r[b] for r in results[label]]
            if not any(math.isnan(value) for value in values):
                cells.append(f"{name} {statistics.median(values):.2f}{unit} "
                             f"({min(values):.2f}-{max(values):.2f})")
        lines.append(f"`{label}`: " + "; ".join(cells))
    return "\n".join(lines)


def main():
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    wine_dir, picture_dir, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    builds = dict(argument.split("=", 1) for argument in sys.argv[4:])
    pictures = [os.path.join(picture_dir, f"large{k + 1}.bmp") for k in range(10)]
    size = 54 + LOADED[1] * (LOADED[0] * 3 + 3) // 4 * 4
    for path, colour in zip(pictures, COLOURS):
        if not os.path.exists(path) or os.path.getsize(path) != size:
            winedrive.write_bmp(path, LOADED, colour)
    large = {k + 1: winedrive.windows_path(path) for k, path in enumerate(pictures)}
    photos = make_photos(picture_dir)
    trees = make_trees(picture_dir)
    subprocess.run([os.path.join(winedrive.HARNESS, "wine-env-start"), wine_dir,
                    f"{SCREEN[0]}x{SCREEN[1]}"], check=True, stdout=subprocess.DEVNULL)
    wine = winedrive.Session(wine_dir)
    screen = Screen(wine.display)
    load = os.getloadavg()[0]
    try:
        wine.x("xsetroot", "-solid", "#3060c0")
        labels = list(builds)
        results = {label: [] for label in labels}
        # An untimed start first, so that no round pays for reading the files the first time.
        wine.store_pictures(large)
        with display(wine, screen, os.path.join(builds[labels[0]], "win64", "corvelle.scr"),
                     shows_pictures):
            pass
        for round_index in range(rounds):
            order = labels if round_index % 2 == 0 else labels[::-1]
            for label in order:
                results[label].append(measure(wine, screen, builds[label], large, photos, trees))
    finally:
        subprocess.run([os.path.join(winedrive.HARNESS, "wine-env-stop"), wine_dir],
                       stdout=subprocess.DEVNULL)
    with open("/proc/cpuinfo") as f:
        model = next((line.split(":", 1)[1].strip() for line in f
                      if line.startswith("model name")), "unknown CPU")
    print(table(labels, results, rounds))
    print(within_builds(labels, results))
    print(f"\nMeasured {time.strftime('%Y-%m-%d')} on {model}, {os.cpu_count()} cores, Wine in "
          f"{SCREEN[0]}x{SCREEN[1]}; load average {load:.1f} before, {os.getloadavg()[0]:.1f} "
          "after (the machine is shared).")


if __name__ == "__main__":
    main()
