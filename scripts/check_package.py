"""Checks the release as Windows users and administrators meet it, each in a fresh Wine prefix.

The zip: unpacked, the sample pictures copied to c:\\pictures as the guide says, the unpacked
corvelle.scr started with /s must show the samples moving and end with exit code 0 on a mouse move.
The MSI: installed silently, corvelle.scr in System32 and the samples in Program Files; with the
picture list set to the installed samples through reg.exe, as a policy would, corvelle.scr /s from
System32 shows them and ends the same way; installed again and then a newer version over it, one
entry stays in the installed programs; uninstalled, nothing it installed is left.

Usage: check_package.py ZIP MSI NEWER_MSI WORK_DIR      (WORK_DIR is emptied; it holds the prefixes)
"""

import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

import numpy
from PIL import Image

import winedrive
from winedrive import packed_colours, windows_path

CONTENTS = sorted(["LICENSE", "README.txt", "corvelle.scr"]
                  + [f"pictures/{k}.bmp" for k in range(1, 11)])
PARK = (400, 300)
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"


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


def show_and_end(wine, scr, samples):
    """scr /s must show every sample moving and end with exit code 0 on a mouse move."""
    wine.move_pointer(*PARK)
    program = wine.start(scr, "/s")
    try:
        if not winedrive.wait_until(lambda: not program.running() or wine.saver_window(), 60):
            fail(f"{scr} /s showed no display within 60 s")
        if not program.running():
            fail(f"{scr} /s ended at once with {program.wait(0)}: {program.output()}")
        seen, screens = watch(wine, program, signatures(samples))
        if len(seen) < len(samples):
            missing = [f"{k + 1}.bmp" for k in range(len(samples)) if k not in seen]
            fail(f"samples never seen on the screen: {', '.join(missing)}")
        if len(screens) < 2 or all(numpy.array_equal(screens[0], s) for s in screens[1:]):
            fail("the pictures do not move")
        print(f"check_package: {scr}: all ten samples seen moving in {len(screens)} screens")
        wine.move_pointer(PARK[0] + 30, PARK[1])
        code = program.wait(30)
        if code != 0:
            fail(f"a mouse move did not end the display with 0 (exit code {code})")
        print("check_package: a mouse move ended it with exit code 0")
    finally:
        program.kill()


def check_zip(zip_path, wine):
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
    show_and_end(wine, f"C:\\{top}\\corvelle.scr", samples)


def installed_entries(wine):
    """(name, version, publisher) of every installed program named Corvelle."""
    query = wine.start("reg", "query", UNINSTALL, "/s")
    query.wait(60)
    entries, values = [], {}
    for line in query.output().splitlines() + ["HKEY_END"]:
        if line.startswith("HKEY_"):
            if values.get("DisplayName") == "Corvelle":
                entries.append(tuple(values.get(k) for k in ("DisplayName", "DisplayVersion",
                                                             "Publisher")))
            values = {}
        elif len(fields := line.split(None, 2)) == 3:
            values[fields[0]] = fields[2]
    return entries


def check_msi(msi, newer, wine):
    version, newer_version = (re.search(r"-(\d+\.\d+\.\d+)-", p).group(1) for p in (msi, newer))
    drive_c = os.path.join(wine.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "Corvelle")
    installed = [os.path.join(drive_c, "windows", "system32", "corvelle.scr"),
                 *(os.path.join(folder, name) for name in ("README.txt", "LICENSE"))]
    samples = [os.path.join(folder, "pictures", f"{k}.bmp") for k in range(1, 11)]

    def msiexec(action, package, entries):
        code = wine.run("msiexec", action, windows_path(package), "/qn", timeout=180)
        if code != 0:
            fail(f"msiexec {action} {os.path.basename(package)} /qn ended with {code}")
        if installed_entries(wine) != entries:
            fail(f"after msiexec {action} {os.path.basename(package)} the installed programs "
                 f"list {installed_entries(wine)}, expected {entries}")
        print(f"check_package: msiexec {action} {os.path.basename(package)}: exit code 0, "
              f"installed programs {entries}")

    msiexec("/i", msi, [("Corvelle", version, "Tessarel")])
    missing = [path for path in installed + samples if not os.path.isfile(path)]
    if missing:
        fail(f"not installed: {missing}")
    if os.path.exists(os.path.join(drive_c, "pictures")) or wine.run(
            "reg", "query", winedrive.PICTURE_KEY) == 0:
        fail("the installer made c:\\pictures or a picture list")
    wine.store_pictures({k: rf"C:\Program Files\Corvelle\pictures\{k}.bmp" for k in range(1, 11)})
    show_and_end(wine, r"C:\windows\system32\corvelle.scr", samples)
    msiexec("/i", msi, [("Corvelle", version, "Tessarel")])
    msiexec("/i", newer, [("Corvelle", newer_version, "Tessarel")])
    msiexec("/x", newer, [])
    left = [path for path in installed + [folder] if os.path.exists(path)]
    if left:
        fail(f"left after uninstalling: {left}")


def fresh_prefix(work, check, *arguments):
    """Runs check(*arguments, wine) in a new Wine environment in work."""
    start = os.path.join(winedrive.SCRIPTS, "wine-env-start")
    if subprocess.run([start, work], stdout=subprocess.DEVNULL).returncode != 0:
        fail("no Wine environment")
    try:
        check(*arguments, winedrive.Session(work))
    finally:
        subprocess.run([os.path.join(winedrive.SCRIPTS, "wine-env-stop"), work])


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    zip_path, msi, newer, work = (os.path.abspath(arg) for arg in sys.argv[1:])
    shutil.rmtree(work, ignore_errors=True)   # fresh prefixes: no picture list, nothing installed
    fresh_prefix(os.path.join(work, "zip"), check_zip, zip_path)
    fresh_prefix(os.path.join(work, "msi"), check_msi, msi, newer)


if __name__ == "__main__":
    main()
