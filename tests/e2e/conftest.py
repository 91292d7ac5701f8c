"""Fixtures of the end-to-end tests: corvelle.scr under Wine in the test display."""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import winedrive  # noqa: E402

SCR = os.environ.get("CORVELLE_SCR", "")
PARK = (400, 300)   # where the pointer rests when a display starts


@pytest.fixture(scope="session")
def wine():
    return winedrive.Session(os.environ["CORVELLE_WINE_DIR"])


@pytest.fixture
def display(wine):
    """Starts the display with the pointer parked, until it covers the white root; ends it."""
    started = []

    def start(*arguments):
        assert wine.saver_window() is None, "a display is already on the screen"
        wine.move_pointer(*PARK)
        program = wine.start(SCR, *arguments)
        started.append(program)
        shown = winedrive.wait_until(lambda: not program.running() or wine.saver_window() and (
            (255, 255, 255) not in winedrive.colour_boxes(wine.screenshot())), 60)
        assert program.running() and shown, \
            f"no display: exit {program.wait(0)}, pointer {wine.pointer()}; {program.output()}"
        return program

    yield start
    for program in started:
        wine.end_display(program, (PARK[0] + 100, PARK[1] + 100))
