// The settings dialog run modally and used from a helper thread: what it shows, stores and returns.
#include "res/resource.h"
#include "saver/image_loading.h"
#include "saver/saver_state.h"
#include "settings/image_store.h"
#include "bmp_file.h"
#include "settings_run.h"
#include "test_registry.h"
#include "ui_driver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStoredSize = 260;

// A path of exactly `length` characters whose digits show where a cut happened.
std::string PathOfLength(size_t length)
{
    std::string path = "C:\\";
    while (path.size() < length)
        path += static_cast<char>('0' + path.size() % 10);
    return path.substr(0, length);
}

// Describes stored data that should be all zero after its text: where the first stray byte is.
std::string FillerProblem(const std::string& data)
{
    const size_t end = data.find('\0');
    if (end == std::string::npos)
        return "no terminating NUL";
    const size_t stray = data.find_first_not_of('\0', end);
    if (stray == std::string::npos)
        return "";
    return "filler byte " + std::to_string(stray) + " is '" + data[stray] + "', expected 0";
}

// How many of the ten pictures the display would load now.
int LoadablePictureCount()
{
    g_saver = SaverState{};
    LoadImageSet();
    int loaded = 0;
    for (const ImageSlot& slot : g_saver.slots)
        loaded += slot.bitmap != nullptr ? 1 : 0;
    DeleteSlotBitmaps();
    return loaded;
}

// Bitmaps at the ten fallback paths c:\pictures\1.bmp..10.bmp for the life of the object; only
// files it created are removed again.
class FallbackPictures {
public:
    FallbackPictures()
    {
        createdFolder_ = CreateDirectoryA("c:\\pictures", nullptr) != 0;
        for (int picture = 1; picture <= 10; ++picture) {
            const std::string path = "c:\\pictures\\" + std::to_string(picture) + ".bmp";
            if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                continue;
            if (WriteFileBytes(path, SolidBmp(16, 12, 40, 200, 90)))
                created_.push_back(path);
        }
    }
    ~FallbackPictures()
    {
        for (const std::string& path : created_)
            DeleteFileA(path.c_str());
        if (createdFolder_)
            RemoveDirectoryA("c:\\pictures");
    }

private:
    bool createdFolder_ = false;
    std::vector<std::string> created_;
};

// Opens the dialog, reads its ten fields into `fields` and cancels.
SettingsRun ReadFieldsAndCancel(std::vector<std::string>& fields)
{
    return RunSettingsDialog([&](HWND dialog, DWORD) {
        fields = FieldTexts(dialog);
        ClickDialogButton(dialog, IDCANCEL);
        return std::string();
    });
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ResetImageList()); }
    void TearDown() override { ResetImageList(); }
};

TEST_F(SettingsDialog, OpensWithTenEmptyFieldsWhenNothingIsStored)
{
    std::vector<std::string> fields;
    const SettingsRun run = ReadFieldsAndCancel(fields);
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("1", AnswersTo(run.answers, WM_INITDIALOG));
    ASSERT_EQ(10u, fields.size());
    for (int picture = 1; picture <= 10; ++picture)
        EXPECT_EQ("", fields[picture - 1]) << "field " << picture;
    EXPECT_FALSE(ImageListKeyExists()) << "opening and cancelling created the key";
}

struct StoredCase {
    int picture;
    unsigned long type;
    std::string data;    // exactly the bytes stored; empty with `missing` set: no value at all
    bool missing;
    std::string shown;   // what the field must show
    const char* what;
};

TEST_F(SettingsDialog, OpensWithWhatIsStoredAndEmptyForWhatCannotBeRead)
{
    const std::string longest = PathOfLength(259);
    const std::string full260(260, 'y');
    const std::vector<StoredCase> cases = {
        {1, REG_SZ, "C:\\photos\\harbour.bmp" + std::string(260 - 21, '\0'), false,
         "C:\\photos\\harbour.bmp", "a path as the dialog stores it"},
        {2, REG_SZ, std::string("D:\\a b\\c.bmp") + '\0', false, "D:\\a b\\c.bmp",
         "a short value written by another tool"},
        {3, REG_SZ, "", true, "", "no value: empty, not the fallback path"},
        {4, REG_SZ, longest + '\0', false, longest, "259 characters"},
        {5, REG_SZ, std::string(261, 'x'), false, "", "261 bytes cannot be read: empty"},
        {6, REG_BINARY, std::string("E:\\raw.bmp") + '\0', false, "E:\\raw.bmp",
         "the type is not examined"},
        {7, REG_BINARY, full260, false, full260, "260 bytes without a NUL are read whole"},
        {8, REG_SZ, std::string(260, '\0'), false, "", "an empty stored path"},
        {9, REG_SZ, "", false, "", "a value without data"},
        {10, REG_SZ, std::string(1000, 'z'), false, "", "1000 bytes cannot be read: empty"},
    };
    for (const StoredCase& stored : cases) {
        if (!stored.missing) {
            ASSERT_TRUE(StoreRawImageValue(stored.picture, stored.type, stored.data.data(),
                                           static_cast<unsigned long>(stored.data.size())))
                << stored.what;
        }
    }
    std::vector<std::string> fields;
    const SettingsRun run = ReadFieldsAndCancel(fields);
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    ASSERT_EQ(10u, fields.size());
    for (const StoredCase& stored : cases)
        EXPECT_EQ(stored.shown, fields[stored.picture - 1])
            << "picture " << stored.picture << ": " << stored.what;
}

