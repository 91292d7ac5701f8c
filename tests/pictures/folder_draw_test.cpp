// Pictures drawn from folder trees: which entries count, distinct and even draws, and the bounds
// that hold whatever the tree; and how many pictures load at once.
#include "pictures/folder_draw.h"
#include "pictures/worker_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(ClassifyEntry, TakesPicturesByNameAndFoldersAndSkipsWhatIsHiddenLinkedOrInTheCloud)
{
    const std::uint32_t dir = kAttributeDirectory, reparse = kAttributeReparsePoint;
    const std::uint32_t junction = 0xA0000003, symlink = 0xA000000C, cloud = 0x9000001A;
    const struct {
        const char* name;
        std::uint32_t attributes, tag;
        EntryKind expected;
    } rows[] = {
        {"a.bmp", 0, 0, EntryKind::Picture}, {"B.DIB", 0x20, 0, EntryKind::Picture},
        {"c.Jpg", 0x1, 0, EntryKind::Picture}, {"d.jpeg", 0, 0, EntryKind::Picture},
        {"e.JPE", 0, 0, EntryKind::Picture}, {"f.png", 0, 0, EntryKind::Picture},
        {"g.gif", 0, 0, EntryKind::Picture}, {"h.tif", 0, 0, EntryKind::Picture},
        {"i.TIFF", 0, 0, EntryKind::Picture}, {"notes.txt", 0, 0, EntryKind::Skipped},
        {"jpg", 0, 0, EntryKind::Skipped}, {"a.jpg.txt", 0, 0, EntryKind::Skipped},
        {"a.tiffany", 0, 0, EntryKind::Skipped}, {"holiday.jpg", dir, 0, EntryKind::Folder},
        {".", dir, 0, EntryKind::Skipped}, {"..", dir, 0, EntryKind::Skipped},
        {"hidden.jpg", kAttributeHidden, 0, EntryKind::Skipped},
        {"hidden", dir | kAttributeHidden, 0, EntryKind::Skipped},
        {"system.jpg", kAttributeSystem, 0, EntryKind::Skipped},
        {"junction", dir | reparse, junction, EntryKind::Skipped},
        {"folder link", dir | reparse, symlink, EntryKind::Skipped},
        {"file link.jpg", reparse, symlink, EntryKind::Skipped},
        // Kept on this disk by a cloud service, which shows them as reparse points of its own.
        {"synced.jpg", reparse, cloud, EntryKind::Picture},
        {"synced", dir | reparse, cloud, EntryKind::Folder},
        {"online only.jpg", reparse | kAttributeRecallOnDataAccess, cloud, EntryKind::Skipped},
        {"not listed yet", dir | reparse | kAttributeRecallOnOpen, cloud, EntryKind::Skipped},
        {"archived.jpg", kAttributeOffline, 0, EntryKind::Skipped},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(int(row.expected), int(ClassifyEntry({row.name, row.attributes, row.tag})))
            << row.name << " with attributes " << std::hex << row.attributes;
    }
}

// A made-up file system: each folder's pictures and subfolders. Below a folder named "endless"
// every folder holds a picture and two folders, "a" and "b", down to the longest path.
std::map<std::string, std::vector<std::string>> g_tree;
int g_open, g_opened, g_reads, g_mostOpen;
std::uint64_t g_clock, g_tick;   // each reading of the clock moves it on by g_tick
struct Listing {
    std::vector<std::string> names;
    std::size_t next;
};

bool Read(Listing* listing, FolderEntry* entry)
{
    // A walk that does not stop has long failed: end it here rather than hang.
    if (listing->next == listing->names.size() || ++g_reads > 3 * kWalkEntryLimit)
        return false;
    const std::string& name = listing->names[listing->next++];
    entry->name = name.c_str();
    entry->attributes = name.find('.') == std::string::npos ? kAttributeDirectory : 0;
    entry->reparseTag = 0;
    return true;
}

void* Open(const char* folder, FolderEntry* first)
{
    const std::string path = folder;
    const auto found = g_tree.find(path);
    auto* listing = new Listing{{}, 0};
    if (found != g_tree.end())
        listing->names = found->second;
    else if (path.find("\\endless") != std::string::npos)
        listing->names = {"x.jpg", "a", "b"};
    if (!Read(listing, first)) {
        delete listing;
        return nullptr;
    }
    g_mostOpen = std::max(g_mostOpen, ++g_open);
    ++g_opened;
    return listing;
}

const FolderLister kFakeLister = {
    Open, [](void* listing, FolderEntry* entry) { return Read(static_cast<Listing*>(listing), entry); },
    [](void* listing) { --g_open, delete static_cast<Listing*>(listing); },
    [] { return g_clock += g_tick; }};

PictureField g_fields[kPictureCount];

// Fields naming `paths`, a trailing "\" marking a folder, walked with `seed`.
void Walk(const std::vector<std::string>& paths, std::uint64_t seed, std::uint64_t tick = 0)
{
    g_open = g_opened = g_reads = g_mostOpen = 0;
    g_clock = 0, g_tick = tick;
    for (int k = 0; k < kPictureCount; ++k) {
        const std::string path = k < int(paths.size()) ? paths[k] : "";
        g_fields[k] = PictureField{};
        g_fields[k].folder = !path.empty() && path.back() == '\\';
        path.copy(g_fields[k].path, path.size() - g_fields[k].folder);
    }
    WalkFolders(g_fields, kFakeLister, seed);
}

