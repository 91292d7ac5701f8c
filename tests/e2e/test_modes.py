"""Mode selection seen from outside: preview, the single-instance guard, the black display."""

import harness
from harness import check


def test_preview_exits_with_1_and_shows_no_window():
    process = harness.WineProcess(harness.SCR, "/p", "1234")
    seen = []
    code = harness.wait_until(lambda: seen.extend(harness.top_windows()) or
                              process.popen.poll() is not None, 30, interval=0.02)
    check(code, "the preview switch did not end the program within 30 s")
    check(process.popen.returncode == 1, f"exit code {process.popen.returncode}, expected 1")
    visible = [w for w in seen if w[4] > 1 and w[5] > 1]
    check(not visible, f"windows shown in preview mode: {visible}")


def test_second_copy_exits_with_1_and_leaves_the_first_running():
    with harness.SaverRun() as first:
        for arguments in (("/s",), ("/c",), ("/p",), ()):
            code, output = harness.run_wine(harness.SCR, *arguments, timeout=30)
            check(code == 1, f"second copy with {arguments} exited with {code}, expected 1")
        check(first.wait_exit(0.5) is None, "the first copy ended when a second one started")
        check(harness.saver_window() is not None, "the first copy's window disappeared")


def test_display_without_pictures_covers_the_screen_in_black():
    harness.regtool("reset")
    # A coloured root shows any part of the screen the window leaves uncovered.
    harness.x("xsetroot", "-solid", "#3060c0")
    try:
        before = harness.screenshot()
        check(before.first_non_black() is not None, "the root colour did not take")
        width, height = harness.screen_size()
        with harness.SaverRun() as run:
            _, _, left, top, window_width, window_height = run.window
            check((left, top, window_width, window_height) == (0, 0, width, height),
                  f"window at {left},{top} {window_width}x{window_height}, "
                  f"expected 0,0 {width}x{height}")
            shot = harness.wait_until(
                lambda: (lambda s: s if s.first_non_black() is None else None)(
                    harness.screenshot()), 20, interval=0.3)
            if not shot:
                shot = harness.screenshot()
                check(False, f"pixel {shot.first_non_black()} is "
                             f"{shot.pixel(*shot.first_non_black())}, expected black")
            check(run.wait_exit(0) is None, "the display ended on its own")
    finally:
        harness.x("xsetroot", "-solid", "black")


if __name__ == "__main__":
    harness.main([
        test_preview_exits_with_1_and_shows_no_window,
        test_second_copy_exits_with_1_and_leaves_the_first_running,
        test_display_without_pictures_covers_the_screen_in_black,
    ])
