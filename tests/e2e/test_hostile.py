"""Hostile registry values and picture files, huge pictures and a tiny screen: the display still
starts, shows what loaded and nothing else, ends on a 21-pixel mouse move with exit code 0, and
never crashes, hangs or shows a box of its own."""

import array
import contextlib
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zlib

import bmp
import harness
from harness import check

PARK = (400, 300)
SMALL_SCREEN = (320, 240)
SMALL_PARK = (150, 120)
START_TIMEOUT = 60
EXIT_TIMEOUT = 15
# Long enough for every picture to be painted and to move out from under another one.
WATCH_SECONDS = 8.0

REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 3, 4, 7

# Good pictures: small enough to be used as loaded on a 1280 x 1024 screen even with ten of them.
GOOD_SIZE = (90, 60)
GOOD = [(230, 40, 40), (40, 200, 40), (60, 60, 230), (220, 210, 40), (210, 40, 210),
        (40, 210, 210), (240, 140, 20), (140, 70, 200), (250, 250, 250), (120, 200, 90)]
# The picture each slot falls back to (c:\pictures\<k>.bmp) when its value cannot be read; a
# value that can be read, even one naming a broken file, must never bring it on screen.
DEFAULTS = [(100 + 10 * k, 30, 90) for k in range(10)]
# The colours written into broken or decoy files, one per file of a scenario.
BROKEN = [(30, 90, 150 + 10 * k) for k in range(10)]
# Slots holding the good pictures in the scenarios that mix good and bad.
GOOD_SLOTS = (2, 5, 9)

# Wine's report of an unhandled exception, printed even with WINEDEBUG=-all.
CRASH_MARKS = ("Unhandled exception", "Unhandled page fault", "starting debugger",
               "Unhandled stack overflow", "Unhandled illegal instruction")

BLACK = 0xFF000000   # one RGBA screenshot pixel read as a little-endian integer


def pixel_value(rgb):
    red, green, blue = rgb
    return red | green << 8 | blue << 16 | 0xFF000000


def colour_name(value):
    return f"rgb{(value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF)}"


# --- screen ------------------------------------------------------------------------------------

def colour_boxes():
    """{pixel value: [left, top, right, bottom]} (right and bottom exclusive) of every colour
    other than black on the screen now."""
    width, height = harness.screen_size()
    with tempfile.NamedTemporaryFile(suffix=".rgba") as raw:
        harness.x("import", "-window", "root", "-depth", "8", f"rgba:{raw.name}")
        pixels = array.array("I")
        pixels.frombytes(open(raw.name, "rb").read())
    check(len(pixels) == width * height, f"screenshot has {len(pixels)} pixels")
    boxes = {}
    black_row = array.array("I", [BLACK]) * width
    for row in range(height):
        line = pixels[row * width:(row + 1) * width]
        if line == black_row:
            continue
        colours = set(line)
        colours.discard(BLACK)
        for colour in colours:
            left = line.index(colour)
            right = width - line[::-1].index(colour)
            box = boxes.setdefault(colour, [left, row, right, row + 1])
            box[0] = min(box[0], left)
            box[2] = max(box[2], right)
            box[3] = row + 1
    return boxes


def stray_windows():
    """Windows on the screen besides the saver's own: a message box, a crash dialog..."""
    width, height = harness.screen_size()
    strays = [w for w in harness.top_windows() if (w[4], w[5]) != (width, height)
              and w[4] > 1 and w[5] > 1]
    strays += harness.top_windows("winedbg.exe")
    return strays


