"""The running display seen on screen: three pictures as clean rectangles moving diagonally."""

import os
import shutil
import tempfile
import time

import bmp
import harness
from harness import check

# Pure red, green and blue: each picture owns one colour channel (picture k, channel k), so one
# channel of a screenshot is the map of one picture and whole-screen checks stay byte operations.
COLOURS = ((255, 0, 0), (0, 255, 0), (0, 0, 255))
NAMES = ("red", "green", "blue")
# Each picture is smaller on both axes than the one before it, in a later slot and so painted
# later: a smaller picture overlapping a bigger one always has a corner inside it, so placement
# never puts them over one another, and should motion ever do so, the later one never hides a
# whole side of the earlier. The first is wider than W / 3 (three pictures share the screen) but
# fits the whole screen: it is copied, as the fitting does, at its own size.
LOADED_SIZES = ((440, 120), (120, 90), (72, 54))
WATCH_SECONDS = 4.0
# A touch within this many pixels reverses a picture (two, plus the touching line itself).
TOUCH_RANGE = 3
# Empty slots rest at (1, 1) and knock about a picture whose corner comes within this reach.
CORNER_REACH = 4


class Box:
    """Where one picture's colour lies on a screenshot: its bounding box and pixel count."""

    def __init__(self, left, top, right, bottom, count):
        self.left, self.top, self.right, self.bottom = left, top, right, bottom
        self.count = count

    @property
    def width(self):
        return self.right - self.left

    @property
    def height(self):
        return self.bottom - self.top

    def solid(self):
        return self.count == self.width * self.height

    def gap_to(self, other):
        """Pixels between two boxes on the axis where they lie farthest apart."""
        return max(self.left - other.right, other.left - self.right,
                   self.top - other.bottom, other.top - self.bottom)

    def __repr__(self):
        return (f"{self.width}x{self.height} at ({self.left}, {self.top}), "
                f"{self.count} pixels")


def colour_box(plane, width):
    """The box of all 255 bytes of one colour channel (one byte per pixel), or None."""
    first = plane.find(b"\xff")
    if first < 0:
        return None
    top, bottom = first // width, plane.rfind(b"\xff") // width + 1
    left, right = width, 0
    for row in range(top, bottom):
        start = row * width
        column = plane.find(b"\xff", start, start + width)
        if column >= 0:
            left = min(left, column - start)
            right = max(right, plane.rfind(b"\xff", start, start + width) - start + 1)
    return Box(left, top, right, bottom, plane.count(b"\xff"))


def analyse(shot):
    """Returns ([Box or None per colour], problem text or None) for one screenshot."""
    planes = [shot.rgb[channel::3] for channel in range(3)]
    for name, plane in zip(("red", "green", "blue"), planes):
        if plane.translate(None, b"\x00\xff"):
            return None, f"a {name} channel value other than 0 and 255"
    # A pixel with two channels set would be a colour no picture has.
    either = (int.from_bytes(planes[0], "little") | int.from_bytes(planes[1], "little")
              | int.from_bytes(planes[2], "little"))
    non_black = either.to_bytes(len(planes[0]), "little").count(b"\xff")
    single = sum(plane.count(b"\xff") for plane in planes)
    if non_black != single:
        return None, f"{non_black - single} pixels of mixed colour"
    return [colour_box(plane, shot.width) for plane in planes], None


def near_something(index, boxes):
    """Whether picture index may have just been reversed by a touch, or cut by a later frame."""
    box = boxes[index]
    if box.left <= CORNER_REACH and box.top <= CORNER_REACH:
        return True
    return any(other is not None and i != index and box.gap_to(other) <= TOUCH_RANGE
               for i, other in enumerate(boxes))


def write_pictures(directory):
    paths = []
    for index, (colour, (width, height)) in enumerate(zip(COLOURS, LOADED_SIZES)):
        path = os.path.join(directory, f"motion-{index + 1}.bmp")
        bmp.write(path, bmp.solid_bmp(width, height, colour))
        paths.append(path)
    return paths


def test_three_pictures_move_diagonally_as_clean_rectangles():
    screen_width, screen_height = harness.screen_size()
    # Three pictures within the whole screen keep their size.
    sizes = LOADED_SIZES
    check(all(w <= screen_width and h <= screen_height for w, h in sizes),
          f"a {screen_width}x{screen_height} screen is too small for this test")
    directory = tempfile.mkdtemp(prefix="corvelle-motion-")
    try:
        harness.regtool("reset")
        for picture, path in enumerate(write_pictures(directory), start=1):
            harness.regtool("set", str(picture), harness.windows_path(path))
        for picture in range(len(COLOURS) + 1, 11):
            harness.regtool("set", str(picture), "")   # no default pictures either
        with harness.SaverRun() as run:
            shots = watch(run)
    finally:
        harness.regtool("reset")
        shutil.rmtree(directory, ignore_errors=True)
    check_shots(shots, sizes, screen_width, screen_height)


