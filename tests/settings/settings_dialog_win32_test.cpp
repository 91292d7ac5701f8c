// The settings dialog worked from a helper thread: what it shows and what each ending stores.
#include "res/resource.h"
#include "settings/settings_dialog.h"

#include "driven_dialog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kKey[] = "SoftWare\\Tessarel\\Corvelle";

struct Value {
    DWORD type = 0, size = 1024;
    char data[1024] = {};   // read as a string: up to the first NUL
};

Value Stored(int picture)
{
    Value value;
    const std::string name = "File" + std::to_string(picture);
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &value.type, value.data, &value.size) != ERROR_SUCCESS)
        value.type = value.size = 0;
    return value;
}

void Store(int picture, DWORD type, const std::string& data)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, ("File" + std::to_string(picture)).c_str(), type,
                    data.data(), static_cast<DWORD>(data.size()));
}

std::string Field(HWND dialog, int picture)
{
    char text[1024] = {};
    GetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, text, sizeof text);
    return text;
}

// Runs the dialog; `user` gets it once it shows and must end it.
void UseSettings(const std::function<void(HWND)>& user)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    Store(1, REG_SZ, std::string("c:\\stored.bmp") + '\0');
    Store(2, REG_BINARY, std::string(300, 'x'));   // too long to read: shown empty
    INT_PTR result = -1;
    RunDriven([&] { result = DialogBoxParamA(GetModuleHandleA(nullptr),
                                             MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                             SettingsDialogProc, 0); },
              [&] {
                  HWND dialog = WaitForWindow("Corvelle Settings");
                  ASSERT_NE(nullptr, dialog);
                  EXPECT_EQ("c:\\stored.bmp", Field(dialog, 1));
                  for (int picture = 2; picture <= 10; ++picture)
                      EXPECT_EQ("", Field(dialog, picture)) << "field " << picture;
                  SetDlgItemTextA(dialog, IDC_FILE1, "c:\\typed.bmp");
                  user(dialog);
              });
    EXPECT_EQ(0, result);
}

}  // namespace

TEST(SettingsDialog, OkStoresAllTenFieldsAsFull260ByteStrings)
{
    const std::string longPath = "c:\\" + std::string(297, 'a');
    UseSettings([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_FILE3, longPath.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    for (int picture = 1; picture <= 10; ++picture) {
        const Value value = Stored(picture);
        const std::string expected = picture == 1 ? "c:\\typed.bmp"
                                   : picture == 3 ? longPath.substr(0, 259) : "";
        EXPECT_TRUE(value.type == REG_SZ && value.size == 260 && expected == value.data)
            << "File" << picture << ": type " << value.type << ", " << value.size << " bytes, \""
            << value.data << "\"; expected a 260-byte string \"" << expected << "\"";
    }
}

TEST(SettingsDialog, CancelEscAndCloseStoreNothing)
{
    const struct {
        const char* name;
        void (*end)(HWND dialog);
    } endings[] = {
        {"Cancel", [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }},
        {"Esc", [](HWND d) { PostMessageA(GetDlgItem(d, IDC_FILE1), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"close", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& ending : endings) {
        UseSettings(ending.end);
        EXPECT_STREQ("c:\\stored.bmp", Stored(1).data) << ending.name;
        EXPECT_EQ(0u, Stored(3).type) << ending.name;
    }
}
