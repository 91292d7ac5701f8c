// Program entry: single-instance guard, switch reading, and the one modal dialog it runs.
#include "app/saver_switch.h"
#include "res/resource.h"
#include "saver/saver_window.h"
#include "settings/settings_dialog.h"

#include <windows.h>

HINSTANCE g_instance;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int)
{
    g_instance = instance;

    // Never closed: the mutex must live exactly as long as this process.
    CreateMutexW(nullptr, FALSE, L"Corvelle");
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;

    int settingsMode = 0;
    switch (ReadSaverSwitch(arguments)) {
    case SaverMode::Preview:
        return 1;   // no preview is drawn in the system's little window
    case SaverMode::Settings:
        settingsMode = 1;
        break;
    case SaverMode::Display:
        break;
    }

    if (settingsMode) {
        return static_cast<int>(DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_SETTINGS),
                                                nullptr, SettingsDialogProc, 0));
    }
    return static_cast<int>(
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_SAVER), nullptr, SaverDialogProc, 0));
}
