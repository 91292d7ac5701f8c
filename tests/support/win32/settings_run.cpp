// The settings dialog run under a recording procedure, and raw reads of what it stored.
#include "settings_run.h"

#include "res/resource.h"
#include "settings/image_store.h"
#include "settings/settings_dialog.h"
#include "ui_driver.h"

#include <mutex>

namespace {

std::mutex g_answersLock;
std::vector<DialogAnswer> g_answers;

// Passes every message to the real procedure and keeps its answer; the dialog behaves as it
// does in the program.
INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const INT_PTR result = SettingsDialogProc(dialog, message, wParam, lParam);
    const int commandId = message == WM_COMMAND ? LOWORD(wParam) : 0;
    std::lock_guard<std::mutex> lock(g_answersLock);
    g_answers.push_back({message, commandId, result});
    return result;
}

}  // namespace

SettingsRun RunSettingsDialog(const std::function<std::string(HWND dialog, DWORD guiThread)>& user)
{
    {
        std::lock_guard<std::mutex> lock(g_answersLock);
        g_answers.clear();
    }
    SettingsRun run;
    run.report = RunDriven(
        [&] {
            run.result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS),
                                         nullptr, RecordingProc, 0);
        },
        [&](DWORD guiThread) -> std::string {
            HWND dialog = WaitForThreadWindow(guiThread, "Corvelle Settings");
            if (dialog == nullptr)
                return "the settings dialog did not appear";
            return user(dialog, guiThread);
        });
    std::lock_guard<std::mutex> lock(g_answersLock);
    run.answers = g_answers;
    return run;
}

std::string AnswersTo(const std::vector<DialogAnswer>& answers, UINT message, int commandId)
{
    std::string list;
    for (const DialogAnswer& answer : answers) {
        if (answer.message != message || answer.commandId != commandId)
            continue;
        list += (list.empty() ? "" : ",") + std::to_string(answer.result);
    }
    return list.empty() ? "never" : list;
}

std::vector<std::string> FieldTexts(HWND dialog)
{
    std::vector<std::string> texts;
    for (int picture = 1; picture <= kPictureCount; ++picture)
        texts.push_back(DialogItemText(dialog, IDC_FILE1 + picture - 1));
    return texts;
}

StoredValue ReadStoredValue(int picture)
{
    StoredValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char name[kValueNameSize];
    FormatImageValueName(picture, name);
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string data(size, '\0');
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size)
            == ERROR_SUCCESS) {
            value.exists = true;
            value.type = type;
            value.data = data.substr(0, size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool ImageListKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kImageListKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
