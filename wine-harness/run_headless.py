"""Runs corvelle.scr in the virtual display: screenshots, then the ending a user would cause."""

import os
import sys
import time

import winedrive


def main():
    wine_dir, scr, out_dir, switch = sys.argv[1:5]
    wine = winedrive.Session(wine_dir)
    settings = len(switch) > 1 and switch[1] in "cC"
    wine.move_pointer(400, 300)
    program = wine.start(scr, switch)
    window = winedrive.wait_until(lambda: not program.running() or (
        wine.windows()[0] if settings and wine.windows() else wine.saver_window()), 60)
    if not program.running() or not window:
        print(f"corvelle.scr {switch} showed no window; exit code {program.wait(10)}")
        return 1
    print("Screenshots:")
    for index in range(1, 4):
        time.sleep(1.0)   # let the pictures travel between screenshots
        path = os.path.join(out_dir, f"screenshot-{index}.png")
        wine.screenshot().save(path)
        print(f"  {path}")
    if settings:
        # The keyboard follows the pointer: point at the dialog before pressing Esc.
        _, left, top, width, height = window
        wine.move_pointer(left + width // 2, top + height // 2)
        wine.x("xdotool", "key", "Escape")
        ending = "pressed Esc"
    else:
        wine.move_pointer(500, 400)
        ending = "moved the mouse by 100 pixels"
    code = program.wait(30)
    if code is None:
        program.kill()
    print(f"{ending}; corvelle.scr {switch} exited with code {code}")
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
