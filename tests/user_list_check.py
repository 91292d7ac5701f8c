"""A picture list stored before the Win32 tests must read back unchanged after them, through Wine's
own reg.exe: the tests work on a scratch key of their own.

Usage: user_list_check.py store|check WINE_DIR
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import winedrive  # noqa: E402

OWN_LIST = {"File1": r"c:\own list\1.bmp", "File10": r"d:\ten.bmp"}


def stored(wine):
    query = wine.start("reg", "query", winedrive.PICTURE_KEY)
    query.wait(60)
    fields = [line.split(None, 2) for line in query.output().splitlines()]
    return {f[0]: f[2] for f in fields if len(f) == 3 and f[1].startswith("REG_")}


def main():
    action, wine = sys.argv[1], winedrive.Session(sys.argv[2])
    if action == "store":
        wine.store_pictures({int(name[4:]): path for name, path in OWN_LIST.items()})
    got = stored(wine)
    if got != OWN_LIST:
        sys.exit(f"the user's list reads {got}, expected {OWN_LIST}")


if __name__ == "__main__":
    main()
