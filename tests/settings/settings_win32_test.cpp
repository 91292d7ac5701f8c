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
#include <functional>
#include <string>
#include <thread>

namespace {

const char kKey[] = "SoftWare\\Tessarel\\Corvelle";
const DWORD g_testThread = GetCurrentThreadId();   // where the dialogs run

// A visible window of the test thread (no other program's) with this caption, or any that `owner`
// owns; null after 15 s.
HWND WaitForWindow(const char* caption, HWND owner = nullptr)
{
    static struct {
        const char* caption;
        HWND owner, found;
    } wanted;
    wanted = {caption, owner, nullptr};
    for (int tries = 0; tries < 300 && wanted.found == nullptr; ++tries, Sleep(50)) {
        EnumThreadWindows(g_testThread, [](HWND window, LPARAM) -> BOOL {
            char text[64] = "";
            GetWindowTextA(window, text, sizeof text);
            if (IsWindowVisible(window) && (wanted.owner ? GetWindow(window, GW_OWNER) == wanted.owner
                                                          : std::strcmp(text, wanted.caption) == 0))
                wanted.found = window;
            return TRUE;
        }, 0);
    }
    return wanted.found;
}

struct Value {
    DWORD type = 0, size = 1024;
    char data[1024] = {};   // read as a string: up to the first NUL
};

Value Stored(int picture)
{
    Value value;
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, ("File" + std::to_string(picture)).c_str(),
                     RRF_RT_ANY, &value.type, value.data, &value.size) != ERROR_SUCCESS)
        value.type = value.size = 0;
    return value;
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

// Polls `done` for up to 10 s; returns its last answer.
bool WaitFor(const std::function<bool()>& done)
{
    for (int tries = 0; tries < 200 && !done(); ++tries)
        Sleep(50);
    return done();
}

// Runs the dialog over a stored list; `user` gets it once it shows and must end it.
void UseSettings(const std::function<void(HWND)>& user)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File1", REG_SZ, "c:\\stored.bmp", 14);
    const std::string tooLong(261, 'x');   // a value longer than 260 bytes: shown empty
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File2", REG_BINARY, tooLong.data(), 261);
    // A step that goes wrong leaves the dialog open: the test's time limit then ends it.
    std::thread helper([&] {
        HWND dialog = WaitForWindow("Corvelle Settings");
        ASSERT_NE(nullptr, dialog);
        for (int picture = 1; picture <= 10; ++picture) {
            EXPECT_EQ(picture == 1 ? "c:\\stored.bmp" : "", Field(dialog, picture))
                << "field " << picture << " on opening";
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
    const unsigned char bytes[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                                     1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4};
    const std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes, sizeof bytes, &written, nullptr);
    CloseHandle(file);
    return written == sizeof bytes;
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
    if (!offered.empty()) {
        EXPECT_EQ(offered, Offered(picker)) << "offered for picture " << picture;
    }
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

TEST(ReadImageSetting, AFull260ByteValueWithoutTerminatorIsReadWholeAfterAShortOne)
{
    const std::string full(260, 'a');
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File3", REG_SZ, "c:\\short.bmp", 13);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "File4", REG_BINARY, full.data(), 260);
    std::memset(g_pathBuffer, 'b', sizeof g_pathBuffer);   // no NUL to stop at by luck
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(3));
    EXPECT_STREQ("c:\\short.bmp", g_pathBuffer);
    ASSERT_EQ(ERROR_SUCCESS, ReadImageSetting(4));
    EXPECT_EQ(full, std::string(g_pathBuffer));
}

TEST(SettingsDialog, OkStoresAllTenTypedFieldsAsFull260ByteStringsCancelAndCloseNothing)
{
    const auto typed = [](int picture) { return "c:\\" + std::string(297, 'a' + picture); };
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
        const bool ok = ending.command == IDOK;
        for (int picture = 1; picture <= 10; ++picture) {
            const Value value = Stored(picture);
            const std::string expected = ok ? typed(picture).substr(0, 259) : "";
            const bool stored = value.type == REG_SZ && value.size == 260;
            EXPECT_TRUE((ok ? stored : value.type == 0) && expected == value.data)
                << ending.name << ", File" << picture << ": type " << value.type << ", "
                << value.size << " bytes, \"" << value.data << "\"; expected "
                << (ok ? "a 260-byte string \"" + expected + "\"" : "none");
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
        EXPECT_EQ(first, g_pickedPath) << "remembered path after cancel";
        EXPECT_EQ("kept", Browse(settings, 7, "first.bmp", tooLong.c_str(), IDOK)) << "failure";
        EXPECT_EQ(first, g_pickedPath) << "remembered path after failure";
        EXPECT_EQ(first, Browse(settings, 5, "first.bmp", nullptr, IDOK)) << "last choice";
        PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    });
}
