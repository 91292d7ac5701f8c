// The bitmap picker worked through the settings dialog's browse buttons, as a user does.
#include "driven_dialog.h"
#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/settings_dialog.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <string>

// A 1x1 24-bit bitmap, written through the \\?\ form that reaches paths too long for ANSI calls.
static bool WriteBitmap(const std::string& path)
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

// The file dialog's name field: the edit in its cmb13 combo box (as in Wine), or else edt1.
static HWND NameField(HWND picker)
{
    HWND combo = picker ? GetDlgItem(picker, cmb13) : nullptr;   // a null parent is the desktop
    HWND inner = combo ? FindWindowExA(combo, nullptr, "ComboBox", nullptr) : nullptr;
    return inner ? FindWindowExA(inner, nullptr, "Edit", nullptr) : GetDlgItem(picker, edt1);
}

// Browses for `picture`: checks the name shown, types, presses `button`; returns the field.
static std::string Browse(int picture, const std::string& opensOn, const char* typed, int button)
{
    HWND settings = WaitForWindow("Corvelle Settings");
    PostMessageA(settings, WM_COMMAND, IDC_BROWSE1 + picture - 1, 0);
    HWND picker = WaitForWindow("Select bitmap"), name = NameField(picker);
    char text[600] = "";
    SendMessageA(name, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));   // "" if none
    EXPECT_EQ(std::string(text), opensOn) << "name the picker for picture " << picture << " shows";
    if (typed != nullptr)
        SetWindowTextA(name, typed);
    PostMessageA(picker, WM_COMMAND, button, 0);
    // It is destroyed on the picker's way out: the field is set before the dialog reads messages.
    for (int tries = 0; tries < 200 && IsWindow(picker); ++tries)
        Sleep(50);
    EXPECT_FALSE(IsWindow(picker)) << "picker for picture " << picture << " still open";
    GetDlgItemTextA(settings, IDC_FILE1 + picture - 1, text, sizeof text);
    return text;
}

TEST(BitmapPicker, ChoosesCancelsAndSurvivesAPathTooLongForItsBuffer)
{
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
    RunDriven(
        [] { DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                             SettingsDialogProc, 0); },
        [&] {
            SetDlgItemTextA(WaitForWindow("Corvelle Settings"), IDC_FILE7, "kept");
            EXPECT_EQ(Browse(3, "", first.c_str(), IDOK), first) << "chosen file fills field 3";
            EXPECT_EQ(Browse(7, "first.bmp", "other.bmp", IDCANCEL), "kept") << "cancel";
            EXPECT_EQ(std::string(g_pickedPath), first) << "remembered path after cancel";
            EXPECT_EQ(Browse(7, "first.bmp", tooLong.c_str(), IDOK), "kept") << "failed browse";
            EXPECT_EQ(std::string(g_pickedPath), first) << "remembered path after failure";
            EXPECT_EQ(Browse(5, "first.bmp", nullptr, IDOK), first) << "Open on the last choice";
            PostMessageA(WaitForWindow("Corvelle Settings"), WM_COMMAND, IDCANCEL, 0);
        });
}
