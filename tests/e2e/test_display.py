"""The display as a user meets it: what it shows for a picture list, how it moves, how it ends."""

import os
import time

import pytest
from PIL import Image

from conftest import PARK, SCR
from winedrive import colour_boxes, wait_until, windows_path, write_bmp

RED, GREEN, BLUE, CYAN, ORANGE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 255, 255), (255, 128, 0)
NEVER = [(255, 255, 0), (255, 0, 255), (128, 0, 128), (200, 200, 200), (0, 128, 128), (128, 64, 0)]


def registry_list(pics, defaults):
    """Five load: on 1280x1024 a share is 256x204; a picture beyond it is halved to fit 640x512.
    None is larger both ways than one before it, so none can be placed over an earlier one."""
    for k, colour in zip((4, 6, 8, 9, 10), NEVER[1:]):
        write_bmp(os.path.join(defaults, f"{k}.bmp"), (90, 90), colour)
    write_bmp(os.path.join(defaults, "3.bmp"), (200, 150), BLUE)   # 3 is missing: fallback
    write_bmp(os.path.join(defaults, "5.bmp"), (100, 100), CYAN)
    far = write_bmp(f"{pics}/far.bmp", (90, 90), NEVER[0])
    return {
        1: write_bmp(f"{pics}/r.bmp", (700, 300), RED),
        2: write_bmp(f"{pics}/green-with-a-longer-name.bmp", (300, 100), GREEN),
        4: windows_path(f"{pics}/gone.bmp"),            # stored but fails: no fallback
        5: far.encode() + bytes(300 - len(far)),        # over 260 bytes: missing
        6: 6,                                           # a number, read as raw bytes
        7: write_bmp(f"{pics}/café.bmp", (120, 80), ORANGE),
        8: "",
        9: windows_path(pics),
        10: far.encode() + b"x" * (260 - len(far)),     # 260 bytes, no terminator
    }, {RED: (350, 150), GREEN: (300, 100), BLUE: (200, 150), CYAN: (100, 100), ORANGE: (120, 80)}


def broken_files(pics, defaults):
    """Two load: a share is 640x512, and a picture beyond it is halved until it fits the screen."""
    write_bmp(f"{pics}/good.bmp", (50, 50), NEVER[0])
    good = open(f"{pics}/good.bmp", "rb").read()
    values = {}
    for k, data in enumerate([good[:30], b"BM" + bytes(range(256)) * 20, b"",
                              good[:18] + (50000).to_bytes(4, "little") * 2 + good[26:154]], 1):
        open(f"{pics}/{k}.bmp", "wb").write(data)   # truncated, corrupt, empty, 50000x50000
        values[k] = windows_path(f"{pics}/{k}.bmp")
    Image.new("RGB", (80, 80), NEVER[2]).save(f"{pics}/other.png")
    values.update({5: windows_path(f"{pics}/other.png"),
                   6: write_bmp(f"{pics}/big.bmp", (3000, 2000), BLUE),
                   7: write_bmp(f"{pics}/small.bmp", (64, 48), GREEN)})
    return values, {BLUE: (750, 500), GREEN: (64, 48)}


def steps(places):   # moves between places seen in consecutive frames
    return [(b[1] - a[1], b[2] - a[2]) for a, b in zip(places, places[1:]) if b[0] == a[0] + 1]


def apart(a, b, gap=4):
    return (a[0] >= b[0] + b[2] + gap or b[0] >= a[0] + a[2] + gap
            or a[1] >= b[1] + b[3] + gap or b[1] >= a[1] + a[3] + gap)


@pytest.mark.parametrize("scenario", [registry_list, broken_files])
def test_pictures_show_whole_at_their_fitted_size_and_slide(wine, display, defaults, tmp_path,
                                                            scenario):
    values, expected = scenario(str(tmp_path), defaults)
    wine.store_pictures(values)
    program = display()
    # Pictures that meet may rebound against each other for a while, each rebound leaving an edge
    # for a tick (so may the empty slots at 1,1): judge a picture only where it stands apart.
    alone = {colour: [] for colour in expected}   # (frame, left, top)
    deadline, frame = time.monotonic() + 60, 0
    while time.monotonic() < deadline and not all(len(steps(p)) >= 3 for p in alone.values()):
        found = colour_boxes(wine.screenshot())
        assert set(found) <= set(expected), f"stray colours {set(found) - set(expected)}"
        for colour, box in found.items():
            if all(apart(box, other) for other in [(0, 0, 1, 1)] + list(found.values())
                   if other is not box):
                width, height = expected[colour]
                assert box[2:] == (width, height, width * height), f"{colour} at {box}"
                alone[colour].append((frame, box[0], box[1]))
        frame += 1
    for colour, places in alone.items():
        moves = steps(places)
        assert any(abs(dx) == abs(dy) > 0 for dx, dy in moves), f"{colour} moved {moves}"
    wine.move_pointer(PARK[0], PARK[1] + 21)
    assert program.wait(30) == 0, program.output()


@pytest.mark.parametrize("actions", [
    [("move", 20, 20), ("move", 21, 0)], [("move", -20, -20), ("move", 0, -21)],
    [("key", "Return")], [("key", "Escape")], [("key", "alt+F4")], [("click", 1), ("click", 2)],
], ids=["20px-then-21px-right", "20px-then-21px-up", "enter", "esc", "close", "click-then-double"])
def test_a_black_screen_that_ends_with_0_on_the_last_action_only(wine, display, actions):
    wine.store_pictures({k: "" for k in range(1, 11)})
    program = display()
    assert colour_boxes(wine.screenshot()) == {}, "not black all over"
    for index, (kind, *args) in enumerate(actions):
        if kind == "move":
            wine.move_pointer(PARK[0] + args[0], PARK[1] + args[1])
        elif kind == "key":
            wine.x("xdotool", "key", args[0])
        else:
            wine.x("xdotool", "click", "--repeat", str(args[0]), "--delay", "80", "1")
        if index < len(actions) - 1:
            assert program.wait(1.5) is None, f"ended by {kind} {args}"
    assert program.wait(30) == 0


def test_one_copy_at_a_time_and_no_preview(wine, display):
    wine.store_pictures({k: "" for k in range(1, 11)})
    preview = wine.start(SCR, "/p")
    ended = wait_until(lambda: wine.windows() or (not preview.running() and "ended"), 30)
    assert ended == "ended" and preview.wait(0) == 1, "the preview switch showed a window"
    program = display("/s")
    assert [wine.run(SCR, switch) for switch in ("/s", "/c", "/p")] == [1, 1, 1]
    wine.move_pointer(PARK[0] + 30, PARK[1])
    assert program.wait(30) == 0

    settings = wine.start(SCR, "/c:1234")
    assert wait_until(wine.windows, 60) and wine.run(SCR, "/s") == 1, settings.output()
    settings.kill()
