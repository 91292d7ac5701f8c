"""Checks a release zip the way a Windows user meets it: unpacked into a fresh Wine prefix, the
sample pictures copied to c:\\pictures as the guide says, the unpacked corvelle.scr started with
/s, the samples seen moving on the screen, a mouse move ending it with exit code 0.

Usage: check_package.py ZIP WORK_DIR      (WORK_DIR is emptied and holds the Wine environment)
"""

import os
import shutil
import subprocess
import sys
import time
import zipfile

import numpy
from PIL import Image

import winedrive
from winedrive import packed_colours

CONTENTS = sorted(["LICENSE", "README.txt", "corvelle.scr"]
                  + [f"pictures/{k}.bmp" for k in range(1, 11)])
PARK = (400, 300)


def fail(reason):
    sys.exit(f"check_package: FAILED: {reason}")


def signatures(paths):
    """Per picture, the colours that it alone of them all has, black aside."""
    colours = [set(numpy.unique(packed_colours(Image.open(path))).tolist()) - {0}
               for path in paths]
    return [numpy.array(sorted(own - set().union(*(colours[:k] + colours[k + 1:]))))
            for k, own in enumerate(colours)]


def watch(wine, program, wanted, timeout=20):
    """Screens of the running display, at least three, until each picture has shown 50 pixels of
    its own colours in one of them; returns the pictures seen and the screens."""
    seen, screens = set(), []
    deadline = time.monotonic() + timeout
    while ((len(seen) < len(wanted) or len(screens) < 3) and time.monotonic() < deadline
           and program.running()):
        screens.append(packed_colours(wine.screenshot()))
        seen |= {k for k, colours in enumerate(wanted)
                 if numpy.isin(screens[-1], colours).sum() >= 50}
    return seen, screens


def check(zip_path, wine):
    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        top = names[0].split("/")[0]
        files = sorted(name.split("/", 1)[1] for name in names if not name.endswith("/"))
        if files != CONTENTS:
            fail(f"the zip holds {files}, expected {CONTENTS}")
        archive.extractall(os.path.join(wine.prefix, "drive_c"))
    print(f"check_package: unpacked to C:\\{top}")
    unpacked = os.path.join(wine.prefix, "drive_c", top)
    pictures = os.path.join(wine.prefix, "drive_c", "pictures")
    os.makedirs(pictures)
    samples = [os.path.join(unpacked, "pictures", f"{k}.bmp") for k in range(1, 11)]
    for sample in samples:
        shutil.copy(sample, pictures)
    print("check_package: copied the samples to c:\\pictures")

    wine.move_pointer(*PARK)
    program = wine.start(f"C:\\{top}\\corvelle.scr", "/s")
    try:
        if not winedrive.wait_until(lambda: not program.running() or wine.saver_window(), 60):
            fail("corvelle.scr /s showed no display within 60 s")
        if not program.running():
            fail(f"corvelle.scr /s ended at once with {program.wait(0)}: {program.output()}")
        seen, screens = watch(wine, program, signatures(samples))
        if len(seen) < len(samples):
            missing = [f"{k + 1}.bmp" for k in range(len(samples)) if k not in seen]
            fail(f"samples never seen on the screen: {', '.join(missing)}")
        if len(screens) < 2 or all(numpy.array_equal(screens[0], s) for s in screens[1:]):
            fail("the pictures do not move")
        print(f"check_package: all ten samples seen moving in {len(screens)} screens")
        wine.move_pointer(PARK[0] + 30, PARK[1])
        code = program.wait(30)
        if code != 0:
            fail(f"a mouse move did not end the display with 0 (exit code {code})")
        print("check_package: a mouse move ended it with exit code 0")
    finally:
        program.kill()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    zip_path, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)   # a fresh prefix: no picture list, nothing installed
    start = os.path.join(winedrive.SCRIPTS, "wine-env-start")
    if subprocess.run([start, work], stdout=subprocess.DEVNULL).returncode != 0:
        fail("no Wine environment")
    try:
        check(zip_path, winedrive.Session(work))
    finally:
        subprocess.run([os.path.join(winedrive.SCRIPTS, "wine-env-stop"), work])


if __name__ == "__main__":
    main()
