// The stored list, the settings dialog and its picker, the dialogs worked from a helper thread.
#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/image_store.h"
#include "settings/settings_dialog.h"

#include "scratch.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace {

const char kKey[] = "SoftWare\\Tessarel\\Corvelle";
const DWORD g_testThread = GetCurrentThreadId();   // where the dialogs run

// Polls `done` for up to 15 s; returns its last answer.
bool WaitFor(const std::function<bool()>& done)
{
    for (int tries = 0; tries < 300 && !done(); ++tries)
        Sleep(50);
    return done();
}

// A visible window of the test thread (no other program's) with this caption, or any that `owner`
// owns; null after 15 s.
HWND WaitForWindow(const char* caption, HWND owner = nullptr)
{
    static struct {
        const char* caption;
        HWND owner, found;
    } wanted;
    wanted = {caption, owner, nullptr};
    WaitFor([] {
        EnumThreadWindows(g_testThread, [](HWND window, LPARAM) -> BOOL {
            char text[64] = "";
            GetWindowTextA(window, text, sizeof text);
            const bool match = wanted.owner ? GetWindow(window, GW_OWNER) == wanted.owner
                                            : std::strcmp(text, wanted.caption) == 0;
            if (match && IsWindowVisible(window))
                wanted.found = window;
            return TRUE;
        }, 0);
        return wanted.found != nullptr;
    });
    return wanted.found;
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

// Types over the whole text of the field, key by key as a keyboard posts them.
void Type(HWND dialog, int picture, const std::string& text)
{
    HWND field = GetDlgItem(dialog, IDC_FILE1 + picture - 1);
    SendMessageA(field, EM_SETSEL, 0, -1);
    for (const char key : text)
        PostMessageA(field, WM_CHAR, static_cast<unsigned char>(key), 0);
}

// Runs the dialog over a stored list; `user` gets it once it shows and must end it.
void UseSettings(const std::function<void(HWND)>& user)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File1", REG_SZ, "c:\\stored.bmp", 14);
    const std::string tooLong(261, 'x');   // a value longer than 260 bytes: shown empty
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File2", REG_BINARY, tooLong.data(), 261);
    const std::string full(260, 'a');   // 260 bytes and no terminator, after a shorter value
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File3", REG_BINARY, full.data(), 260);
    // A step that goes wrong leaves the dialog open: the test's time limit then ends it.
    std::thread helper([&] {
        HWND dialog = WaitForWindow("Corvelle Settings");
        ASSERT_NE(nullptr, dialog);
        for (int picture = 1; picture <= 10; ++picture) {
            const std::string expected = picture == 1 ? "c:\\stored.bmp" : picture == 3 ? full : "";
            EXPECT_EQ(expected, Field(dialog, picture)) << "field " << picture << " on opening";
        }
        user(dialog);
    });
    EXPECT_EQ(0, DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                 SettingsDialogProc, 0));
    helper.join();
}

// A 1x1 24-bit bitmap, written through the \\?\ form that reaches paths too long for ANSI calls.
bool WriteBitmap(const std::string& path)
{
    const char bytes[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0,
                            1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4};
    std::ofstream file((L"\\\\?\\" + std::wstring(path.begin(), path.end())).c_str(),
                       std::ios::binary);
    return bool(file.write(bytes, sizeof bytes).flush());
}

// The picker's file type and the names its list offers.
std::string Offered(HWND picker)
{
    char text[MAX_PATH] = "";
    GetDlgItemTextA(picker, cmb1, text, sizeof text);
    std::string offered = text;
    HWND view = FindWindowExA(picker, nullptr, "SHELLDLL_DefView", nullptr);
    HWND list = FindWindowExA(view, nullptr, "SysListView32", nullptr);
    for (int i = 0; i < SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
        LVITEMA item = {};
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        offered += (i ? ", " : ": ") + std::string(text);
    }
    return offered;
}

