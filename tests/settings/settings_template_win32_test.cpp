// The dialog templates as built into the program: raw template bytes and the windows they make.
#include "res/resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Atoms of the predefined control classes in a dialog template.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

constexpr DWORD kSettingsStyle = DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER | DS_3DLOOK
                                 | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kSaverStyle = DS_SETFONT | DS_CENTER | WS_POPUP;

enum class Kind { DefaultButton, Button, Edit, Label };

struct ExpectedControl {
    Kind kind;
    int id;
    const char* caption;   // nullptr: any text (the credit lines are worded freely)
    short x, y, cx, cy;
};

const int kNoId = IDC_STATIC;

// The settings dialog's controls in creation order, which is also the tab order.
const std::vector<ExpectedControl> kSettingsControls = {
    {Kind::DefaultButton, IDOK, "OK", 219, 7, 50, 14},
    {Kind::Edit, IDC_FILE1, "", 52, 9, 138, 12},
    {Kind::Button, IDC_BROWSE1, "...", 197, 9, 11, 14},
    {Kind::Button, IDCANCEL, "Cancel", 219, 24, 50, 14},
    {Kind::Edit, IDC_FILE2, "", 52, 25, 138, 12},
    {Kind::Button, IDC_BROWSE2, "...", 197, 25, 11, 14},
    {Kind::Edit, IDC_FILE3, "", 52, 42, 138, 12},
    {Kind::Button, IDC_BROWSE3, "...", 197, 42, 11, 14},
    {Kind::Edit, IDC_FILE4, "", 52, 59, 138, 12},
    {Kind::Button, IDC_BROWSE4, "...", 197, 59, 11, 14},
    {Kind::Edit, IDC_FILE5, "", 52, 76, 138, 12},
    {Kind::Button, IDC_BROWSE5, "...", 197, 76, 11, 14},
    {Kind::Button, IDC_BROWSE6, "...", 197, 92, 11, 14},
    {Kind::Edit, IDC_FILE6, "", 52, 93, 138, 12},
    {Kind::Button, IDC_BROWSE7, "...", 197, 109, 11, 14},
    {Kind::Edit, IDC_FILE7, "", 52, 110, 138, 12},
    {Kind::Button, IDC_BROWSE8, "...", 197, 126, 11, 14},
    {Kind::Edit, IDC_FILE8, "", 52, 127, 138, 12},
    {Kind::Button, IDC_BROWSE9, "...", 197, 143, 11, 14},
    {Kind::Edit, IDC_FILE9, "", 52, 144, 138, 12},
    {Kind::Button, IDC_BROWSE10, "...", 197, 159, 11, 14},
    {Kind::Edit, IDC_FILE10, "", 52, 160, 138, 12},
    {Kind::Label, kNoId, "Picture 1", 11, 9, 29, 8},
    {Kind::Label, kNoId, "Picture 2", 11, 25, 29, 8},
    {Kind::Label, kNoId, "Picture 3", 11, 42, 29, 8},
    {Kind::Label, kNoId, "Picture 4", 11, 59, 29, 8},
    {Kind::Label, kNoId, "Picture 5", 11, 76, 29, 8},
    {Kind::Label, kNoId, "Picture 6", 11, 93, 29, 8},
    {Kind::Label, kNoId, "Picture 7", 11, 110, 29, 8},
    {Kind::Label, kNoId, "Picture 8", 11, 127, 29, 8},
    {Kind::Label, kNoId, "Picture 9", 11, 144, 29, 8},
    {Kind::Label, kNoId, "Picture 10", 11, 160, 33, 8},
    {Kind::Label, kNoId, nullptr, 8, 180, 73, 8},
    {Kind::Label, kNoId, nullptr, 8, 192, 174, 8},
};

WORD ClassAtom(Kind kind)
{
    switch (kind) {
    case Kind::DefaultButton:
    case Kind::Button:
        return kButtonAtom;
    case Kind::Edit:
        return kEditAtom;
    case Kind::Label:
        return kStaticAtom;
    }
    return 0;
}

