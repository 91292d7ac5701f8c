// The stored list, the settings dialog, its picker and folder chooser and files dropped on it,
// the dialogs worked from a helper thread.
#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/settings_dialog.h"

#include "scratch.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kKey[] = "SoftWare\\Tessarel\\Corvelle";
const DWORD g_dialogThread = GetCurrentThreadId();
// Greek and Japanese, which no 8-bit code page holds together.
const std::string kFolder = "\xE5\x86\x99\xE7\x9C\x9F \xCE\xB1\xCE\xB2\xCE\xB3";
const std::string kPicture = "\xE3\x81\xB2\xE3\x81\xBE\xE3\x82\x8F\xE3\x82\x8A.bmp";

// Polls `done` for up to 10 s; returns its last answer.
bool WaitFor(const std::function<bool()>& done)
{
    for (int tries = 0; tries < 200 && !done(); ++tries)
        Sleep(50);
    return done();
}

// The visible windows of the thread the dialogs run on, and of no other program.
std::vector<HWND> DialogWindows()
{
    std::vector<HWND> found;
    EnumThreadWindows(g_dialogThread, [](HWND window, LPARAM list) -> BOOL {
        if (IsWindowVisible(window))
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The first of them that `match` takes within 10 s, or null.
HWND WaitForWindow(const std::function<bool(HWND)>& match)
{
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND window : DialogWindows())
            found = found || !match(window) ? found : window;
        return found != nullptr;
    });
    return found;
}

HWND WaitForCaption(const char* caption)
{
    return WaitForWindow([caption](HWND window) {
        char text[64] = "";
        GetWindowTextA(window, text, sizeof text);
        return std::strcmp(text, caption) == 0;
    });
}

// Whether a dialog ends by itself (`ended`). If not, every window of the dialogs' thread is
// cancelled until it has: what a failed step left open must not hold the test until its time
// limit.
bool EndsByItself(const std::function<bool()>& ended)
{
    if (WaitFor(ended))
        return true;
    WaitFor([&] {
        for (HWND open : DialogWindows())
            PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
        return ended();
    });
    return false;
}

std::wstring Wide(const std::string& text)
{
    return std::filesystem::u8path(text).wstring();
}

std::string Repeat(const std::string& text, int times)
{
    return times > 0 ? text + Repeat(text, times - 1) : "";
}

// What File<picture> holds: its type, length and text up to the first NUL, or "none".
std::string Stored(int picture)
{
    DWORD type = 0, size = 1024;
    char data[1024] = {};
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, ("File" + std::to_string(picture)).c_str(),
                     RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
        return "none";
    return "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes: " + data;
}

std::string Field(HWND dialog, int picture)
{
    char text[1024] = {};
    GetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, text, sizeof text);
    return text;
}

// 200 characters, 60 of them accented, as an earlier version stored them from a Western code
// page: 260 bytes there, 320 in UTF-8 with the filler, so too long to read now.
const std::string kOldPath = "c:\\" + Repeat("\xC3\xA9", 60) + std::string(137, 'o');

// The name a screen reader gives a control: that of the system's standard accessible object.
std::wstring AccessibleName(HWND control)
{
    IAccessible* accessible = nullptr;
    if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&accessible))))
        return L"no accessible object";
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT got = accessible->get_accName(self, &name);
    accessible->Release();
    const std::wstring text = got == S_OK && name != nullptr ? name : L"no name";
    SysFreeString(name);
    return text;
}