TEST_F(SettingsDialog, OkWithoutEditsStoresTenEmptyPathsAfterWhichNoPictureLoads)
{
    FallbackPictures fallbacks;
    ASSERT_EQ(10, LoadablePictureCount()) << "with nothing stored the fallback files must load";
    // A stale path in the shared buffer must not end up in the stored filler.
    std::memset(g_pathBuffer, 'S', sizeof g_pathBuffer - 1);

    const SettingsRun run = RunSettingsDialog([&](HWND dialog, DWORD) {
        ClickDialogButton(dialog, IDOK);
        return std::string();
    });
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, IDOK));
    for (int picture = 1; picture <= 10; ++picture) {
        const StoredValue value = ReadStoredValue(picture);
        ASSERT_TRUE(value.exists) << "File" << picture << " was not written";
        EXPECT_EQ(static_cast<unsigned long>(REG_SZ), value.type) << "File" << picture;
        EXPECT_EQ(kStoredSize, value.data.size()) << "File" << picture << " size";
        EXPECT_EQ("", value.Text()) << "File" << picture;
        EXPECT_EQ("", FillerProblem(value.data)) << "File" << picture;
    }
    EXPECT_EQ(0, LoadablePictureCount()) << "empty stored paths must not fall back";
}

struct TypedCase {
    int picture;
    std::string typed;
    std::string stored;
    const char* what;
};

TEST_F(SettingsDialog, OkStoresEveryFieldAsItStandsCutTo259Characters)
{
    const std::string path300 = PathOfLength(300);
    const std::string path260 = PathOfLength(260);
    const std::string path259 = PathOfLength(259);
    ASSERT_TRUE(StoreImagePath(5, "C:\\emptied.bmp"));
    ASSERT_TRUE(StoreImagePath(6, "C:\\kept.bmp"));
    const std::vector<TypedCase> typed = {
        {1, path300, path300.substr(0, 259), "300 characters are cut to 259"},
        {2, path260, path260.substr(0, 259), "260 characters are cut to 259"},
        {3, path259, path259, "259 characters are kept whole"},
        {4, "C:\\some where\\x.bmp", "C:\\some where\\x.bmp", "a short path"},
        {5, "", "", "a stored path emptied in its field"},
    };
    std::vector<std::string> fieldsBeforeOk;
    const SettingsRun run = RunSettingsDialog([&](HWND dialog, DWORD) {
        for (const TypedCase& field : typed) {
            if (!SetDialogItemText(dialog, IDC_FILE1 + field.picture - 1, field.typed))
                return "could not fill field " + std::to_string(field.picture);
        }
        fieldsBeforeOk = FieldTexts(dialog);
        ClickDialogButton(dialog, IDOK);
        return std::string();
    });
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    // The field itself must hold the long text, or the cut would not be the dialog's doing.
    ASSERT_EQ(10u, fieldsBeforeOk.size());
    EXPECT_EQ(300u, fieldsBeforeOk[0].size());
    for (const TypedCase& field : typed) {
        const StoredValue value = ReadStoredValue(field.picture);
        EXPECT_EQ(field.stored, value.Text()) << "picture " << field.picture << ": " << field.what;
        EXPECT_EQ(kStoredSize, value.data.size()) << "picture " << field.picture;
        EXPECT_EQ(static_cast<unsigned long>(REG_SZ), value.type) << "picture " << field.picture;
    }
    EXPECT_EQ("C:\\kept.bmp", ReadStoredValue(6).Text()) << "an untouched field is stored again";
    for (int picture = 7; picture <= 10; ++picture) {
        const StoredValue value = ReadStoredValue(picture);
        EXPECT_TRUE(value.exists) << "File" << picture << " was not written";
        EXPECT_EQ("", value.Text()) << "File" << picture;
    }
}

struct Ending {
    const char* name;
    std::function<void(HWND dialog)> end;
    UINT answeredMessage;
    int answeredId;
    const char* answer;
};

void PostKey(HWND dialog, int fieldId, WPARAM key)
{
    PostMessageA(GetDlgItem(dialog, fieldId), WM_KEYDOWN, key, 1);
    PostMessageA(GetDlgItem(dialog, fieldId), WM_KEYUP, key, 0xC0000001);
}