const char* ClassName(Kind kind)
{
    switch (ClassAtom(kind)) {
    case kButtonAtom:
        return "Button";
    case kEditAtom:
        return "Edit";
    default:
        return "Static";
    }
}

// Which style bits a control of each kind must have and must not have. WS_GROUP is left open:
// resource compilers differ in whether a label starts a group.
struct StyleRule {
    DWORD typeMask;
    DWORD type;
    DWORD required;
    DWORD forbidden;
};

StyleRule RuleFor(Kind kind)
{
    const DWORD visibleChild = WS_CHILD | WS_VISIBLE;
    const DWORD neverOn = WS_DISABLED | WS_POPUP | WS_VSCROLL | WS_HSCROLL;
    switch (kind) {
    case Kind::DefaultButton:
        return {BS_TYPEMASK, BS_DEFPUSHBUTTON, visibleChild | WS_TABSTOP, neverOn | WS_BORDER};
    case Kind::Button:
        return {BS_TYPEMASK, BS_PUSHBUTTON, visibleChild | WS_TABSTOP, neverOn | WS_BORDER};
    case Kind::Edit:
        return {ES_CENTER | ES_RIGHT, ES_LEFT,
                visibleChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                neverOn | ES_MULTILINE | ES_READONLY | ES_PASSWORD | ES_NUMBER};
    case Kind::Label:
        return {SS_TYPEMASK, SS_LEFT, visibleChild, neverOn | WS_TABSTOP | WS_BORDER};
    }
    return {};
}

std::string Hex(DWORD value)
{
    char text[16];
    wsprintfA(text, "0x%08lX", value);
    return text;
}

// Reads the little-endian fields of a dialog template resource in order.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    WORD Word()
    {
        const BYTE* bytes = Take(2);
        return static_cast<WORD>(bytes[0] | bytes[1] << 8);
    }
    DWORD Dword()
    {
        const WORD low = Word();
        const WORD high = Word();
        return low | static_cast<DWORD>(high) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return Take(1)[0]; }

    // A string or an ordinal, as the menu, class and title fields are stored.
    struct NameOrOrdinal {
        bool isOrdinal;
        WORD ordinal;
        std::string text;
    };
    NameOrOrdinal NameOrOrd()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            return {true, Word(), ""};
        std::string text;
        for (WORD unit = first; unit != 0; unit = Word())
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
        return {false, 0, text};
    }
    std::string Text()
    {
        NameOrOrdinal name = NameOrOrd();
        return name.isOrdinal ? "#" + std::to_string(name.ordinal) : name.text;
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~static_cast<DWORD>(3); }
    void Skip(DWORD bytes) { offset_ += bytes; }
    bool Overrun() const { return overrun_; }

private:
    // The next `count` bytes, or zeros once the data is exhausted (which is remembered).
    const BYTE* Take(DWORD count)
    {
        static const BYTE zeros[4] = {};
        if (offset_ + count > size_) {
            overrun_ = true;
            offset_ = size_;
            return zeros;
        }
        const BYTE* bytes = data_ + offset_;
        offset_ += count;
        return bytes;
    }

    const BYTE* data_;
    DWORD size_;
    DWORD offset_ = 0;
    bool overrun_ = false;
};

struct RawControl {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    TemplateReader::NameOrOrdinal windowClass;
    std::string caption;
};

struct RawDialog {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu;
    std::string windowClass;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<RawControl> controls;
    bool overrun = false;
};

