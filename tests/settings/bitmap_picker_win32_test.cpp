// The bitmap picker used by hand from a helper thread, on its own and behind the browse buttons.
#include "res/resource.h"
#include "settings/bitmap_picker.h"
#include "bmp_file.h"
#include "settings_run.h"
#include "test_registry.h"
#include "ui_driver.h"

#include <windows.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// How long a picker that must stay open is watched for closing.
constexpr DWORD kStaysOpenWatchMs = 1000;

struct PickerVisit {
    std::string initialName;    // the file-name field as the picker opened
    std::string fileTypes;      // the "files of type" box
    int fileTypeCount = -1;
    bool hasOwner = true;
    bool settingsEnabled = false;   // whether the settings dialog took input meanwhile
};

enum class Leave { Accept, Cancel };

// Waits for the picker, notes how it opened, types `name` unless it is null, then presses Open
// or Cancel and waits for the picker to close. Returns what went wrong, or "".
std::string UsePicker(DWORD guiThread, const char* name, Leave leave, PickerVisit* visit,
                      HWND settings = nullptr)
{
    HWND picker = WaitForThreadWindow(guiThread, "Select bitmap");
    if (picker == nullptr)
        return "the picker did not open";
    HWND nameField = FileDialogNameField(picker);
    if (nameField == nullptr)
        return "the picker has no file-name field";
    visit->initialName = TextOf(nameField);
    visit->fileTypes = DialogItemText(picker, cmb1);
    DWORD_PTR count = 0;
    if (SendMessageTimeoutA(GetDlgItem(picker, cmb1), CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &count))
        visit->fileTypeCount = static_cast<int>(count);
    visit->hasOwner = GetWindow(picker, GW_OWNER) != nullptr;
    if (settings != nullptr)
        visit->settingsEnabled = IsWindowEnabled(settings) != FALSE;
    if (name != nullptr && !SetTextOf(nameField, name))
        return "could not type into the file-name field";
    PostMessageA(picker, WM_COMMAND, leave == Leave::Accept ? IDOK : IDCANCEL, 0);
    if (!WaitForWindowGone(picker))
        return "the picker stayed open";
    return "";
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

class BitmapPicker : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ResetImageList());
        // As at start-up: the first use of the picker opens on an empty name.
        std::memset(g_pickedPath, 0, sizeof g_pickedPath);
        directory_ = TestTempDirectory();
        first_ = directory_ + "\\picker-first.bmp";
        second_ = directory_ + "\\picker-second.bmp";
        ASSERT_TRUE(WriteFileBytes(first_, SolidBmp(8, 8, 250, 0, 0)));
        ASSERT_TRUE(WriteFileBytes(second_, SolidBmp(8, 8, 0, 0, 250)));
    }
    void TearDown() override
    {
        DeleteFileA(first_.c_str());
        DeleteFileA(second_.c_str());
        ResetImageList();
    }

    // Runs BrowseForBitmap on this thread while `user` works the picker.
    bool Browse(const std::function<std::string(DWORD)>& user, std::string* report)
    {
        bool chosen = false;
        *report = RunDriven([&] { chosen = BrowseForBitmap(); }, user);
        return chosen;
    }

    std::string directory_;
    std::string first_;
    std::string second_;
};

TEST_F(BitmapPicker, FirstUseOpensEmptyOnBitmapsWithoutOwnerAndReturnsTheChosenFile)
{
    PickerVisit visit;
    std::string report;
    const bool chosen = Browse(
        [&](DWORD gui) { return UsePicker(gui, first_.c_str(), Leave::Accept, &visit); }, &report);
    ASSERT_EQ("", report);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(first_, std::string(g_pickedPath));
    EXPECT_EQ("", visit.initialName);
    EXPECT_EQ("Bitmap", visit.fileTypes);
    EXPECT_EQ(1, visit.fileTypeCount) << "entries in the file-type list";
    EXPECT_FALSE(visit.hasOwner);
}

TEST_F(BitmapPicker, CancelReturnsFalseAndKeepsTheLastChosenPath)
{
    std::strcpy(g_pickedPath, second_.c_str());
    PickerVisit visit;
    std::string report;
    const bool chosen = Browse(
        [&](DWORD gui) { return UsePicker(gui, first_.c_str(), Leave::Cancel, &visit); }, &report);
    ASSERT_EQ("", report);
    EXPECT_FALSE(chosen);
    EXPECT_EQ(second_, std::string(g_pickedPath));
    EXPECT_TRUE(visit.initialName == BaseName(second_) || visit.initialName == second_)
        << "opened on \"" << visit.initialName << "\", expected " << second_;
}

