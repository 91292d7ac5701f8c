// Settings dialog: shows the stored paths, lets the user browse, and saves all ten on OK.
#include "settings/settings_dialog.h"

#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/image_store.h"

#include <cstring>

namespace {

INT_PTR OnInitDialog(HWND dialog)
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        // An unreadable value shows as an empty field; the saver's fallback paths are not shown.
        const bool stored = ReadImageSetting(picture) == ERROR_SUCCESS;
        SetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, stored ? g_pathBuffer : "");
    }
    ShowWindow(dialog, SW_SHOW);
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        // Zero filler rather than whatever path the buffer held before.
        std::memset(g_pathBuffer, 0, sizeof g_pathBuffer);
        GetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, g_pathBuffer, kPathBufferSize);
        WriteImageSetting(picture);
    }
    EndDialog(dialog, 0);
    return FALSE;
}

// Cancel, Esc and the close button all leave the store as it was.
INT_PTR OnCancel(HWND dialog)
{
    EndDialog(dialog, 0);
    return TRUE;
}

INT_PTR OnBrowse(HWND dialog, int picture)
{
    if (BrowseForBitmap())
        SetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, g_pickedPath);
    return FALSE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    if (id == IDOK)
        return OnOk(dialog);
    if (id == IDCANCEL)
        return OnCancel(dialog);
    if (id >= IDC_BROWSE1 && id <= IDC_BROWSE10)
        return OnBrowse(dialog, id - IDC_BROWSE1 + 1);
    return FALSE;   // edit-field notifications and anything else
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    case WM_CLOSE:
        return OnCancel(dialog);
    default:
        return FALSE;
    }
}