// Parses a DLGTEMPLATE or DLGTEMPLATEEX resource with its items.
RawDialog ParseDialog(const BYTE* data, DWORD size)
{
    TemplateReader reader(data, size);
    RawDialog dialog;
    const WORD first = reader.Word();
    const WORD second = reader.Word();
    dialog.extended = first == 1 && second == 0xFFFF;
    if (dialog.extended) {
        reader.Dword();   // help id
        dialog.exStyle = reader.Dword();
        dialog.style = reader.Dword();
    } else {
        dialog.style = first | static_cast<DWORD>(second) << 16;
        dialog.exStyle = reader.Dword();
    }
    const WORD count = reader.Word();
    dialog.x = reader.Short();
    dialog.y = reader.Short();
    dialog.cx = reader.Short();
    dialog.cy = reader.Short();
    dialog.menu = reader.Text();
    dialog.windowClass = reader.Text();
    dialog.caption = reader.Text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = reader.Word();
        if (dialog.extended) {
            reader.Word();   // weight
            reader.Byte();   // italic
            reader.Byte();   // character set
        }
        dialog.font = reader.Text();
    }
    for (WORD i = 0; i < count && !reader.Overrun(); ++i) {
        reader.AlignToDword();
        RawControl control;
        if (dialog.extended) {
            reader.Dword();   // help id
            control.exStyle = reader.Dword();
            control.style = reader.Dword();
        } else {
            control.style = reader.Dword();
            control.exStyle = reader.Dword();
        }
        control.x = reader.Short();
        control.y = reader.Short();
        control.cx = reader.Short();
        control.cy = reader.Short();
        control.id = dialog.extended ? static_cast<int>(reader.Dword())
                                     : static_cast<short>(reader.Word());
        control.windowClass = reader.NameOrOrd();
        control.caption = reader.Text();
        reader.Skip(reader.Word());   // creation data
        dialog.controls.push_back(control);
    }
    dialog.overrun = reader.Overrun();
    return dialog;
}

bool LoadDialogResource(int id, RawDialog* dialog)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (resource == nullptr)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return false;
    *dialog = ParseDialog(static_cast<const BYTE*>(bytes), SizeofResource(module, resource));
    return true;
}

std::string Describe(size_t index, const ExpectedControl& expected)
{
    return "control #" + std::to_string(index + 1) + " (id " + std::to_string(expected.id) + ", "
           + ClassName(expected.kind) + " \"" + (expected.caption ? expected.caption : "credit")
           + "\")";
}

TEST(SettingsTemplate, IsAClassicTemplateWithCaptionStyleFontAndSize)
{
    RawDialog dialog;
    ASSERT_TRUE(LoadDialogResource(IDD_SETTINGS, &dialog)) << "no dialog resource 103";
    EXPECT_FALSE(dialog.overrun) << "the template ends before its last control";
    EXPECT_FALSE(dialog.extended) << "expected a classic DLGTEMPLATE, got DLGTEMPLATEEX";
    EXPECT_EQ(Hex(kSettingsStyle), Hex(dialog.style));
    EXPECT_EQ(Hex(0), Hex(dialog.exStyle));
    EXPECT_EQ("Corvelle Settings", dialog.caption);
    EXPECT_EQ("", dialog.menu);
    EXPECT_EQ("", dialog.windowClass);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("Ms Shell Dlg", dialog.font);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(275, dialog.cx);
    EXPECT_EQ(208, dialog.cy);
}

TEST(SettingsTemplate, HoldsTheThirtyFourControlsInCreationOrder)
{
    RawDialog dialog;
    ASSERT_TRUE(LoadDialogResource(IDD_SETTINGS, &dialog));
    ASSERT_EQ(kSettingsControls.size(), dialog.controls.size());
    for (size_t i = 0; i < kSettingsControls.size(); ++i) {
        const ExpectedControl& expected = kSettingsControls[i];
        const RawControl& got = dialog.controls[i];
        const std::string where = Describe(i, expected);
        EXPECT_EQ(expected.id, got.id) << where;
        EXPECT_TRUE(got.windowClass.isOrdinal) << where << ": class \"" << got.windowClass.text
                                               << "\", expected a predefined class atom";
        EXPECT_EQ(ClassAtom(expected.kind), got.windowClass.ordinal) << where;
        if (expected.caption != nullptr) {
            EXPECT_EQ(expected.caption, got.caption) << where;
        } else {
            EXPECT_FALSE(got.caption.empty()) << where << ": empty credit line";
        }
        EXPECT_EQ(expected.x, got.x) << where << ": x";
        EXPECT_EQ(expected.y, got.y) << where << ": y";
        EXPECT_EQ(expected.cx, got.cx) << where << ": width";
        EXPECT_EQ(expected.cy, got.cy) << where << ": height";
        const StyleRule rule = RuleFor(expected.kind);
        EXPECT_EQ(Hex(rule.type), Hex(got.style & rule.typeMask)) << where << ": control type";
        EXPECT_EQ(Hex(rule.required), Hex(got.style & rule.required)) << where << ": style "
                                                                      << Hex(got.style);
        EXPECT_EQ(Hex(0), Hex(got.style & rule.forbidden)) << where << ": style " << Hex(got.style);
        EXPECT_EQ(Hex(0), Hex(got.exStyle)) << where << ": extended style";
    }
    const std::string firstCredit = dialog.controls[32].caption;
    EXPECT_NE(std::string::npos, firstCredit.find("Corvelle"))
        << "the first credit line \"" << firstCredit << "\" does not name the program";
}

