"""The settings dialog of corvelle.scr used with the keyboard, and what the display then shows."""

import os
import signal
import struct

import harness
from harness import check

TITLE = "Corvelle Settings"
WINDOW_TIMEOUT = 60
EXIT_TIMEOUT = 20
STORED_SIZE = 260

# Keyboard focus starts on OK; Tab then visits the tab stops in this order.
TAB_ORDER = ["OK", "File1", "Browse1", "Cancel", "File2", "Browse2", "File3", "Browse3", "File4",
             "Browse4", "File5", "Browse5", "Browse6", "File6", "Browse7", "File7", "Browse8",
             "File8", "Browse9", "File9", "Browse10", "File10"]


def settings_windows():
    return [w for w in harness.top_windows() if w[1].strip('"') == TITLE]


def descendants(pid):
    """Process ids below pid, each parent before its children: the Windows program runs below
    wine-run."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                # The parent id follows the parenthesised command name.
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(entry))
    found = []
    pending = [pid]
    while pending:
        for child in children.get(pending.pop(), []):
            found.append(child)
            pending.append(child)
    return found


def end_process_tree(process):
    """Ends a WineProcess together with the Windows program, which killing wine-run leaves."""
    for pid in reversed(descendants(process.popen.pid)):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    process.kill()


class SettingsDialog:
    """corvelle.scr with a settings switch, from its window appearing to its exit."""

    def __init__(self, *arguments):
        self.arguments = arguments or ("/c",)
        self.focus = "OK"

    def __enter__(self):
        check(not settings_windows(), "a settings dialog is already on the screen")
        self.process = harness.WineProcess(harness.SCR, *self.arguments)
        window = harness.wait_until(
            lambda: self.process.popen.poll() is not None or settings_windows(), WINDOW_TIMEOUT)
        if self.process.popen.poll() is not None:
            raise harness.TestFailure(
                f"{' '.join(self.arguments)} exited with {self.process.popen.returncode} before "
                f"a window titled {TITLE!r} appeared: {self.process.output()}")
        if not window:
            end_process_tree(self.process)
            raise harness.TestFailure(f"no window titled {TITLE!r} within {WINDOW_TIMEOUT} s")
        self.window = window[0]
        # Without a window manager the keyboard follows the pointer: the user points at the
        # dialog before typing.
        _, _, left, top, width, height = self.window
        harness.mouse_move(left + width // 2, top + height // 2)
        return self

    def key(self, *keys):
        harness.x("xdotool", "key", "--delay", "30", *keys)

    def go_to(self, stop):
        """Tabs forward from the current focus to the named tab stop."""
        steps = (TAB_ORDER.index(stop) - TAB_ORDER.index(self.focus)) % len(TAB_ORDER)
        if steps:
            self.key(*["Tab"] * steps)
        self.focus = stop

    def type_into(self, field, text):
        """Tabbing into a field selects its text, so typing replaces it."""
        self.go_to(field)
        harness.x("xdotool", "type", "--delay", "20", text)

    def empty(self, field):
        self.go_to(field)
        self.key("BackSpace")

    def expect_exit_0(self, what):
        code = self.process.wait(EXIT_TIMEOUT)
        check(code is not None, f"{what} did not end the settings dialog within {EXIT_TIMEOUT} s")
        check(code == 0, f"{what} ended the settings dialog with exit code {code}, expected 0")

    def __exit__(self, *exc):
        if self.process.popen.poll() is None:
            # Leave nothing behind for the next test: Esc stores nothing.
            self.key("Escape")
            if self.process.wait(EXIT_TIMEOUT) is None:
                end_process_tree(self.process)
        harness.wait_until(lambda: not settings_windows(), 10)
        return False


def stored_text(value):
    _, data = value
    return data.split(b"\0", 1)[0].decode("latin-1")


def expect_stored(picture, text):
    values = harness.registry_values()
    check(picture in values, f"File{picture} was not stored")
    kind, data = values[picture]
    check(kind == 1, f"File{picture} has type {kind}, expected 1 (REG_SZ)")
    check(len(data) == STORED_SIZE, f"File{picture} has {len(data)} bytes, expected {STORED_SIZE}")
    check(stored_text(values[picture]) == text,
          f"File{picture} holds {stored_text(values[picture])!r}, expected {text!r}")


def read_bmp_rgb(path):
    """(width, height, top-down RGB bytes) of an uncompressed 24-bit BMP."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    check(bits == 24 and compression == 0 and height > 0,
          f"{path} is not a bottom-up uncompressed 24-bit BMP")
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for row in range(height - 1, -1, -1):
        bgr = data[offset + row * stride:offset + row * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return width, height, b"".join(rows)


def non_black_box(shot):
    """(left, top, right, bottom) around every non-black pixel of a screenshot, or None."""
    row_bytes = shot.width * 3
    black_row = bytes(row_bytes)
    left, top, right, bottom = shot.width, None, -1, None
    for y in range(shot.height):
        row = shot.rgb[y * row_bytes:(y + 1) * row_bytes]
        if row == black_row:
            continue
        top = y if top is None else top
        bottom = y
        left = min(left, (row_bytes - len(row.lstrip(b"\0"))) // 3)
        right = max(right, (len(row.rstrip(b"\0")) - 1) // 3)
    return None if top is None else (left, top, right + 1, bottom + 1)


def region(shot, box):
    left, top, right, bottom = box
    row_bytes = shot.width * 3
    return b"".join(shot.rgb[y * row_bytes + left * 3:y * row_bytes + right * 3]
                    for y in range(top, bottom))


def sample(number):
    path = os.path.join(harness.SAMPLES_DIR, f"{number}.bmp")
    check(os.path.isfile(path), f"sample picture {path} is missing (build the samples target)")
    return path


def test_settings_switches_show_the_dialog():
    for arguments in (("/c",), ("/c:1234",)):
        with SettingsDialog(*arguments) as dialog:
            check(dialog.process.wait(0.5) is None,
                  f"{arguments[0]} ended while its dialog was shown")
            _, _, _, _, width, height = dialog.window
            check(width > 100 and height > 100, f"the dialog is only {width}x{height}")
            dialog.key("Escape")
            dialog.expect_exit_0(f"Esc after {arguments[0]}")


def test_second_copy_exits_with_1_while_the_dialog_is_open():
    with SettingsDialog() as dialog:
        for arguments in (("/c",), ("/s",)):
            code, _ = harness.run_wine(harness.SCR, *arguments, timeout=30)
            check(code == 1, f"second copy with {arguments} exited with {code}, expected 1")
        check(dialog.process.wait(0.5) is None, "the first copy ended when a second one started")
        check(len(settings_windows()) == 1,
              f"{len(settings_windows())} settings windows, expected the first copy's one")


def test_typing_a_path_and_pressing_enter_stores_it():
    harness.regtool("reset")
    path = r"Z:\photos\summer-2024\beach_1.bmp"
    try:
        with SettingsDialog() as dialog:
            dialog.type_into("File1", path)
            dialog.key("Return")
            dialog.expect_exit_0("Enter")
        expect_stored(1, path)
        for picture in range(2, 11):
            expect_stored(picture, "")
    finally:
        harness.regtool("reset")


def test_escape_after_typing_stores_nothing():
    harness.regtool("reset")
    harness.regtool("set", "1", r"C:\before.bmp")
    try:
        with SettingsDialog() as dialog:
            dialog.type_into("File1", r"C:\after.bmp")
            dialog.type_into("File2", r"C:\new.bmp")
            dialog.key("Escape")
            dialog.expect_exit_0("Esc")
        values = harness.registry_values()
        check(sorted(values) == [1], f"stored values {sorted(values)}, expected only File1")
        expect_stored(1, r"C:\before.bmp")
    finally:
        harness.regtool("reset")


def test_the_one_picture_chosen_is_the_only_one_displayed():
    chosen = sample(1)
    width, height, pixels = read_bmp_rgb(chosen)
    harness.regtool("reset")
    # Nine other pictures are set up front, so each must really be emptied in the dialog.
    for picture in range(2, 11):
        harness.regtool("set", str(picture), harness.windows_path(sample(picture)))
    try:
        with SettingsDialog() as dialog:
            dialog.type_into("File1", harness.windows_path(chosen))
            for picture in range(2, 11):
                dialog.empty(f"File{picture}")
            dialog.key("Return")
            dialog.expect_exit_0("Enter")
        expect_stored(1, harness.windows_path(chosen))
        for picture in range(2, 11):
            expect_stored(picture, "")

        def shows_only_the_chosen_picture():
            shot = harness.screenshot()
            box = non_black_box(shot)
            if box is None or (box[2] - box[0], box[3] - box[1]) != (width, height):
                return None
            return box if region(shot, box) == pixels else None

        with harness.SaverRun():
            # A paint may be caught half done; a whole frame soon follows.
            box = harness.wait_until(shows_only_the_chosen_picture, 20, interval=0.2)
            if not box:
                seen = non_black_box(harness.screenshot())
                check(False, f"non-black area {seen}, expected one {width}x{height} picture "
                             f"identical to {os.path.basename(chosen)}")
    finally:
        harness.regtool("reset")


if __name__ == "__main__":
    harness.main([
        test_settings_switches_show_the_dialog,
        test_second_copy_exits_with_1_while_the_dialog_is_open,
        test_typing_a_path_and_pressing_enter_stores_it,
        test_escape_after_typing_stores_nothing,
        test_the_one_picture_chosen_is_the_only_one_displayed,
    ])