// Runs the dialog over a stored list; `user` gets it once it shows and must end it.
void UseSettings(const std::function<void(HWND)>& user)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    const std::string full(260, 'a'), tooLong(261, 'x');
    // 260 bytes and no terminator, then a shorter value without one: none of the first may stay.
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File1", REG_BINARY, full.data(), 260);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File2", REG_BINARY, "xyz", 3);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File3", REG_BINARY, tooLong.data(), 261);
    std::wstring old = Wide(kOldPath);
    old.resize(260);
    RegSetKeyValueW(HKEY_CURRENT_USER, Wide(kKey).c_str(), L"File4", REG_SZ, old.data(), 520);
    std::atomic<bool> ended{false};
    std::thread helper([&] {
        HWND dialog = WaitForCaption("Corvelle Settings");
        EXPECT_NE(nullptr, dialog) << "no window captioned Corvelle Settings";
        // Each field shows what is stored and has its label's name for a screen reader.
        for (int picture = 1; dialog && picture <= 10; ++picture) {
            EXPECT_EQ(picture == 1 ? full : picture == 2 ? "xyz" : "", Field(dialog, picture))
                << "field " << picture << " on opening";
            EXPECT_EQ(L"Picture " + std::to_wstring(picture),
                      AccessibleName(GetDlgItem(dialog, IDC_FILE1 + picture - 1)));
        }
        EXPECT_EQ(L"Folder...", AccessibleName(GetDlgItem(dialog, IDC_FOLDER)));
        std::vector<int> tabOrder;
        for (HWND control = GetNextDlgTabItem(dialog, nullptr, FALSE); tabOrder.size() < 24;
             control = GetNextDlgTabItem(dialog, control, FALSE))
            tabOrder.push_back(GetDlgCtrlID(control));
        EXPECT_EQ((std::vector<int>{IDOK, 1000, 1010, IDCANCEL, 1001, 1011, 1002, 1012, 1003, 1013,
                                    1004, 1014, 1015, 1005, 1016, 1006, 1017, 1007, 1018, 1008,
                                    1019, 1009, IDC_FOLDER, IDOK}), tabOrder);
        if (dialog != nullptr)
            user(dialog);
        EXPECT_TRUE(EndsByItself([&] { return ended.load(); })) << "the dialog did not end";
    });
    EXPECT_EQ(0, DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                 SettingsDialogProc, 0));
    ended = true;
    helper.join();
}

// The names the picker's list offers.
std::string Offered(HWND picker)
{
    HWND view = FindWindowExA(picker, nullptr, "SHELLDLL_DefView", nullptr);
    HWND list = FindWindowExA(view, nullptr, "SysListView32", nullptr);
    std::string offered;
    for (int i = 0; i < SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
        char text[MAX_PATH] = "";
        LVITEMA item = {};
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        offered += (i ? ", " : "") + std::string(text);
    }
    return offered;
}

// Browses for `picture`: checks the name the picker opens on, that the settings dialog stays
// usable and, given `offered`, what the picker lists; then has a missing name refused, types and
// presses `button`. Returns the field afterwards. The name field is the edit in the picker's
// cmb13 (as in Wine), or edt1.
std::string Browse(HWND settings, int picture, const std::string& opensOn, const char* typed,
                   int button, const std::string& offered = "")
{
    PostMessageA(settings, WM_COMMAND, IDC_BROWSE1 + picture - 1, 0);
    HWND picker = WaitForCaption("Select bitmap");
    if (picker == nullptr)
        return "no picker";
    HWND inner = FindWindowExA(GetDlgItem(picker, cmb13), nullptr, "ComboBox", nullptr);
    HWND name = inner ? FindWindowExA(inner, nullptr, "Edit", nullptr) : GetDlgItem(picker, edt1);
    char text[600] = "";
    SendMessageA(name, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(opensOn, text) << "name the picker for picture " << picture << " opens on";
    EXPECT_TRUE(IsWindowEnabled(settings)) << "the settings dialog behind picker " << picture;
    EXPECT_EQ(offered, offered.empty() ? offered : Offered(picker)) << "picker " << picture;
    if (typed != nullptr) {
        SetWindowTextA(name, "no such picture.bmp");
        PostMessageA(picker, WM_COMMAND, IDOK, 0);
        HWND refusal = WaitForWindow([picker](HWND w) { return GetWindow(w, GW_OWNER) == picker; });
        EXPECT_NE(nullptr, refusal) << "a missing file chosen for picture " << picture;
        PostMessageA(refusal, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return IsWindowEnabled(picker); });
        SetWindowTextA(name, typed);
    }
    PostMessageA(picker, WM_COMMAND, button, 0);
    return EndsByItself([&] { return !IsWindow(picker); }) ? Field(settings, picture)
                                                           : "picker left open";
}

}  // namespace