TEST(SettingsTemplate, HasEveryControlIdTheCodeUsesExactlyOnce)
{
    RawDialog dialog;
    ASSERT_TRUE(LoadDialogResource(IDD_SETTINGS, &dialog));
    std::vector<int> ids = {IDOK, IDCANCEL};
    for (int k = 0; k < 10; ++k) {
        ids.push_back(IDC_FILE1 + k);
        ids.push_back(IDC_BROWSE1 + k);
    }
    for (int id : ids) {
        int found = 0;
        for (const RawControl& control : dialog.controls)
            found += control.id == id ? 1 : 0;
        EXPECT_EQ(1, found) << "controls with id " << id;
    }
}

// The ids are part of the program's vocabulary: code that computes IDC_FILE1 + k - 1 or
// IDC_BROWSE1 + k - 1 relies on the numbers running without gaps.
TEST(ResourceIds, HaveTheirFixedNumbers)
{
    struct NamedId {
        const char* name;
        int got;
        int expected;
    };
    const NamedId ids[] = {
        {"IDD_SAVER", IDD_SAVER, 101},       {"IDD_SETTINGS", IDD_SETTINGS, 103},
        {"IDC_FILE1", IDC_FILE1, 1000},      {"IDC_FILE2", IDC_FILE2, 1001},
        {"IDC_FILE3", IDC_FILE3, 1002},      {"IDC_FILE4", IDC_FILE4, 1003},
        {"IDC_FILE5", IDC_FILE5, 1004},      {"IDC_FILE6", IDC_FILE6, 1005},
        {"IDC_FILE7", IDC_FILE7, 1006},      {"IDC_FILE8", IDC_FILE8, 1007},
        {"IDC_FILE9", IDC_FILE9, 1008},      {"IDC_FILE10", IDC_FILE10, 1009},
        {"IDC_BROWSE1", IDC_BROWSE1, 1010},  {"IDC_BROWSE2", IDC_BROWSE2, 1011},
        {"IDC_BROWSE3", IDC_BROWSE3, 1012},  {"IDC_BROWSE4", IDC_BROWSE4, 1013},
        {"IDC_BROWSE5", IDC_BROWSE5, 1014},  {"IDC_BROWSE6", IDC_BROWSE6, 1015},
        {"IDC_BROWSE7", IDC_BROWSE7, 1016},  {"IDC_BROWSE8", IDC_BROWSE8, 1017},
        {"IDC_BROWSE9", IDC_BROWSE9, 1018},  {"IDC_BROWSE10", IDC_BROWSE10, 1019},
        {"IDS_DESCRIPTION", IDS_DESCRIPTION, 1},
    };
    for (const NamedId& id : ids)
        EXPECT_EQ(id.expected, id.got) << id.name;
}

struct CreatedDialog {
    HWND window = nullptr;
    ~CreatedDialog()
    {
        if (window != nullptr)
            DestroyWindow(window);
    }
};

INT_PTR CALLBACK InertProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