def watch(process, must_show, may_show=(), exact_sizes=None, seconds=WATCH_SECONDS):
    """Watches the running display until every colour of must_show has appeared (and, for those
    in exact_sizes, appeared at exactly that size at least once), failing at once on any colour
    outside must_show and may_show, on any stray window and on the program's end."""
    must_show = {pixel_value(c) for c in must_show}
    allowed = must_show | {pixel_value(c) for c in may_show}
    exact_sizes = {pixel_value(c): size for c, size in (exact_sizes or {}).items()}
    seen, seen_exact = set(), set()
    deadline = time.monotonic() + seconds
    while True:
        code = process.popen.poll()
        check(code is None, f"the display ended by itself with {code}: {process.output()[-1500:]}")
        strays = stray_windows()
        check(not strays, f"windows besides the display: {strays}")
        boxes = colour_boxes()
        unexpected = sorted(set(boxes) - allowed)
        check(not unexpected, "colours on screen that no loaded picture has: "
              + ", ".join(f"{colour_name(c)} at {boxes[c]}" for c in unexpected))
        seen |= set(boxes) & must_show
        for colour, (cx, cy) in exact_sizes.items():
            box = boxes.get(colour)
            if box and (box[2] - box[0], box[3] - box[1]) == (cx, cy):
                seen_exact.add(colour)
        if seen == must_show and seen_exact == set(exact_sizes):
            return
        if time.monotonic() > deadline:
            missing = [colour_name(c) for c in must_show - seen]
            wrong = [f"{colour_name(c)} never {exact_sizes[c][0]}x{exact_sizes[c][1]}"
                     for c in set(exact_sizes) - seen_exact]
            check(False, f"after {seconds} s: not shown {missing}; {wrong}")
        time.sleep(0.2)


# --- files and registry -----------------------------------------------------------------------

class Files:
    """The scenario's picture files, in a directory of the build tree removed afterwards, and
    the fallback pictures c:\\pictures\\1.bmp .. 10.bmp of the Wine prefix."""

    def __init__(self, name):
        self.directory = os.path.join(os.path.dirname(os.path.abspath(harness.WINE_DIR)),
                                      "hostile-files", name)
        shutil.rmtree(self.directory, ignore_errors=True)
        os.makedirs(self.directory)

    def write(self, name, data):
        path = os.path.join(self.directory, name)
        bmp.write(path, data)
        return path

    def picture(self, name, colour, size=GOOD_SIZE):
        return self.write(name, bmp.solid_bmp(size[0], size[1], colour))

    def remove(self):
        shutil.rmtree(self.directory, ignore_errors=True)


@contextlib.contextmanager
def fallback_pictures():
    """Puts a picture of colour DEFAULTS[k-1] at c:\\pictures\\<k>.bmp, and puts back whatever
    was there before."""
    folder = os.path.join(harness.ENV["WINEPREFIX"], "drive_c", "pictures")
    backup = tempfile.mkdtemp(prefix="corvelle-pictures-")
    existed = os.path.isdir(folder)
    if existed:
        shutil.copytree(folder, backup, dirs_exist_ok=True)
    os.makedirs(folder, exist_ok=True)
    for k in range(10):
        bmp.write(os.path.join(folder, f"{k + 1}.bmp"), bmp.solid_bmp(50, 40, DEFAULTS[k]))
    try:
        yield
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        if existed:
            shutil.copytree(backup, folder)
        shutil.rmtree(backup, ignore_errors=True)


def store(values):
    """Stores File1..File10: a str is a path stored as the settings dialog does, a (type, bytes)
    pair is stored raw; a slot without an entry holds an empty path (no fallback either)."""
    harness.regtool("reset")
    for slot in range(1, 11):
        value = values.get(slot, "")
        if isinstance(value, str):
            harness.regtool("set", str(slot), value)
        else:
            kind, data = value
            harness.regtool("raw", str(slot), str(kind), data.hex() if data else "-")


def ansi(path):
    return harness.windows_path(path).encode("cp1252")


# --- one run of the display -------------------------------------------------------------------

@contextlib.contextmanager
def crash_reports_printed():
    """Lets Wine print a crash report and end the crashed program instead of waiting in a dialog,
    so a crash shows as an exit code and a report in the program's output."""
    key = r"HKCU\Software\Wine\WineDbg"
    code, output = harness.run_wine("reg", "query", key, "/v", "ShowCrashDialog")
    before = None
    if code == 0:
        before = output.split("REG_DWORD")[-1].split()[0] if "REG_DWORD" in output else None
    harness.run_wine("reg", "add", key, "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0",
                     "/f")
    try:
        yield
    finally:
        if before is None:
            harness.run_wine("reg", "delete", key, "/v", "ShowCrashDialog", "/f")
        else:
            harness.run_wine("reg", "add", key, "/v", "ShowCrashDialog", "/t", "REG_DWORD",
                             "/d", str(int(before, 0)), "/f")


