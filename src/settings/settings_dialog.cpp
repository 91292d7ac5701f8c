// Settings dialog: shows the stored paths, lets the user browse for files and folders or drop
// them from Explorer, and saves all ten on OK.
#include "settings/settings_dialog.h"

#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "settings/folder_picker.h"
#include "settings/image_store.h"

#include <cstring>

namespace {

// The field that the Folder button fills: the one that last had the focus.
int g_folderField = IDC_FILE1;

// A path the user picked, chose or dropped for a field; OK stores it even over a value too long
// to read.
void SetChosenPath(HWND dialog, int field, const char* path)
{
    SetDlgItemTextA(dialog, field, path);
    SendDlgItemMessageA(dialog, field, EM_SETMODIFY, TRUE, 0);
}

INT_PTR OnInitDialog(HWND dialog)
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        // An unreadable value shows as an empty field; the saver's fallback paths are not shown.
        const bool stored = ReadImageSetting(picture) == ERROR_SUCCESS;
        SetDlgItemTextA(dialog, IDC_FILE1 + picture - 1, stored ? g_pathBuffer : "");
    }
    g_folderField = IDC_FILE1;
    ShowWindow(dialog, SW_SHOW);
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        const int field = IDC_FILE1 + picture - 1;
        // A value too long to be read showed as an empty field. Unless the user gave that field a
        // path, it stays as it is: it may be a longer path that an earlier version or another
        // tool stored, in a code page that took fewer bytes.
        if (!SendDlgItemMessageA(dialog, field, EM_GETMODIFY, 0, 0)
            && ReadImageSetting(picture) == ERROR_MORE_DATA)
            continue;
        // Zero filler rather than whatever path the buffer held before.
        std::memset(g_pathBuffer, 0, sizeof g_pathBuffer);
        GetDlgItemTextA(dialog, field, g_pathBuffer, kPathBufferSize);
        // Only UTF-8 has characters that a cut at the limit can split; where the system runs this
        // program in another code page every byte of the text is read as it is.
        if (GetACP() == CP_UTF8)
            TrimPartialCharacter(g_pathBuffer);
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
        SetChosenPath(dialog, IDC_FILE1 + picture - 1, g_pickedPath);
    return FALSE;
}

INT_PTR OnChooseFolder(HWND dialog)
{
    char folder[kPathBufferSize];
    if (ChooseFolder(dialog, g_folderField - IDC_FILE1 + 1, folder))
        SetChosenPath(dialog, g_folderField, folder);
    return FALSE;
}

// A file or folder dropped on a field; a drop anywhere else is let go.
INT_PTR OnDropFiles(HWND dialog, HDROP drop)
{
    POINT point = {};
    char path[kPathBufferSize];
    if (ReadDrop(drop, &point, path)) {
        const int field = GetDlgCtrlID(ChildWindowFromPointEx(dialog, point, CWP_SKIPINVISIBLE));
        if (field >= IDC_FILE1 && field <= IDC_FILE10)
            SetChosenPath(dialog, field, path);
    }
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    if (id >= IDC_FILE1 && id <= IDC_FILE10 && HIWORD(wParam) == EN_SETFOCUS)
        g_folderField = id;
    if (id == IDOK)
        return OnOk(dialog);
    if (id == IDCANCEL)
        return OnCancel(dialog);
    if (id >= IDC_BROWSE1 && id <= IDC_BROWSE10)
        return OnBrowse(dialog, id - IDC_BROWSE1 + 1);
    if (id == IDC_FOLDER)
        return OnChooseFolder(dialog);
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
    case WM_DROPFILES:
        return OnDropFiles(dialog, reinterpret_cast<HDROP>(wParam));
    case WM_CLOSE:
        return OnCancel(dialog);
    default:
        return FALSE;
    }
}
