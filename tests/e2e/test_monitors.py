"""The display where the virtual screen is not the primary monitor: 800x600 left of 1024x768."""

import os
import subprocess

import pytest

from conftest import SCR
from winedrive import HARNESS, Session


@pytest.fixture(scope="module")
def two_monitors(wine, tmp_path_factory):
    folder = str(tmp_path_factory.mktemp("two-monitors"))
    subprocess.run(["cp", "-a", wine.prefix, os.path.join(folder, "prefix")], check=True)
    started = subprocess.run([os.path.join(HARNESS, "wine-env-start"), folder, "two-monitors"],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if started.returncode == 77:   # no Xorg to be had here: say why
        pytest.skip(started.stderr.strip())
    assert started.returncode == 0, started.stderr
    yield Session(folder)
    subprocess.run([os.path.join(HARNESS, "wine-env-stop"), folder])


def test_the_display_test_in_process_holds_where_the_virtual_screen_is_not_the_primary(
        two_monitors):
    test = os.path.join(os.path.dirname(SCR), "tests", "saver_window_win32_test.exe")
    program = two_monitors.start(test, "--gtest_filter=*Desk*")   # the test of display changes
    assert program.wait(300) == 0 and "[  PASSED  ] 1 test." in program.output(), \
        program.output()
