// Runs the settings dialog modally for a test and records what its procedure answered.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One message the settings dialog procedure handled, with the value it returned.
struct DialogAnswer {
    UINT message;
    int commandId;   // low word of wParam for WM_COMMAND, else 0
    INT_PTR result;
};

struct SettingsRun {
    INT_PTR result = -2;   // what DialogBoxParamA returned
    std::string report;    // empty when the user script did every step it meant to
    std::vector<DialogAnswer> answers;
};

// Opens IDD_SETTINGS with SettingsDialogProc on this thread; `user` runs on a helper thread with
// the dialog once it is shown and must end it. See RunDriven for what happens when it fails.
SettingsRun RunSettingsDialog(const std::function<std::string(HWND dialog, DWORD guiThread)>& user);

// The procedure's answers to message (and command id) in order, as "1", "0,0", or "never".
std::string AnswersTo(const std::vector<DialogAnswer>& answers, UINT message, int commandId = 0);

// The texts of the ten path fields, picture 1 first.
std::vector<std::string> FieldTexts(HWND dialog);

// The registry value File<picture> as stored: whether it exists, its type and its raw bytes.
struct StoredValue {
    bool exists = false;
    unsigned long type = 0;
    std::string data;

    // The path text: the data up to the first NUL.
    std::string Text() const { return data.substr(0, data.find('\0')); }
};
StoredValue ReadStoredValue(int picture);

// Whether the picture list key exists at all.
bool ImageListKeyExists();
