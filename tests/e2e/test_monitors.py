"""The display covers a monitor left of the primary one too (X: left 0..799, primary 800..1823)."""

import os
import subprocess

import pytest

from conftest import SCR, colour_boxes
from winedrive import SCRIPTS, Session, wait_until


@pytest.fixture(scope="module")
def two_monitors(wine, tmp_path_factory):
    folder = str(tmp_path_factory.mktemp("two-monitors"))
    subprocess.run(["cp", "-a", wine.prefix, os.path.join(folder, "prefix")], check=True)
    started = subprocess.run([os.path.join(SCRIPTS, "wine-env-start"), folder, "two-monitors"],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if started.returncode == 77:   # no Xorg to be had here: say why
        pytest.skip(started.stderr.strip())
    assert started.returncode == 0, started.stderr
    yield Session(folder)
    subprocess.run([os.path.join(SCRIPTS, "wine-env-stop"), folder])


def test_both_monitors_turn_black_and_a_move_on_the_left_one_ends_it(two_monitors):
    wine = two_monitors
    wine.store_pictures({k: "" for k in range(1, 11)})
    wine.x("xsetroot", "-solid", "#4080c0")
    wine.move_pointer(200, 300)
    program = wine.start(SCR, "/s")
    assert wait_until(lambda: not program.running() or wine.saver_window(), 60)
    for name, area in ("left", (0, 0, 800, 600)), ("primary", (800, 0, 1824, 768)):
        assert wait_until(lambda: colour_boxes(wine.screenshot().crop(area)) == {}, 10), name
    wine.move_pointer(221, 300)
    assert program.wait(30) == 0


def test_the_display_test_in_process_holds_where_the_virtual_screen_is_not_the_primary(
        two_monitors):
    program = two_monitors.start(os.path.join(os.path.dirname(SCR), "tests",
                                              "saver_window_win32_test.exe"))
    assert program.wait(300) == 0, program.output()