// Field k's next claim, "-" for none.
std::string Claim(int k)
{
    const char* path = ClaimPath(g_fields, k);
    return path ? path : "-";
}

TEST(FolderDraws, EachFieldGetsAPictureNoOtherShowsAndEachPictureIsDrawnAsOftenAsAnother)
{
    g_tree = {{"C:\\p", {"a.jpg", "B.gif", "sub", "notes.txt", "e.tif"}},
              {"C:\\p\\sub", {"c.png", "d.bmp"}}};
    // Three fields on the tree, one on the subfolder, one naming c.png directly: every picture
    // shows once, whatever the seed, d.bmp for the subfolder, and a second draw finds nothing
    // left. The empty fields are files named "".
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        Walk({"C:\\p\\", "C:\\P\\", "C:\\p\\sub\\", "c:\\p\\SUB\\C.PNG", "C:\\p\\"}, seed);
        int order[kPictureCount];
        ClaimOrder(g_fields, order);
        std::vector<std::string> shown(kPictureCount);
        for (int k : order)
            shown[k] = Claim(k);
        EXPECT_EQ("C:\\p\\sub\\d.bmp", shown[2]) << "seed " << seed;
        EXPECT_EQ(2, g_opened) << "each folder listed once";
        std::sort(shown.begin(), shown.end());
        ASSERT_EQ((std::vector<std::string>{"", "", "", "", "", "C:\\p\\B.gif", "C:\\p\\a.jpg",
                                            "C:\\p\\e.tif", "C:\\p\\sub\\d.bmp",
                                            "c:\\p\\SUB\\C.PNG"}), shown) << "seed " << seed;
        for (int k = 0; k < kPictureCount; ++k)
            EXPECT_EQ("-", Claim(k)) << "field " << k << ", seed " << seed;
    }
    // One field on the tree: each of its five pictures comes first a fifth of the time.
    std::map<std::string, int> first;
    for (std::uint64_t seed = 0; seed < 5000; ++seed) {
        Walk({"C:\\p\\"}, seed);
        ++first[ClaimPath(g_fields, 0)];
    }
    ASSERT_EQ(5u, first.size());
    for (const auto& [path, times] : first)
        EXPECT_TRUE(times >= 900 && times <= 1100) << path << " drawn first " << times << " times";
}

TEST(FolderDraws, AFieldGetsAtMostItsAttemptsAndNeverAPathTwice)
{
    g_tree = {{"C:\\many", {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"}}};
    Walk({"C:\\many\\", "C:\\many\\1.jpg"}, 7);
    std::vector<std::string> claims;
    for (const char* path; (path = ClaimPath(g_fields, 0)) != nullptr;)
        claims.push_back(path);
    std::sort(claims.begin(), claims.end());
    EXPECT_EQ(std::size_t(kDrawAttempts), claims.size());
    EXPECT_TRUE(std::unique(claims.begin(), claims.end()) == claims.end()
                && !std::binary_search(claims.begin(), claims.end(), "C:\\many\\1.jpg"));
    EXPECT_EQ(std::string("C:\\many\\1.jpg"), ClaimPath(g_fields, 1)) << "a file, once";
    EXPECT_EQ(nullptr, ClaimPath(g_fields, 1));
}

TEST(FolderDraws, TheWalkEndsWithinItsEntriesTimeAndDepthAndLeavesTimeForEveryFolder)
{
    g_tree = {{"C:\\small", {"1.jpg", "2.jpg"}}, {"C:\\deep", {"d"}}};
    for (std::string path = "C:\\deep\\d"; path.size() < 400; path += "\\d")
        g_tree[path] = {"d"};
    const struct {
        const char* name;
        std::vector<std::string> fields;
        std::uint64_t tick;
        int mostReads;
    } rows[] = {
        {"endless, entries", {"C:\\endless\\", "C:\\small\\", "C:\\small\\"}, 0,
         kWalkEntryLimit + 2},
        {"endless, time", {"C:\\endless\\", "C:\\small\\", "C:\\small\\"}, 1,
         int(kWalkMilliseconds) + 2},
        {"deep", {"C:\\deep\\", "C:\\small\\", "C:\\small\\"}, 0, kPathBufferSize / 2},
    };
    for (const auto& row : rows) {
        Walk(row.fields, 1, row.tick);
        EXPECT_TRUE(g_reads <= row.mostReads && g_reads >= row.mostReads / 4)
            << row.name << ": " << g_reads << " entries read";
        EXPECT_LE(g_mostOpen, kPathBufferSize / 2) << row.name << ": folders open at once";
        EXPECT_EQ(0, g_open) << row.name << ": listings left open";
        // The folder after the endless one still had its share of the walk.
        std::vector<std::string> small = {Claim(1), Claim(2)};
        std::sort(small.begin(), small.end());
        EXPECT_EQ((std::vector<std::string>{"C:\\small\\1.jpg", "C:\\small\\2.jpg"}), small)
            << row.name;
        EXPECT_TRUE(row.name[0] == 'd' || g_fields[0].candidateCount == kDrawCandidates)
            << row.name;
    }
}

TEST(WorkerCount, AsManyAsTheCoresAndNeverMoreThanThePictures)
{
    const int rows[][3] = {{2, 10, 2}, {16, 3, 3}, {1, 10, 1}, {4, 4, 4}, {0, 5, 1}, {-1, 5, 1},
                           {8, 0, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(row[2], WorkerCount(row[0], row[1])) << row[0] << " cores, " << row[1];
}

}  // namespace
