"""The display as a user meets it: what it shows for a picture list, how it moves, how it ends."""

import os
import shutil

import numpy
import pytest
from PIL import Image, ImageDraw

from conftest import PARK, SCR, colour_boxes, judged_screen, packed_colours, stored_pictures
from winedrive import wait_until, windows_path, write_bmp

FRAMES = 10
CORNER = 6   # the empty slots resting at (1,1) turn back a picture that comes this close
# (border, inner): a trail comes only from a picture's outermost pixels, so its inner colour's
# box is its place in every frame, whatever it has just met.
RED, GREEN = ((255, 160, 160), (255, 0, 0)), ((160, 255, 160), (0, 255, 0))
BLUE, CYAN = ((160, 160, 255), (0, 0, 255)), ((0, 128, 255), (0, 255, 255))
ORANGE = ((255, 200, 100), (255, 128, 0))
GREY, TEAL = (128, 128, 128), (0, 200, 100)
NEVER = [(255, 255, 0), (255, 0, 255), (128, 0, 128)]


def framed_bmp(path, size, colours, edge=1):
    """A bitmap of the inner colour in a border `edge` pixels wide (2**k for one halved k times)."""
    picture = Image.new("RGB", size, colours[0])
    ImageDraw.Draw(picture).rectangle((edge, edge, size[0] - edge - 1, size[1] - edge - 1),
                                      colours[1])
    os.makedirs(os.path.dirname(path), exist_ok=True)
    picture.save(path, "BMP")
    return windows_path(path)


def test_each_entry_shows_its_picture_at_its_fitted_size(wine, display, tmp_path):
    """Seven load: on 1280x1024 a share is 182x146; a picture beyond it is halved to fit 426x341.
    Each is smaller both ways than the one before, so none can hide a side of an earlier one. A
    grey JPEG stored sideways stands upright; a PNG shows its square, black where transparent."""
    pics, defaults = str(tmp_path), os.path.join(wine.prefix, "drive_c", "pictures")
    shutil.rmtree(defaults, ignore_errors=True)   # the fallback paths c:\pictures\<k>.bmp
    for k, colour in zip((4, 8), NEVER[1:]):
        write_bmp(os.path.join(defaults, f"{k}.bmp"), (90, 90), colour)
    framed_bmp(os.path.join(defaults, "3.bmp"), (200, 150), BLUE)    # 3 is missing: fallback
    framed_bmp(os.path.join(defaults, "5.bmp"), (100, 100), CYAN)
    far = write_bmp(f"{pics}/far.bmp", (90, 90), NEVER[0])
    os.makedirs(f"{pics}/empty")
    exif = Image.Exif()
    exif[0x0112] = 6   # turned a quarter clockwise to stand upright
    Image.new("RGB", (64, 96), GREY).save(f"{pics}/photo.jpg", exif=exif.tobytes(), quality=95)
    icon = Image.new("RGBA", (80, 50), (255, 255, 255, 0))   # transparent white around
    icon.paste(TEAL + (255,), (20, 15, 60, 35))
    icon.save(f"{pics}/icon.png")
    wine.store_pictures({
        1: framed_bmp(f"{pics}/r.bmp", (700, 500), RED, edge=2),
        2: framed_bmp(f"{pics}/写真 αβγ/ひまわり.bmp", (300, 200), GREEN),   # no code page has all
        4: windows_path(f"{pics}/gone.bmp"),            # stored but fails: no fallback
        5: far.encode() + bytes(300 - len(far)),        # over 260 bytes: missing
        6: windows_path(f"{pics}/photo.jpg"),
        7: framed_bmp(f"{pics}/café über straße.bmp", (90, 60), ORANGE),
        8: "",
        9: windows_path(f"{pics}/empty"),               # a folder without pictures
        10: windows_path(f"{pics}/icon.png"),
    })
    expected = {RED: (350, 250), GREEN: (300, 200), BLUE: (200, 150), CYAN: (100, 100),
                ORANGE: (90, 60)}
    wine.x("xsetroot", "-solid", "#010203")   # a root that no white shown can be taken for
    display()
    judge_sizes(wine, expected, {GREY: (96, 64), TEAL: (40, 20)}, f"{tmp_path}/frame")


def judge_sizes(wine, framed, solid, keep, drawn=()):
    """Every capture shows exactly the framed pictures, {(border, inner): size}, and the solid
    ones, {colour: size}, each once at its size. A touch that turns a picture leaves its vacated
    edge for that tick, outside a framed one's inner box: a solid one may be a pixel larger then,
    but no more, as a trail grows. A picture `drawn` may lie under later ones: no larger than its
    size, and at it wherever it lies apart."""
    sizes = {inner: (width - 2, height - 2) for (_, inner), (width, height) in framed.items()}
    sizes.update(solid)
    colours = {colour for pair in framed for colour in pair} | set(sizes)

    # What a later picture covers of an earlier one shows as its own, then as its frame's black,
    # up to 3 pixels beyond it: the inner part of one that lies apart keeps 5 pixels from others.
    def apart(pair, found):
        left, top, width, height = found[pair[1]][:4]
        return all(x + w + 5 <= left or left + width + 5 <= x or y + h + 5 <= top
                   or top + height + 5 <= y
                   for other in framed if other != pair for x, y, w, h, _ in [found[other[0]]])

    def fault(found):
        if set(found) != colours:
            return f"{set(found)} instead of {colours}"
        got = {colour: found[colour][2:4] for colour in sizes}
        covered = {pair[1] for pair in drawn if not apart(pair, found)}
        return any(not (sizes[c][i] <= got[c][i] or c in covered)
                   or got[c][i] > sizes[c][i] + (c in solid) for c in sizes for i in (0, 1)) \
            and f"sizes {got}, expected {sizes}"
    for frame in range(FRAMES):
        judged_screen(wine, fault, f"{keep}{frame}")


