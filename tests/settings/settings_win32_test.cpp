// The stored list, the settings dialog and its picker, the dialogs worked from a helper thread.
#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/image_store.h"
#include "settings/settings_dialog.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

const char kKey[] = "SoftWare\\Tessarel\\Corvelle";
const DWORD g_testThread = GetCurrentThreadId();   // where the dialogs run

// A visible window of the test thread (no other program's) with this caption, or null after 15 s.
HWND WaitForWindow(const char* caption)
{
    static const char* wanted;
    wanted = caption;
    HWND found = nullptr;
    for (int tries = 0; tries < 300 && found == nullptr; ++tries, Sleep(50)) {
        EnumThreadWindows(g_testThread, [](HWND window, LPARAM result) -> BOOL {
            char text[64] = "";
            GetWindowTextA(window, text, sizeof text);
            if (std::strcmp(text, wanted) == 0 && IsWindowVisible(window))
                *reinterpret_cast<HWND*>(result) = window;
            return TRUE;
        }, reinterpret_cast<LPARAM>(&found));
    }
    return found;
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
        SetDlgItemTextA(dialog, IDC_FILE1, "c:\\typed.bmp");
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

// Browses for `picture`: checks the name the picker opens on, types, presses `button`; returns
// the field afterwards. The name field is the edit in the picker's cmb13 (as in Wine), or edt1.
std::string Browse(HWND settings, int picture, const std::string& opensOn, const char* typed,
                   int button)
{
    PostMessageA(settings, WM_COMMAND, IDC_BROWSE1 + picture - 1, 0);
    HWND picker = WaitForWindow("Select bitmap");
    HWND combo = picker ? GetDlgItem(picker, cmb13) : nullptr;
    HWND inner = combo ? FindWindowExA(combo, nullptr, "ComboBox", nullptr) : nullptr;
    HWND name = inner ? FindWindowExA(inner, nullptr, "Edit", nullptr) : GetDlgItem(picker, edt1);
    char text[600] = "";
    SendMessageA(name, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(opensOn, text) << "name the picker for picture " << picture << " opens on";
    if (typed != nullptr)
        SetWindowTextA(name, typed);
    PostMessageA(picker, WM_COMMAND, button, 0);
    for (int tries = 0; tries < 200 && IsWindow(picker); ++tries)
        Sleep(50);
    EXPECT_FALSE(IsWindow(picker)) << "picker for picture " << picture << " still open";
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

TEST(SettingsDialog, OkStoresAllTenFieldsAsFull260ByteStringsCancelAndCloseNothing)
{
    const std::string longPath = "c:\\" + std::string(297, 'a');
    const struct {
        const char* name;
        UINT message;
        WPARAM command;
    } endings[] = {{"Cancel", WM_COMMAND, IDCANCEL}, {"close", WM_SYSCOMMAND, SC_CLOSE},
                   {"OK", WM_COMMAND, IDOK}};
    for (const auto& ending : endings) {
        UseSettings([&](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_FILE3, longPath.c_str());
            RegDeleteTreeA(HKEY_CURRENT_USER, kKey);   // only OK makes it anew
            PostMessageA(dialog, ending.message, ending.command, 0);
        });
        const bool ok = ending.command == IDOK;
        for (int picture = 1; picture <= 10; ++picture) {
            const Value value = Stored(picture);
            const std::string expected = !ok ? "" : picture == 1 ? "c:\\typed.bmp"
                                       : picture == 3 ? longPath.substr(0, 259) : "";
            const bool stored = value.type == REG_SZ && value.size == 260;
            EXPECT_TRUE((ok ? stored : value.type == 0) && expected == value.data)
                << ending.name << ", File" << picture << ": type " << value.type << ", "
                << value.size << " bytes, \"" << value.data << "\"; expected "
                << (ok ? "a 260-byte string \"" + expected + "\"" : "none");
        }
    }
}

TEST(BitmapPicker, ChoosesCancelsAndSurvivesAPathTooLongForItsBuffer)
{
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr)
        GTEST_SKIP() << "works the controls of Wine's file dialog, which Windows' lacks";
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "corvelle-picker", deep = folder;
    for (CreateDirectoryA(folder.c_str(), nullptr); deep.size() < 200;)
        CreateDirectoryA((deep += "\\" + std::string(40, 'd')).c_str(), nullptr);
    // Typed without extension, this 256-character name gets ".bmp" from the picker (both files
    // exist), and 260 characters and the NUL do not fit its 260-byte buffer: the call fails.
    const std::string first = folder + "\\first.bmp";
    const std::string tooLong = deep + "\\" + std::string(255 - deep.size(), 'n');
    ASSERT_TRUE(WriteBitmap(first) && WriteBitmap(tooLong) && WriteBitmap(tooLong + ".bmp"));
    UseSettings([&](HWND settings) {
        SetDlgItemTextA(settings, IDC_FILE7, "kept");
        EXPECT_EQ(first, Browse(settings, 3, "", first.c_str(), IDOK)) << "choice fills field 3";
        EXPECT_EQ("kept", Browse(settings, 7, "first.bmp", "other.bmp", IDCANCEL)) << "cancel";
        EXPECT_EQ(first, g_pickedPath) << "remembered path after cancel";
        EXPECT_EQ("kept", Browse(settings, 7, "first.bmp", tooLong.c_str(), IDOK)) << "failure";
        EXPECT_EQ(first, g_pickedPath) << "remembered path after failure";
        EXPECT_EQ(first, Browse(settings, 5, "first.bmp", nullptr, IDOK)) << "last choice";
        PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    });
}