TEST(SettingsTemplate, CreatesTheWindowsTheTableDescribes)
{
    CreatedDialog dialog;
    dialog.window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS),
                                       nullptr, InertProc, 0);
    ASSERT_NE(nullptr, dialog.window);
    char text[512];
    GetWindowTextA(dialog.window, text, sizeof text);
    EXPECT_STREQ("Corvelle Settings", text);

    // Child windows come in creation order, the first one at the top of the z-order.
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(kSettingsControls.size(), children.size());

    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& expected = kSettingsControls[i];
        const std::string where = Describe(i, expected);
        HWND child = children[i];
        GetClassNameA(child, text, sizeof text);
        EXPECT_STREQ(ClassName(expected.kind), text) << where;
        EXPECT_EQ(expected.id, static_cast<short>(GetDlgCtrlID(child))) << where;
        GetWindowTextA(child, text, sizeof text);
        if (expected.caption != nullptr) {
            EXPECT_STREQ(expected.caption, text) << where;
        }

        // The dialog manager converts position and size separately, each rounded on its own.
        RECT want = {expected.x, expected.y, expected.cx, expected.cy};
        MapDialogRect(dialog.window, &want);
        RECT got;
        GetWindowRect(child, &got);
        MapWindowPoints(nullptr, dialog.window, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(want.left, got.left) << where << ": x in pixels";
        EXPECT_EQ(want.top, got.top) << where << ": y in pixels";
        EXPECT_EQ(want.right, got.right - got.left) << where << ": width in pixels";
        EXPECT_EQ(want.bottom, got.bottom - got.top) << where << ": height in pixels";
        EXPECT_TRUE(IsWindowVisible(child)) << where;
    }

    // Tab moves through the tab stops in creation order and wraps around.
    std::vector<HWND> tabStops;
    for (HWND child : children) {
        if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)
            tabStops.push_back(child);
    }
    ASSERT_EQ(22u, tabStops.size());
    for (size_t i = 0; i < tabStops.size(); ++i) {
        HWND next = GetNextDlgTabItem(dialog.window, tabStops[i], FALSE);
        EXPECT_EQ(tabStops[(i + 1) % tabStops.size()], next)
            << "tab from control id " << GetDlgCtrlID(tabStops[i]) << " went to id "
            << GetDlgCtrlID(next);
    }
}

TEST(SettingsTemplate, EveryLabelFitsItsRectangle)
{
    CreatedDialog dialog;
    dialog.window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS),
                                       nullptr, InertProc, 0);
    ASSERT_NE(nullptr, dialog.window);
    HDC context = GetDC(dialog.window);
    HGDIOBJ oldFont = SelectObject(
        context, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog.window, WM_GETFONT, 0, 0)));
    for (HWND child = GetWindow(dialog.window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32];
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0)
            continue;
        char text[512];
        const int length = GetWindowTextA(child, text, sizeof text);
        SIZE extent = {};
        GetTextExtentPoint32A(context, text, length, &extent);
        RECT client;
        GetClientRect(child, &client);
        EXPECT_LE(extent.cx, client.right) << "\"" << text << "\" is " << extent.cx
                                           << " pixels wide, its label " << client.right;
        EXPECT_LE(extent.cy, client.bottom) << "\"" << text << "\" is " << extent.cy
                                            << " pixels high, its label " << client.bottom;
    }
    SelectObject(context, oldFont);
    ReleaseDC(dialog.window, context);
}

TEST(SaverTemplate, IsAnExtendedCaptionlessPopupWithTahomaAndItsSize)
{
    RawDialog dialog;
    ASSERT_TRUE(LoadDialogResource(IDD_SAVER, &dialog)) << "no dialog resource 101";
    EXPECT_FALSE(dialog.overrun);
    EXPECT_TRUE(dialog.extended) << "expected DLGTEMPLATEEX";
    EXPECT_EQ(Hex(kSaverStyle), Hex(dialog.style));
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("Tahoma", dialog.font);
    EXPECT_EQ(6, dialog.x);
    EXPECT_EQ(5, dialog.y);
    EXPECT_EQ(579, dialog.cx);
    EXPECT_EQ(330, dialog.cy);
    EXPECT_EQ("", dialog.caption);
}

TEST(StringTable, NamesTheScreenSaver)
{
    char text[64] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), IDS_DESCRIPTION, text, sizeof text);
    EXPECT_EQ(8, length);
    EXPECT_STREQ("Corvelle", text);
}

}  // namespace