def watch(run):
    """Screenshots as fast as they come for a few seconds, each with its analysis."""
    shots = []
    first_frame = harness.wait_until(
        lambda: (lambda boxes: boxes if boxes and all(boxes) else None)(
            analyse(harness.screenshot())[0]), 20, interval=0.1)
    check(first_frame, "the three pictures did not all appear within 20 s")
    deadline = time.monotonic() + WATCH_SECONDS
    while time.monotonic() < deadline:
        shot = harness.screenshot()
        taken = time.monotonic()
        boxes, problem = analyse(shot)
        if problem:
            saved = os.path.join(tempfile.gettempdir(), "corvelle-motion-failure.png")
            shot.save_png(saved)
            check(False, f"screenshot {len(shots)}: {problem} (saved as {saved})")
        shots.append((taken, boxes))
    check(run.wait_exit(0) is None, "the display ended on its own")
    return shots


def check_shots(shots, sizes, screen_width, screen_height):
    clean = 0
    tolerated = []
    for number, (_, boxes) in enumerate(shots):
        all_exact = True
        for index, (box, size) in enumerate(zip(boxes, sizes)):
            name = NAMES[index]
            check(box is not None, f"screenshot {number}: the {name} picture is missing")
            if not is_exact(box, size):
                # Tolerance, and only here: a touch reversal leaves the vacated edge column or
                # row for one tick, and a later picture's frame may cut up to two columns or rows
                # off an earlier picture within two pixels of it.
                all_exact = False
                check(near_something(index, boxes)
                      and size[0] - 2 <= box.width <= size[0] + 1
                      and size[1] - 2 <= box.height <= size[1] + 1,
                      f"screenshot {number}: the {name} picture is {box}, expected a solid "
                      f"{size[0]}x{size[1]} rectangle")
                tolerated.append(f"shot {number} {name}: {box}")
            check(box.left >= 1 and box.top >= 1 and box.right <= screen_width
                  and box.bottom <= screen_height,
                  f"screenshot {number}: the {name} picture {box} is not inside the screen")
        clean += all_exact
    print(f"{len(shots)} screenshots, {clean} with three exact rectangles and nothing else; "
          f"tolerated beside a touch: {tolerated or 'none'}", flush=True)
    check(clean >= 10, f"only {clean} of {len(shots)} screenshots show three exact rectangles")
    check_diagonal_steps(shots, sizes, screen_width, screen_height)


def is_exact(box, size):
    return box.solid() and (box.width, box.height) == size


def check_diagonal_steps(shots, sizes, screen_width, screen_height):
    """Between two screenshots every picture that cannot have bounced moved the same number of
    pixels on both axes, and all such pictures the same number: one pixel per tick per axis."""
    compared = 0
    rates = []
    for (before_time, before), (after_time, after) in zip(shots, shots[1:]):
        if not all(is_exact(box, size) for boxes in (before, after)
                   for box, size in zip(boxes, sizes)):
            continue
        moves = [(a.left - b.left, a.top - b.top) for b, a in zip(before, after)]
        ticks = max(max(abs(dx), abs(dy)) for dx, dy in moves)
        if ticks == 0:
            continue   # the same frame twice
        for index, (dx, dy) in enumerate(moves):
            if could_have_bounced(index, before, after, ticks, screen_width, screen_height):
                continue
            check((abs(dx), abs(dy)) == (ticks, ticks),
                  f"the {NAMES[index]} picture moved by ({dx}, {dy}) between two screenshots, "
                  f"expected {ticks} pixels on both axes like the others")
            compared += 1
        rates.append(ticks / (after_time - before_time))
    check(compared >= 10, f"only {compared} displacements could be compared")
    rates.sort()
    print(f"{compared} displacements compared; about {rates[len(rates) // 2]:.0f} ticks per "
          f"second (median of {len(rates)} intervals)", flush=True)


def could_have_bounced(index, before, after, ticks, screen_width, screen_height):
    """Whether within `ticks` steps the picture could have met an edge, the resting empty slots
    or another picture, in either screenshot's position."""
    margin = ticks + TOUCH_RANGE
    for boxes in (before, after):
        box = boxes[index]
        if (box.left - 1 <= margin or screen_width - box.right <= margin
                or box.top - 1 <= margin or screen_height - box.bottom <= margin):
            return True
        for other_index, other in enumerate(boxes):
            if other_index != index and box.gap_to(other) <= 2 * ticks + TOUCH_RANGE:
                return True
    return False


if __name__ == "__main__":
    harness.main([test_three_pictures_move_diagonally_as_clean_rectangles])
