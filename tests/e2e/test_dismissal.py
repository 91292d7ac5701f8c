"""What ends the display and what does not: mouse threshold, keys, clicks and closing."""

import harness
from harness import check

PARK = (400, 300)
# Long enough for a message to reach a running saver; the display must still be there after it.
STILL_RUNNING_WAIT = 1.5
EXIT_TIMEOUT = 15


def expect_still_running(run, what):
    code = run.wait_exit(STILL_RUNNING_WAIT)
    check(code is None, f"{what} ended the display (exit code {code})")


def expect_exit_0(run, what):
    code = run.wait_exit(EXIT_TIMEOUT)
    check(code is not None, f"{what} did not end the display within {EXIT_TIMEOUT} s")
    check(code == 0, f"{what} ended the display with exit code {code}, expected 0")


def move_test(keep, end):
    def test():
        with harness.SaverRun(park=PARK) as run:
            harness.mouse_move(PARK[0] + keep[0], PARK[1] + keep[1])
            expect_still_running(run, f"a move by {keep}")
            harness.mouse_move(PARK[0] + end[0], PARK[1] + end[1])
            expect_exit_0(run, f"a move by {end}")
    test.__name__ = f"test_move_{keep[0]}_{keep[1]}_keeps_and_{end[0]}_{end[1]}_ends"
    return test


def key_test(key):
    def test():
        with harness.SaverRun(park=PARK) as run:
            harness.x("xdotool", "key", key)
            expect_exit_0(run, f"key {key}")
    test.__name__ = f"test_key_{key}_ends"
    return test


def test_single_click_keeps_and_double_click_ends():
    with harness.SaverRun(park=PARK) as run:
        harness.x("xdotool", "click", "1")
        expect_still_running(run, "a single left click")
        harness.x("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        expect_exit_0(run, "a double click")


def test_closing_the_window_ends():
    with harness.SaverRun(park=PARK) as run:
        harness.x("xdotool", "key", "alt+F4")
        expect_exit_0(run, "closing the window (Alt+F4)")


if __name__ == "__main__":
    harness.main([
        move_test((20, 20), (21, 0)),
        move_test((-20, -20), (0, -21)),
        move_test((20, -20), (-21, 0)),
        move_test((-20, 20), (0, 21)),
        key_test("Return"),
        key_test("Escape"),
        test_single_click_keeps_and_double_click_ends,
        test_closing_the_window_ends,
    ])