def test_folder_fields_each_show_a_picture_of_their_own_beside_a_file(wine, display, tmp_path):
    """Five load: a share of 1280x1024 is 256x204; beyond it a picture is halved to fit 640x512.
    Three fields on a tree of four pictures draw the three that a fourth does not name, whatever
    the seed, and never a hidden one or another file. None of the three is as large as another
    both ways, so none hides another; the files come last and smaller, and keep their sides."""
    tree = f"{tmp_path}/tree"
    framed_bmp(f"{tree}/sub/deeper/wide.bmp", (1200, 240), BLUE, edge=2)
    framed_bmp(f"{tree}/sub/square.bmp", (140, 140), GREEN)
    framed_bmp(f"{tree}/holiday.jpg/tall.bmp", (60, 200), CYAN)   # a folder, whatever its name
    for path, colour in zip(("notes.txt", ".hidden.bmp", ".private/e.bmp"), NEVER):
        write_bmp(f"{tree}/{path}", (90, 90), colour)
    folder = windows_path(tree)
    wine.store_pictures({1: folder, 2: folder + "\\", 3: folder,
                         4: framed_bmp(f"{tree}/named.bmp", (50, 50), RED),
                         5: framed_bmp(f"{tmp_path}/own.bmp", (40, 40), ORANGE),
                         **{k: "" for k in range(6, 11)}})
    wine.x("xsetroot", "-solid", "#010203")
    display()
    judge_sizes(wine, {BLUE: (600, 120), GREEN: (140, 140), CYAN: (60, 200), RED: (50, 50),
                       ORANGE: (40, 40)}, {}, f"{tmp_path}/frame", drawn=(BLUE, GREEN, CYAN))


def test_a_lone_picture_slides_diagonally_and_leaves_no_trail(wine, display, tmp_path):
    """Alone, it meets only the empty slots in the top-left corner: elsewhere every frame shows it
    exactly, with nothing left where it was; some two frames show it moved diagonally."""
    (border, inner), (width, height) = RED, (1180, 924)
    wine.store_pictures({1: framed_bmp(f"{tmp_path}/lone.bmp", (width, height), RED),
                         **{k: "" for k in range(2, 11)}})
    display()

    def place(found):
        left, top = found[inner][0] - 1, found[inner][1] - 1
        return None if left <= CORNER and top <= CORNER else (left, top)

    def fault(found):
        if inner not in found:
            return f"no picture: {found}"
        left, top = found[inner][0] - 1, found[inner][1] - 1
        whole = {border: (left, top, width, height, 2 * (width + height) - 4),
                 inner: (left + 1, top + 1, width - 2, height - 2, (width - 2) * (height - 2))}
        return place(found) and found != whole and f"{found}"
    places = [place(judged_screen(wine, fault, f"{tmp_path}/frame{frame}"))
              for frame in range(3 * FRAMES)]
    moves = [(b[0] - a[0], b[1] - a[1]) for a, b in zip(places, places[1:]) if a and b]
    assert any(abs(dx) == abs(dy) > 0 for dx, dy in moves), f"moves {moves}"


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
        if index < len(actions) - 1:   # an ending takes the window off within some 50 ms
            ended = wait_until(lambda: not program.running() or not wine.saver_window(), 1.5)
            assert not ended, f"ended by {kind} {args}"
    assert program.wait(30) == 0


def test_the_samples_of_every_bitmap_kind_show_one_copy_at_a_time_and_no_preview(wine, display):
    """The samples are 1-, 4-, 8-, 24- and 32-bit and run-length encoded bitmaps: each must show,
    told by 50 pixels of colours that no other sample has."""
    samples = [os.path.join(os.path.dirname(SCR), "samples", f"{k}.bmp") for k in range(1, 11)]
    wine.store_pictures({k: windows_path(path) for k, path in enumerate(samples, 1)})
    preview = wine.start(SCR, "/p")
    ended = wait_until(lambda: wine.windows() or (not preview.running() and "ended"), 30)
    assert ended == "ended" and preview.wait(0) == 1, "the preview switch showed a window"
    colours = [set(numpy.unique(packed_colours(Image.open(path))).tolist()) - {0}
               for path in samples]
    own = [sorted(c - set().union(*(colours[:k] + colours[k + 1:]))) for k, c in enumerate(colours)]
    unseen = set(range(10))
    wine.x("xsetroot", "-solid", "#010203")   # a root that no sample's white can be taken for
    program = display("/s")

    def all_seen():
        screen = packed_colours(wine.screenshot())
        unseen.difference_update([k for k in unseen if numpy.isin(screen, own[k]).sum() >= 50])
        return not unseen
    assert wait_until(all_seen, 20), f"samples never seen: {sorted(k + 1 for k in unseen)}"
    assert [wine.run(SCR, switch) for switch in ("/s", "/c", "/p")] == [1, 1, 1]
    wine.move_pointer(PARK[0] + 30, PARK[1])
    assert program.wait(30) == 0


def test_settings_ok_writes_back_paths_in_any_language_as_they_were(wine, tmp_path):
    stored = {1: windows_path(f"{tmp_path}/写真 αβγ/ひまわり.bmp"), 2: r"c:\café über straße.bmp"}
    wine.store_pictures(stored)
    settings = wine.start(SCR, "/c:1234")
    assert wait_until(wine.windows, 60) and not wine.saver_window(), \
        f"no settings: exit {settings.wait(0)}; {settings.output()}"
    assert wine.run(SCR, "/s") == 1
    wine.x("xdotool", "key", "Return")
    assert settings.wait(30) == 0
    assert stored_pictures(wine) == {**{k: "" for k in range(1, 11)}, **stored}
