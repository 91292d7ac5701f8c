// Folder chooser (the Common Item Dialog) and dropped files: the settings dialog's only COM and
// shell calls, with their libraries loaded when first used, as the file picker's is.
#include "settings/folder_picker.h"

#include <shobjidl.h>

#include <cstring>
#include <cwchar>

namespace {

// Through a generic function pointer: FARPROC's own signature is not the one called.
template <typename Function>
Function Find(const char* library, const char* name)
{
    using AnyFunction = void (*)();
    HMODULE module = GetModuleHandleA(library);
    if (module == nullptr)
        module = LoadLibraryA(library);   // loaded once, and kept for the rest of the process
    return module == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(
                                   GetProcAddress(module, name)));
}

// The chooser's path, in UTF-16, as text of this process's code page; false if it does not fit
// or, in a code page other than UTF-8, has characters the code page lacks.
bool ToCodePage(const wchar_t* wide, char (&path)[kPathBufferSize])
{
    char converted[kPathBufferSize];
    BOOL lossy = FALSE;
    const bool utf8 = GetACP() == CP_UTF8;
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, sizeof converted, nullptr,
                            utf8 ? nullptr : &lossy) == 0 || lossy)
        return false;
    std::memcpy(path, converted, sizeof path);
    return true;
}

bool ShowChooser(IFileOpenDialog* chooser, HWND owner, int picture, char (&path)[kPathBufferSize],
                 decltype(&CoTaskMemFree) freeText)
{
    FILEOPENDIALOGOPTIONS options = 0;
    wchar_t title[40];
    std::swprintf(title, 40, L"Choose a folder for Picture %d", picture);
    IShellItem* folder = nullptr;
    wchar_t* wide = nullptr;
    bool chosen = false;
    if (SUCCEEDED(chooser->GetOptions(&options))
        && SUCCEEDED(chooser->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM
                                         | FOS_PATHMUSTEXIST))
        && SUCCEEDED(chooser->SetTitle(title)) && SUCCEEDED(chooser->Show(owner))
        && SUCCEEDED(chooser->GetResult(&folder))
        && SUCCEEDED(folder->GetDisplayName(SIGDN_FILESYSPATH, &wide)))
        chosen = ToCodePage(wide, path);
    if (wide != nullptr)
        freeText(wide);
    if (folder != nullptr)
        folder->Release();
    return chosen;
}

}  // namespace

bool ChooseFolder(HWND owner, int picture, char (&path)[kPathBufferSize])
{
    const auto startCom = Find<decltype(&CoInitializeEx)>("ole32.dll", "CoInitializeEx");
    const auto create = Find<decltype(&CoCreateInstance)>("ole32.dll", "CoCreateInstance");
    const auto endCom = Find<decltype(&CoUninitialize)>("ole32.dll", "CoUninitialize");
    const auto freeText = Find<decltype(&CoTaskMemFree)>("ole32.dll", "CoTaskMemFree");
    if (!startCom || !create || !endCom || !freeText)
        return false;
    // COM for this dialog alone, on its thread; a thread that already runs COM keeps it.
    const HRESULT com = startCom(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    IFileOpenDialog* chooser = nullptr;
    bool chosen = false;
    if (SUCCEEDED(create(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IFileOpenDialog, reinterpret_cast<void**>(&chooser)))) {
        chosen = ShowChooser(chooser, owner, picture, path, freeText);
        chooser->Release();
    }
    if (SUCCEEDED(com))
        endCom();
    return chosen;
}

bool ReadDrop(HDROP drop, POINT* point, char (&path)[kPathBufferSize])
{
    const auto queryPoint = Find<decltype(&DragQueryPoint)>("shell32.dll", "DragQueryPoint");
    const auto queryFile = Find<decltype(&DragQueryFileA)>("shell32.dll", "DragQueryFileA");
    const auto finish = Find<decltype(&DragFinish)>("shell32.dll", "DragFinish");
    if (!queryPoint || !queryFile || !finish)
        return false;
    char dropped[kPathBufferSize];
    // The length without the terminator, which must fit too.
    const bool fits = queryFile(drop, 0, nullptr, 0) < sizeof dropped
        && queryFile(drop, 0, dropped, sizeof dropped) > 0 && queryPoint(drop, point);
    if (fits)
        std::memcpy(path, dropped, sizeof path);
    finish(drop);
    return fits;
}