class Display:
    """The saver started the way SaverRun starts it, but watched for a box or a crash while it
    starts up too, and killed whatever happens."""

    def __init__(self, park):
        self.park = park

    def __enter__(self):
        check(harness.saver_window() is None, "a saver window is already on the screen")
        harness.mouse_move(*self.park)
        self.process = harness.WineProcess(harness.SCR, "/s")
        try:
            self.wait_for_window()
        except BaseException:
            self.kill()
            raise
        return self

    def wait_for_window(self):
        deadline = time.monotonic() + START_TIMEOUT
        while harness.saver_window() is None:
            strays = stray_windows()
            check(not strays, f"windows while starting: {strays}")
            code = self.process.popen.poll()
            check(code is None, f"ended with {code} before its window showed: "
                                f"{self.process.output()[-1500:]}")
            check(time.monotonic() < deadline, f"no display window within {START_TIMEOUT} s")
            time.sleep(0.1)

    def kill(self):
        """Kills the program itself, not only the wine-run script that started it."""
        if self.process.popen.poll() is None:
            for pid in descendants(self.process.popen.pid):
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGKILL)
            self.process.kill()
        harness.wait_until(lambda: not harness.top_windows(), 10)

    def __exit__(self, *exc):
        self.kill()
        return False


def descendants(pid):
    """Process ids of every process below pid."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            with contextlib.suppress(OSError, IndexError, ValueError):
                with open(f"/proc/{entry}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
    found, pending = [], [pid]
    while pending:
        for child in children.get(pending.pop(), []):
            found.append(child)
            pending.append(child)
    return found


def run_display(must_show, may_show=(), exact_sizes=None, park=PARK, seconds=WATCH_SECONDS):
    """One display run with the stored values: it must show the right pictures and nothing else,
    then end on a 21-pixel mouse move with exit code 0 and no crash report."""
    with Display(park) as display:
        watch(display.process, must_show, may_show, exact_sizes, seconds)
        check(display.process.wait(0) is None, "the display ended on its own")
        # A move that stays on the smallest screen.
        harness.mouse_move(park[0] + 21, park[1])
        code = display.process.wait(EXIT_TIMEOUT)
        output = display.process.output()
        check(code is not None, f"no exit within {EXIT_TIMEOUT} s of a 21-pixel mouse move")
    crash = [mark for mark in CRASH_MARKS if mark in output]
    check(not crash, f"Wine reported a crash: {output[-1500:]}")
    check(code == 0, f"exit code {code}, expected 0: {output[-500:]}")
    strays = stray_windows()
    check(not strays, f"windows left after the display ended: {strays}")


def mixed_with_good(files, bad):
    """Values for a scenario: the good pictures in GOOD_SLOTS, the bad paths (local, or Windows
    paths as they are) in the other slots from slot 1 on. Returns (values, good colours)."""
    values, colours = {}, []
    for index, slot in enumerate(GOOD_SLOTS):
        values[slot] = harness.windows_path(files.picture(f"good{slot}.bmp", GOOD[index]))
        colours.append(GOOD[index])
    free = [slot for slot in range(1, 11) if slot not in GOOD_SLOTS]
    for slot, path in zip(free, bad):
        values[slot] = path if path.startswith("Z:") else harness.windows_path(path)
    return values, colours


def good_sizes(colours):
    return {colour: GOOD_SIZE for colour in colours}


# --- registry scenarios -----------------------------------------------------------------------

def registry_scenario(build):
    """build(files) -> (values for slots other than the good ones, colours that must show,
    colours that may show). The good pictures fill GOOD_SLOTS as in every mixed scenario."""
    def scenario():
        files = Files(scenario.__name__)
        try:
            extra, must, may = build(files)
            values, colours = mixed_with_good(files, [])
            values.update(extra)
            store(values)
            run_display(colours + must, may, good_sizes(colours))
        finally:
            files.remove()
    scenario.__name__ = build.__name__
    return scenario


@registry_scenario
def registry_dword(files):
    # Read as four bytes of path text that name no file; the value exists, so no fallback.
    return {1: (REG_DWORD, struct.pack("<I", 0x00434241))}, [], []


@registry_scenario
def registry_binary(files):
    named = files.picture("binary.bmp", BROKEN[0])
    garbage = bytes((7 * i + 200) % 256 or 1 for i in range(180))
    # The type is not looked at: binary data that spells a path is that path.
    return {1: (REG_BINARY, garbage), 3: (REG_BINARY, ansi(named) + b"\0")}, [BROKEN[0]], []


@registry_scenario
def registry_multi_string(files):
    first = files.picture("first.bmp", BROKEN[0])
    second = files.picture("second.bmp", BROKEN[1])
    # Only the text up to the first NUL is the path.
    data = ansi(first) + b"\0" + ansi(second) + b"\0\0"
    return {1: (REG_MULTI_SZ, data)}, [BROKEN[0]], []


@registry_scenario
def registry_longer_than_260_bytes(files):
    named = files.picture("long.bmp", BROKEN[0])
    data = ansi(named) + b"\0"
    data += b"x" * (300 - len(data))
    # Too long to read: the value counts as missing and the fallback picture shows instead.
    return {1: (REG_SZ, data)}, [DEFAULTS[0]], []


@registry_scenario
def registry_260_bytes_without_nul(files):
    target = files.picture("exact.bmp", BROKEN[0])
    # A decoy named like the path cut by one character: reading only 259 bytes would load it.
    files.picture("exact.bm", BROKEN[1])
    folder = harness.windows_path(files.directory)
    tail = "\\exact.bmp"
    padding = 260 - len(folder) - len(tail)
    check(padding >= 2, f"the build directory's path is too long for this scenario: {folder}")
    # "\." components and a doubled backslash name the same folder and fill the path to exactly
    # 260 characters; the loader here takes paths that long.
    path = folder + "\\." * (padding // 2) + "\\" * (padding % 2) + tail
    data = path.encode("cp1252")
    check(len(data) == 260 and b"\0" not in data, "the value is not 260 bytes without NUL")
    return {1: (REG_SZ, data)}, [BROKEN[0]], []


@registry_scenario
def registry_empty(files):
    # An empty value and a lone NUL are empty paths: nothing loads, and there is no fallback.
    return {1: (REG_SZ, b""), 3: (REG_SZ, b"\0"), 4: (REG_BINARY, b"")}, [], []


@registry_scenario
def registry_path_beyond_ascii(files):
    name = "caf\u00e9 \u00fcber \u00e6\u00f8\u00e5.bmp"
    path = files.picture(name, BROKEN[0])
    # The stored bytes are the path in the ANSI code page (1252 here); the file on the disk
    # carries the same name in UTF-8, as Wine maps it.
    return {1: (REG_SZ, ansi(path) + b"\0")}, [BROKEN[0]], []


# --- picture file scenarios -------------------------------------------------------------------

def header_with(picture, **fields):
    """A copy of a BMP with some of its header fields replaced."""
    offsets = {"magic": (0, "<2s"), "offset": (10, "<I"), "info_size": (14, "<I"),
               "width": (18, "<i"), "height": (22, "<i"), "bits": (28, "<H")}
    data = bytearray(picture)
    for name, value in fields.items():
        offset, layout = offsets[name]
        struct.pack_into(layout, data, offset, value)
    return bytes(data)


def png(width, height, rgb):
    """A real PNG file of one colour."""
    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))
    row = b"\0" + bytes(rgb) * width
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def file_scenario(build):
    """build(files) -> (bad paths, colours that may show because the loader accepts the file).
    Every other colour of a bad file, and every fallback picture, must stay off the screen."""
    def scenario():
        files = Files(scenario.__name__)
        try:
            bad, may = build(files)
            values, colours = mixed_with_good(files, bad)
            store(values)
            run_display(colours, may, good_sizes(colours))
        finally:
            files.remove()
    scenario.__name__ = build.__name__
    return scenario


def solid(colour):
    return bmp.solid_bmp(40, 30, colour)


@file_scenario
def files_truncated(files):
    whole = solid(BROKEN[0])
    return [
        # Half the pixel rows missing: the loader here accepts it and shows the rows it has.
        files.write("half.bmp", whole[:54 + (len(whole) - 54) // 2]),
        files.write("info_cut.bmp", solid(BROKEN[1])[:30]),
        files.write("file_header_only.bmp", solid(BROKEN[2])[:14]),
    ], [BROKEN[0]]


@file_scenario
def files_corrupt_header(files):
    return [
        files.write("magic.bmp", header_with(solid(BROKEN[0]), magic=b"XY")),
        files.write("info_size.bmp", header_with(solid(BROKEN[1]), info_size=0x12345)),
        files.write("offset.bmp", header_with(solid(BROKEN[2]), offset=0x7FFFFF00)),
        files.write("bits.bmp", header_with(solid(BROKEN[3]), bits=13)),
        files.write("negative_width.bmp", header_with(solid(BROKEN[4]), width=-40)),
    ], [BROKEN[2], BROKEN[3], BROKEN[4]]


@file_scenario
def files_absurd_dimensions(files):
    # Small files whose headers claim enormous pictures. The loader refuses 60000 x 60000 (14 GB)
    # but accepts the others, mostly beyond the file's end; fitting then halves them.
    return [
        files.write("60000x60000.bmp", header_with(solid(BROKEN[0]), width=60000, height=60000)),
        files.write("20000x20000.bmp", header_with(solid(BROKEN[1]), width=20000, height=20000)),
        files.write("60000x1.bmp", header_with(solid(BROKEN[2]), width=60000, height=1)),
        files.write("1x60000.bmp", header_with(solid(BROKEN[3]), width=1, height=60000)),
    ], [BROKEN[1], BROKEN[2], BROKEN[3]]


@file_scenario
def files_zero_bytes(files):
    return [files.write("empty.bmp", b""), files.write("empty2.bmp", b"")], []


@file_scenario
def files_directory(files):
    folder = os.path.join(files.directory, "folder.bmp")
    os.makedirs(folder)
    bmp.write(os.path.join(folder, "inside.bmp"), solid(BROKEN[0]))
    return [folder, harness.windows_path(folder) + "\\"], []


@file_scenario
def files_other_format(files):
    return [
        files.write("picture.png.bmp", png(40, 30, BROKEN[0])),
        files.write("text.bmp", b"BM is how this text starts, but it is not a picture.\n" * 20),
        files.write("gif.bmp", b"GIF89a" + bytes(BROKEN[1]) * 200),
    ], []


@file_scenario
def files_missing(files):
    return [os.path.join(files.directory, "no such file.bmp"),
            os.path.join(files.directory, "no such folder", "1.bmp")], []


# --- big pictures and a small screen ----------------------------------------------------------

def fitted_size(width, height, screen_width, screen_height, count):
    """The size the display shrinks a picture to (halving both sides, see saver/fitting.h)."""
    count = max(2, count)
    if width <= screen_width // count and height <= screen_height // count:
        return width, height
    half = max(1, count // 2)
    while width > screen_width // half or height > screen_height // half:
        width, height = width // 2, height // 2
    return width, height


def ten_pictures_much_larger_than_the_screen():
    files = Files("large")
    try:
        screen_width, screen_height = harness.screen_size()
        loaded = (4000, 3000)
        # Written once and copied: each is a 36 MB 24-bit picture of its own colour.
        values, sizes = {}, {}
        for k in range(10):
            path = files.picture(f"large{k + 1}.bmp", GOOD[k], loaded)
            values[k + 1] = harness.windows_path(path)
            sizes[GOOD[k]] = fitted_size(*loaded, screen_width, screen_height, 10)
        store(values)
        run_display(GOOD, (), sizes)
    finally:
        files.remove()


class SmallDisplay:
    """A Wine environment of its own with a 320 x 240 screen, started on first use and shared by
    the scenarios that need it."""

    def __init__(self):
        self.directory = os.path.join(os.path.dirname(os.path.abspath(harness.WINE_DIR)),
                                      f"wine-{SMALL_SCREEN[0]}x{SMALL_SCREEN[1]}")
        self.env = None

    def start(self):
        keepalive = os.path.join(os.path.dirname(harness.REGTOOL), "keepalive.exe")
        log = self.directory + "-start.log"
        with open(log, "w") as output:
            started = subprocess.run(
                [os.path.join(harness.WINE_TOOLS, "wine-env-start"), self.directory, keepalive,
                 f"{SMALL_SCREEN[0]}x{SMALL_SCREEN[1]}"],
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT, timeout=300)
        check(started.returncode == 0,
              f"the small Wine environment did not start: {open(log).read()[-500:]}")
        self.env = dict(os.environ)
        self.env.update(harness._read_env_file(os.path.join(self.directory, "env")))

    @contextlib.contextmanager
    def active(self):
        """Points the harness at the small environment for the length of the block."""
        if self.env is None:
            self.start()
        saved = harness.WINE_DIR, harness.ENV
        harness.WINE_DIR, harness.ENV = self.directory, self.env
        try:
            check(harness.screen_size() == SMALL_SCREEN, f"screen is {harness.screen_size()}")
            yield
        finally:
            harness.WINE_DIR, harness.ENV = saved

    def stop(self):
        if self.env is not None:
            subprocess.run([os.path.join(harness.WINE_TOOLS, "wine-env-stop"), self.directory],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)
            self.env = None


SMALL_DISPLAY = SmallDisplay()


def small_screen_ten_pictures():
    files = Files("small-ten")
    try:
        # Each is halved once, to at most 64 x 48, the most a tenth of the screen can grow to:
        # about 40 % of the screen is picture, so placement may run out of free spots for the
        # last ones. Later pictures are smaller, so none can hide an earlier one on its own.
        values = {}
        for k in range(10):
            loaded = (128 - 6 * k, 96 - 4 * k)
            values[k + 1] = harness.windows_path(files.picture(f"p{k + 1}.bmp", GOOD[k], loaded))
        store(values)
        run_display(GOOD, park=SMALL_PARK, seconds=12)
    finally:
        files.remove()


def small_screen_no_free_spot():
    files = Files("small-crowded")
    try:
        # With three pictures each may have the whole screen, so they keep these sizes, and on
        # 320 x 240 every spot for the second and the third has a corner on the first: both use
        # up all their placement attempts. Each is larger than all later ones together, so part
        # of it always shows. The other seven slots hold files that do not load.
        values = {}
        for k, loaded in enumerate(((280, 210), (200, 150), (120, 90))):
            values[k + 1] = harness.windows_path(files.picture(f"p{k + 1}.bmp", GOOD[k], loaded))
        for k in range(3, 10):
            values[k + 1] = harness.windows_path(files.write(f"empty{k + 1}.bmp", b""))
        store(values)
        run_display(GOOD[:3], park=SMALL_PARK, seconds=12)
    finally:
        files.remove()


def black_root():
    # A fresh X server's root is a black and white weave. Pictures are told apart from black, so
    # nothing but the display may bring colour to the screen, whenever a screenshot is taken.
    harness.x("xsetroot", "-solid", "black")


def in_small_display(scenario):
    def run():
        with SMALL_DISPLAY.active(), crash_reports_printed(), fallback_pictures():
            black_root()
            scenario()
    run.__name__ = scenario.__name__
    return run


def in_test_display(scenario):
    def run():
        with crash_reports_printed(), fallback_pictures():
            black_root()
            scenario()
    run.__name__ = scenario.__name__
    return run


if __name__ == "__main__":
    try:
        harness.main([in_test_display(scenario) for scenario in (
            registry_dword,
            registry_binary,
            registry_multi_string,
            registry_longer_than_260_bytes,
            registry_260_bytes_without_nul,
            registry_empty,
            registry_path_beyond_ascii,
            files_truncated,
            files_corrupt_header,
            files_absurd_dimensions,
            files_zero_bytes,
            files_directory,
            files_other_format,
            files_missing,
            ten_pictures_much_larger_than_the_screen,
        )] + [in_small_display(small_screen_ten_pictures),
              in_small_display(small_screen_no_free_spot)])
    finally:
        SMALL_DISPLAY.stop()
        harness.regtool("reset")