// Browses for `picture`: checks the name the picker opens on and, in the folder of an earlier
// choice, what it offers; then has a missing name refused, types and presses `button`. Returns the
// field afterwards. The name field is the edit in the picker's cmb13 (as in Wine), or edt1.
std::string Browse(HWND settings, int picture, const std::string& opensOn, const char* typed,
                   int button, const std::string& offered = "")
{
    PostMessageA(settings, WM_COMMAND, IDC_BROWSE1 + picture - 1, 0);
    HWND picker = WaitForWindow("Select bitmap");
    HWND combo = picker ? GetDlgItem(picker, cmb13) : nullptr;
    HWND inner = combo ? FindWindowExA(combo, nullptr, "ComboBox", nullptr) : nullptr;
    HWND name = inner ? FindWindowExA(inner, nullptr, "Edit", nullptr) : GetDlgItem(picker, edt1);
    char text[600] = "";
    SendMessageA(name, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(opensOn, text) << "name the picker for picture " << picture << " opens on";
    EXPECT_EQ(offered, offered.empty() ? offered : Offered(picker))
        << "offered for picture " << picture;
    if (typed != nullptr) {
        SetWindowTextA(name, "no such picture.bmp");
        PostMessageA(picker, WM_COMMAND, IDOK, 0);
        HWND refusal = WaitForWindow(nullptr, picker);
        EXPECT_NE(nullptr, refusal) << "a missing file chosen for picture " << picture;
        PostMessageA(refusal, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return IsWindowEnabled(picker); });
        SetWindowTextA(name, typed);
    }
    PostMessageA(picker, WM_COMMAND, button, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(picker); })) << "picker " << picture << " open";
    return Field(settings, picture);
}

}  // namespace

TEST(SettingsDialog, OkStoresAllTenTypedFieldsAsFull260ByteStringsCancelAndCloseNothing)
{
    // Each longer than a field shows; the first seven shorter than 259, the last three cut there.
    const auto typed = [](int k) { return "c:\\" + std::string(30 * k + 27, 'a' + k); };
    const struct {
        const char* name;
        UINT message;
        WPARAM command;
    } endings[] = {{"Cancel", WM_COMMAND, IDCANCEL}, {"close", WM_SYSCOMMAND, SC_CLOSE},
                   {"OK", WM_COMMAND, IDOK}};
    for (const auto& ending : endings) {
        UseSettings([&](HWND dialog) {
            for (int picture = 1; picture <= 10; ++picture)
                Type(dialog, picture, typed(picture));
            RegDeleteTreeA(HKEY_CURRENT_USER, kKey);   // only OK makes it anew
            PostMessageA(dialog, ending.message, ending.command, 0);
        });
        for (int picture = 1; picture <= 10; ++picture) {
            const std::string expected = "type 1, 260 bytes: " + typed(picture).substr(0, 259);
            EXPECT_EQ(ending.command == IDOK ? expected : "none", Stored(picture))
                << ending.name << ", File" << picture;
        }
    }
}

TEST(BitmapPicker, OffersBitmapsRefusesMissingFilesChoosesCancelsAndSurvivesAPathTooLong)
{
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr)
        GTEST_SKIP() << "works the controls of Wine's file dialog, which Windows' lacks";
    std::string folder = ScratchFolder() + "\\picker", deep = folder;
    for (CreateDirectoryA(folder.c_str(), nullptr); deep.size() < 200;)
        CreateDirectoryA((deep += "\\" + std::string(40, 'd')).c_str(), nullptr);
    // Typed without extension, this 256-character name gets ".bmp" from the picker (both files
    // exist), and 260 characters and the NUL do not fit its 260-byte buffer: the call fails.
    const std::string first = folder + "\\first.bmp";
    const std::string tooLong = deep + "\\" + std::string(255 - deep.size(), 'n');
    ASSERT_TRUE(WriteBitmap(first) && WriteBitmap(tooLong) && WriteBitmap(tooLong + ".bmp")
                && WriteBitmap(folder + "\\notes.txt"));
    const std::string offered = "Bitmap: " + std::string(40, 'd') + ", first.bmp";
    UseSettings([&](HWND settings) {
        SetDlgItemTextA(settings, IDC_FILE7, "kept");
        EXPECT_EQ(first, Browse(settings, 3, "", first.c_str(), IDOK)) << "choice fills field 3";
        EXPECT_EQ("kept", Browse(settings, 7, "first.bmp", "other.bmp", IDCANCEL, offered))
            << "cancel";
        EXPECT_EQ("kept", Browse(settings, 7, "first.bmp", tooLong.c_str(), IDOK)) << "failure";
        EXPECT_EQ(first, Browse(settings, 5, "first.bmp", nullptr, IDOK)) << "last choice";
        PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    });
}