TEST(SettingsDialog, OkStoresTypedFieldsAsFull260ByteStringsAndKeepsUnreadableOnesCancelNothing)
{
    // Each longer than a field shows; 1 to 7 shorter than 259 bytes, 8 cut there. 9 names a
    // picture in a folder of Greek and Japanese letters; 10, of three-byte characters, is cut
    // where a character ends. 4, too long to read, and 5, missing, are left alone.
    const auto typed = [](int k) {
        return k == 9 ? "c:\\" + kFolder + "\\" + kPicture
             : k == 10 ? "c:\\" + kFolder + Repeat(kPicture.substr(0, 3), 90)
                       : "c:\\" + std::string(30 * k + 27, 'a' + k);
    };
    const struct {
        const char* name;
        UINT message;
        WPARAM command;
        bool keyDeleted;   // only OK makes it anew
    } endings[] = {{"Cancel", WM_COMMAND, IDCANCEL, true}, {"close", WM_SYSCOMMAND, SC_CLOSE, true},
                   {"OK", WM_COMMAND, IDOK, false}, {"OK on no key", WM_COMMAND, IDOK, true}};
    for (const auto& ending : endings) {
        UseSettings([&](HWND dialog) {
            for (int picture = 1; picture <= 10; ++picture) {
                // Typed over the whole text as a keyboard posts it, a UTF-16 unit a message.
                HWND field = GetDlgItem(dialog, IDC_FILE1 + picture - 1);
                SendMessageA(field, EM_SETSEL, 0, -1);
                for (const wchar_t unit : Wide(picture == 4 || picture == 5 ? "" : typed(picture)))
                    PostMessageW(field, WM_CHAR, unit, 0);
            }
            if (ending.keyDeleted)
                RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
            PostMessageA(dialog, ending.message, ending.command, 0);
        });
        const std::string full = "type 1, 260 bytes: ", stored = Stored(10), whole = typed(10);
        for (int picture = 1; picture <= 9; ++picture) {
            const std::string expected = picture == 4 && !ending.keyDeleted
                ? "type 1, 320 bytes: " + kOldPath
                : full + (picture == 4 || picture == 5 ? "" : typed(picture).substr(0, 259));
            EXPECT_EQ(ending.command == IDOK ? expected : "none", Stored(picture))
                << ending.name << ", File" << picture;
        }
        // Cut within 259 bytes where a character ends: a prefix of what was typed.
        const std::string cut = stored.substr(std::min(stored.size(), full.size()));
        EXPECT_TRUE(ending.command == IDOK ? stored.rfind(full, 0) == 0 && cut.size() <= 259
                    && cut.size() >= 200 && whole.compare(0, cut.size(), cut) == 0
                    && (whole[cut.size()] & 0xC0) != 0x80 : stored == "none")
            << ending.name << ", File10: " << stored;
    }
}

TEST(BitmapPicker, EveryRowFillsItsOwnFieldFromAFolderInAnyLanguageAndSurvivesAPathTooLong)
{
    if (!UnderWine())
        GTEST_SKIP() << "works the controls of Wine's file dialog, which Windows' lacks";
    std::string folder = ScratchFolder() + "\\" + kFolder, deep = folder;
    for (CreateDirectoryA(folder.c_str(), nullptr); deep.size() < 200;)
        CreateDirectoryA((deep += "\\" + std::string(40, 'd')).c_str(), nullptr);
    // Typed without extension, this 256-byte name gets ".bmp" from the picker (both files
    // exist), and 260 bytes and the NUL do not fit its 260-byte buffer: the call fails, or fills
    // the buffer without a terminator where the limit is counted in characters.
    const std::string first = folder + "\\" + kPicture;
    const std::string tooLong = deep + "\\" + std::string(255 - deep.size(), 'n');
    ASSERT_TRUE(WriteBitmap(first) && WriteBitmap(tooLong) && WriteBitmap(tooLong + ".bmp")
                && WriteBitmap(folder + "\\notes.txt"));
    // Folders and a picture of each name, the text file not.
    std::string offered = std::string(40, 'd');
    for (const char* kind : {"dib", "gif", "jpe", "jpeg", "jpg", "png", "tif", "tiff"}) {
        ASSERT_TRUE(WriteBitmap(folder + "\\photo." + kind));
        offered += ", photo." + std::string(kind);
    }
    offered += ", " + kPicture;
    UseSettings([&](HWND settings) {
        SetDlgItemTextA(settings, IDC_FILE7, "kept");
        EXPECT_EQ(first, Browse(settings, 3, "", first.c_str(), IDOK)) << "choice fills field 3";
        EXPECT_EQ("kept", Browse(settings, 7, kPicture, "other.bmp", IDCANCEL, offered));
        EXPECT_EQ("kept", Browse(settings, 7, kPicture, tooLong.c_str(), IDOK)) << "failure";
        // Each button opens on the last choice and fills its own field, and no other.
        for (int picture = 1; picture <= 10; ++picture) {
            const std::string next = picture < 10 ? Field(settings, picture + 1) : "";
            const std::string got = Browse(settings, picture, kPicture, nullptr, IDOK);
            EXPECT_TRUE(got == first && (picture == 10 || Field(settings, picture + 1) == next))
                << "button " << picture << " gave " << got;
            if (got != first)
                break;
        }
        PostMessageA(settings, WM_COMMAND, IDOK, 0);
    });
    // A picked file replaces even a value too long to read.
    for (int picture = 1; picture <= 10; ++picture)
        EXPECT_EQ("type 1, 260 bytes: " + first, Stored(picture)) << "File" << picture;
}

