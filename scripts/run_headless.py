"""Runs corvelle.scr in a virtual display: screenshots, then the ending a user would cause."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402


def main():
    out_dir, switch = sys.argv[1], sys.argv[2]
    settings = len(switch) > 1 and switch[1] in "cC"
    harness.mouse_move(400, 300)
    process = harness.WineProcess(harness.SCR, switch)

    def window():
        if settings:
            return [w for w in harness.top_windows() if w[4] > 1 and w[5] > 1]
        return harness.saver_window()

    shown = harness.wait_until(lambda: process.popen.poll() is not None or window(), 60)
    if process.popen.poll() is not None or not shown:
        code = process.wait(10)
        print(f"corvelle.scr {switch} showed no window; exit code {code}")
        return 1 if code is None else code

    shots = []
    for index in range(1, 4):
        time.sleep(1.0)   # let the pictures travel between screenshots
        path = os.path.join(out_dir, f"screenshot-{index}.png")
        harness.screenshot().save_png(path)
        shots.append(path)

    if settings:
        # Without a window manager the keyboard follows the pointer: point at the dialog first.
        _, _, left, top, width, height = shown[0]
        harness.mouse_move(left + width // 2, top + height // 2)
        harness.x("xdotool", "key", "Escape")
        ending = "pressed Esc"
    else:
        harness.mouse_move(400 + 100, 300 + 100)
        ending = "moved the mouse by 100 pixels"
    code = process.wait(30)
    print("Screenshots:")
    for path in shots:
        print(f"  {path}")
    if code is None:
        process.kill()
        print(f"{ending}; corvelle.scr did not end within 30 s")
        return 1
    print(f"{ending}; corvelle.scr {switch} exited with code {code}")
    return 0 if code == 0 else code


if __name__ == "__main__":
    sys.exit(main())