// With "C:\\before.bmp" stored for picture 1, edits fields 1 and 2 and then ends the dialog.
SettingsRun RunAfterEdits(const Ending& ending)
{
    EXPECT_TRUE(ResetImageList());
    EXPECT_TRUE(StoreImagePath(1, "C:\\before.bmp"));
    return RunSettingsDialog([&](HWND dialog, DWORD) {
        if (!SetDialogItemText(dialog, IDC_FILE1, "C:\\after.bmp")
            || !SetDialogItemText(dialog, IDC_FILE2, "C:\\new.bmp"))
            return std::string("could not edit the fields");
        ending.end(dialog);
        return std::string();
    });
}

TEST_F(SettingsDialog, EnterAndOkStoreTheEditedFields)
{
    const std::vector<Ending> endings = {
        {"OK button", [](HWND d) { ClickDialogButton(d, IDOK); }, WM_COMMAND, IDOK, "0"},
        {"Enter in a field", [](HWND d) { PostKey(d, IDC_FILE2, VK_RETURN); }, WM_COMMAND, IDOK,
         "0"},
    };
    for (const Ending& ending : endings) {
        const SettingsRun run = RunAfterEdits(ending);
        ASSERT_EQ("", run.report) << ending.name;
        EXPECT_EQ(0, run.result) << ending.name;
        EXPECT_EQ(ending.answer, AnswersTo(run.answers, ending.answeredMessage, ending.answeredId))
            << ending.name;
        EXPECT_EQ("C:\\after.bmp", ReadStoredValue(1).Text()) << ending.name;
        EXPECT_EQ("C:\\new.bmp", ReadStoredValue(2).Text()) << ending.name;
    }
}

TEST_F(SettingsDialog, CancelEscAndClosingWriteNothingAfterEdits)
{
    const std::vector<Ending> endings = {
        {"Cancel button", [](HWND d) { ClickDialogButton(d, IDCANCEL); }, WM_COMMAND, IDCANCEL,
         "1"},
        {"Esc in a field", [](HWND d) { PostKey(d, IDC_FILE1, VK_ESCAPE); }, WM_COMMAND, IDCANCEL,
         "1"},
        {"WM_CLOSE", [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); }, WM_CLOSE, 0, "1"},
        {"the close button (SC_CLOSE)",
         [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, WM_CLOSE, 0, "1"},
        // Only the low word names the command; the notification code above it is ignored.
        {"IDCANCEL with a notification code",
         [](HWND d) { PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0xBEEF), 0); }, WM_COMMAND,
         IDCANCEL, "1"},
    };
    for (const Ending& ending : endings) {
        const SettingsRun run = RunAfterEdits(ending);
        ASSERT_EQ("", run.report) << ending.name;
        EXPECT_EQ(0, run.result) << ending.name;
        EXPECT_EQ(ending.answer, AnswersTo(run.answers, ending.answeredMessage, ending.answeredId))
            << ending.name;
        EXPECT_EQ("never", AnswersTo(run.answers, WM_COMMAND, IDOK)) << ending.name;
        EXPECT_EQ("C:\\before.bmp", ReadStoredValue(1).Text()) << ending.name;
        EXPECT_FALSE(ReadStoredValue(2).exists) << ending.name << " stored File2";
    }
}

TEST_F(SettingsDialog, AnswersZeroToFieldNotificationsBrowsingAndEverythingElse)
{
    const SettingsRun run = RunSettingsDialog([&](HWND dialog, DWORD guiThread) -> std::string {
        // Changing a field's text makes it notify the dialog with its own id.
        if (!SetDialogItemText(dialog, IDC_FILE3, "C:\\typed.bmp"))
            return "could not edit field 3";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(4242, 0), 0, SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        SendMessageTimeoutA(dialog, WM_APP + 7, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        ClickDialogButton(dialog, IDC_BROWSE4);
        HWND picker = WaitForThreadWindow(guiThread, "Select bitmap");
        if (picker == nullptr)
            return "the picker did not open";
        PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
        if (!WaitForWindowGone(picker))
            return "the picker did not close";
        ClickDialogButton(dialog, IDCANCEL);
        return std::string();
    });
    ASSERT_EQ("", run.report);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ("1", AnswersTo(run.answers, WM_INITDIALOG));
    const std::string fieldAnswers = AnswersTo(run.answers, WM_COMMAND, IDC_FILE3);
    EXPECT_NE("never", fieldAnswers) << "field 3 sent no notification";
    EXPECT_EQ(std::string::npos, fieldAnswers.find_first_not_of("0,")) << fieldAnswers;
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, 4242));
    EXPECT_EQ("0", AnswersTo(run.answers, WM_APP + 7));
    EXPECT_EQ("0", AnswersTo(run.answers, WM_COMMAND, IDC_BROWSE4));
}

}  // namespace