// Drops `path` from Explorer on the dialog, at the centre of `control`, as the shell hands it
// over: a DROPFILES block in UTF-16, which the receiver releases.
void Drop(HWND settings, int control, const std::string& path)
{
    const std::wstring names = Wide(path) + L'\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    RECT place = {};
    GetWindowRect(GetDlgItem(settings, control), &place);
    drop->pt = POINT{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    ScreenToClient(settings, &drop->pt);
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    SendMessageA(settings, WM_DROPFILES, WPARAM(block), 0);
}

// Gives field `picture` the focus, presses the Folder button and, in Wine's chooser, types
// `typed` and presses `button`. Returns every field afterwards.
std::string Choose(HWND settings, int picture, const std::string& typed, int button)
{
    PostMessageA(settings, WM_NEXTDLGCTL, WPARAM(GetDlgItem(settings, IDC_FILE1 + picture - 1)),
                 TRUE);
    PostMessageA(settings, WM_COMMAND, IDC_FOLDER, 0);
    HWND chooser = WaitForCaption(("Choose a folder for Picture " + std::to_string(picture)).c_str());
    if (chooser == nullptr)
        return "no chooser";
    SetDlgItemTextA(chooser, edt1, typed.c_str());
    PostMessageA(chooser, WM_COMMAND, button, 0);
    std::string fields;
    if (!EndsByItself([&] { return !IsWindow(chooser); }))
        return "chooser left open";
    for (int k = 1; k <= 10; ++k)
        fields += Field(settings, k) + "|";
    return fields;
}

TEST(FolderPicker, AFolderChosenOrDroppedFillsItsFieldAndOkStoresItByteForByte)
{
    const std::string folder = ScratchFolder() + "\\chosen " + kFolder;
    const std::string file = folder + "\\" + kPicture, tooLong = "c:\\" + Repeat(kFolder, 20);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) && WriteBitmap(file));
    UseSettings([&](HWND settings) {
        const std::string first = Field(settings, 1), second = Field(settings, 2);
        Drop(settings, IDC_FILE4, folder);
        Drop(settings, IDC_FILE5, file);
        Drop(settings, IDC_FILE6, tooLong);
        Drop(settings, IDC_BROWSE6, file);   // on no field
        EXPECT_EQ(folder + "|" + file + "||",
                  Field(settings, 4) + "|" + Field(settings, 5) + "|" + Field(settings, 6) + "|"
                      + Field(settings, 7));
        if (UnderWine()) {   // Wine's chooser has controls that Windows' lacks
            const std::string before = first + "|" + second + "||" + folder + "|" + file + "|||";
            EXPECT_EQ(before + "|||", Choose(settings, 8, file, IDCANCEL)) << "cancelled";
            EXPECT_EQ(before + "|" + folder + "||", Choose(settings, 9, folder, IDOK));
        }
        PostMessageA(settings, WM_COMMAND, IDOK, 0);
    });
    const std::string full = "type 1, 260 bytes: ";
    EXPECT_EQ(full + folder + "|" + full + file + "|" + full,
              Stored(4) + "|" + Stored(5) + "|" + Stored(6));
    EXPECT_EQ(UnderWine() ? full + "|" + full + folder : Stored(8) + "|" + Stored(9),
              Stored(8) + "|" + Stored(9));
}
