"""corvelle.scr under Wine in the test display, and the screen's colours and the picture list."""

import os
import re
import sys
import warnings

import numpy
import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "wine-harness"))
import winedrive  # noqa: E402

SCR = os.environ.get("CORVELLE_SCR", "")
PARK = (400, 300)   # where the pointer rests when a display starts


def packed_colours(image):
    """The image's pixels as 0xRRGGBB numbers."""
    frame = numpy.asarray(image.convert("RGB"), dtype=numpy.uint32)
    return (frame[..., 0] << 16) | (frame[..., 1] << 8) | frame[..., 2]


def colour_boxes(image):
    """{colour: (left, top, width, height, pixel count)} of every colour but black on a screen."""
    packed = packed_colours(image)
    found = {}
    for value in numpy.unique(packed[packed != 0]):
        ys, xs = numpy.nonzero(packed == value)
        colour = (int(value) >> 16, (int(value) >> 8) & 255, int(value) & 255)
        found[colour] = (int(xs.min()), int(ys.min()), int(xs.max() - xs.min() + 1),
                         int(ys.max() - ys.min() + 1), len(xs))
    return found


def judged_screen(wine, fault, keep):
    """The screen's colour boxes, judged by fault(boxes). A capture can catch Wine between two
    paints: a fault fails only when a second read shows one too; both are kept as keep-*.png."""
    found = colour_boxes(first := wine.screenshot())
    if seen := fault(found):
        found = colour_boxes(again := wine.screenshot())
        first.save(f"{keep}-first.png")
        again.save(f"{keep}-again.png")
        assert not fault(found), f"{seen}; read again: {fault(found)}; see {keep}-*.png"
        warnings.warn(f"a capture showed {seen}, the next one nothing wrong: {keep}-*.png")
    return found


def stored_pictures(wine):
    """{picture: text up to its first NUL} of the list as Wine's own reg.exe exports it."""
    path = os.path.join(wine.dir, "exported.reg")
    assert wine.run("reg", "export", winedrive.PICTURE_KEY, winedrive.windows_path(path),
                    "/y") == 0
    with open(path, encoding="utf-16") as f:
        values = re.findall(r'^"File(\d+)"="(.*)"\r?$', f.read(), re.M)
    return {int(k): text.replace("\\\\", "\\") for k, text in values}


@pytest.fixture(scope="session")
def wine():
    return winedrive.Session(os.environ["CORVELLE_WINE_DIR"])


@pytest.fixture
def display(wine):
    """Starts the display with the pointer parked, until it covers the root; ends it."""
    started = []

    def start(*arguments):
        assert wine.saver_window() is None, "a display is already on the screen"
        root = wine.screenshot().getpixel((0, 0))
        wine.move_pointer(*PARK)
        program = wine.start(SCR, *arguments)
        started.append(program)
        shown = winedrive.wait_until(lambda: not program.running() or wine.saver_window() and (
            root not in colour_boxes(wine.screenshot())), 60)
        assert program.running() and shown, \
            f"no display: exit {program.wait(0)}, pointer {wine.pointer()}; {program.output()}"
        return program

    yield start
    for program in started:
        wine.end_display(program, (PARK[0] + 100, PARK[1] + 100))