TEST_F(BitmapPicker, NameWithoutExtensionComesBackEndingInBmp)
{
    const std::string typed = directory_ + "\\picker-first";
    // Wine's file dialog checks that the typed name exists before it adds the default extension
    // (Windows adds it first); a file of the bare name lets the name through to that step, and
    // the picker must still come back with the .bmp file.
    ASSERT_TRUE(WriteFileBytes(typed, SolidBmp(8, 8, 0, 250, 0)));
    PickerVisit visit;
    std::string report;
    const bool chosen = Browse(
        [&](DWORD gui) { return UsePicker(gui, typed.c_str(), Leave::Accept, &visit); }, &report);
    DeleteFileA(typed.c_str());
    ASSERT_EQ("", report);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(first_, std::string(g_pickedPath));
}

TEST_F(BitmapPicker, NameOfAMissingFileKeepsThePickerOpen)
{
    const std::string missing = directory_ + "\\no-such-picture.bmp";
    bool complained = false;
    bool stayedOpen = false;
    std::string report;
    const bool chosen = Browse(
        [&](DWORD gui) -> std::string {
            HWND picker = WaitForThreadWindow(gui, "Select bitmap");
            if (picker == nullptr)
                return "the picker did not open";
            if (!SetTextOf(FileDialogNameField(picker), missing))
                return "could not type into the file-name field";
            PostMessageA(picker, WM_COMMAND, IDOK, 0);
            // The platform says the file does not exist; the user acknowledges it.
            HWND notice = WaitForOtherThreadWindow(gui, picker, nullptr, 5000);
            complained = notice != nullptr;
            if (notice != nullptr) {
                PostMessageA(notice, WM_COMMAND, IDOK, 0);
                WaitForWindowGone(notice);
            }
            stayedOpen = !WaitForWindowGone(picker, kStaysOpenWatchMs);
            if (stayedOpen)
                PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
            return WaitForWindowGone(picker) ? "" : "the picker did not close";
        },
        &report);
    ASSERT_EQ("", report);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(complained) << "no notice about the missing file";
    EXPECT_FALSE(chosen);
    EXPECT_EQ("", std::string(g_pickedPath));
}

TEST_F(BitmapPicker, CancelledPickerLeavesTheFieldAndTheDialogUsable)
{
    ASSERT_TRUE(StoreImagePath(2, "C:\\kept.bmp"));
    // A path chosen earlier: a field set after a cancel would show it.
    std::strcpy(g_pickedPath, second_.c_str());
    PickerVisit visit;
    std::string fieldAfter;
    const SettingsRun run = RunSettingsDialog([&](HWND dialog, DWORD gui) {
        ClickDialogButton(dialog, IDC_BROWSE2);
        const std::string problem = UsePicker(gui, first_.c_str(), Leave::Cancel, &visit, dialog);
        fieldAfter = DialogItemText(dialog, IDC_FILE2);
        ClickDialogButton(dialog, IDCANCEL);
        return problem;
    });
    ASSERT_EQ("", run.report);
    EXPECT_EQ("C:\\kept.bmp", fieldAfter);
    EXPECT_TRUE(visit.settingsEnabled) << "the settings dialog was disabled under the picker";
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, IDC_BROWSE2));
    EXPECT_EQ(0, run.result);
}

TEST_F(BitmapPicker, ChoiceForPicture3FillsField3AndPicture7StartsOnIt)
{
    ASSERT_TRUE(StoreImagePath(1, "C:\\one.bmp"));
    PickerVisit forPicture3;
    PickerVisit forPicture7;
    std::vector<std::string> fieldsAfter3;
    std::vector<std::string> fieldsAfter7;
    const SettingsRun run = RunSettingsDialog([&](HWND dialog, DWORD gui) {
        ClickDialogButton(dialog, IDC_BROWSE3);
        std::string problem = UsePicker(gui, first_.c_str(), Leave::Accept, &forPicture3, dialog);
        if (!problem.empty())
            return "picture 3: " + problem;
        fieldsAfter3 = FieldTexts(dialog);
        // Open straight away: the picker must be on picture 3's file already.
        ClickDialogButton(dialog, IDC_BROWSE7);
        problem = UsePicker(gui, nullptr, Leave::Accept, &forPicture7, dialog);
        if (!problem.empty())
            return "picture 7: " + problem;
        fieldsAfter7 = FieldTexts(dialog);
        ClickDialogButton(dialog, IDOK);
        return std::string();
    });
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("", forPicture3.initialName);
    EXPECT_TRUE(forPicture7.initialName == BaseName(first_) || forPicture7.initialName == first_)
        << "picker for picture 7 opened on \"" << forPicture7.initialName << "\", expected "
        << first_;

    std::vector<std::string> expected(10, "");
    expected[0] = "C:\\one.bmp";
    expected[2] = first_;
    EXPECT_EQ(expected, fieldsAfter3);
    expected[6] = first_;
    EXPECT_EQ(expected, fieldsAfter7);
    EXPECT_EQ(first_, ReadStoredValue(3).Text());
    EXPECT_EQ(first_, ReadStoredValue(7).Text());
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, IDC_BROWSE3));
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, IDC_BROWSE7));
}

}  // namespace
