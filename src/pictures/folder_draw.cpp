// The folder walk and the draws, whatever the file system: bounded in entries, time, depth and
// memory, whatever the tree holds.
#include "pictures/folder_draw.h"

#include <cstring>

namespace {

// Each level of a path adds at least a separator and one character.
constexpr int kMaxDepth = kPathBufferSize / 2;

const char* const kPictureExtensions[] = {".bmp", ".dib", ".jpg", ".jpeg", ".jpe",
                                          ".png", ".gif", ".tif", ".tiff"};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether the first `length` bytes match, ASCII letters in either case as the file system has it.
bool SameStart(const char* a, const char* b, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool SamePath(const char* a, const char* b)
{
    const std::size_t length = std::strlen(a);
    return length == std::strlen(b) && SameStart(a, b, length);
}

bool HasPictureName(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr)
        return false;
    for (const char* extension : kPictureExtensions) {
        if (SamePath(dot, extension))
            return true;
    }
    return false;
}

// Whether `path` lies somewhere below `folder`.
bool InFolder(const char* path, const char* folder)
{
    const std::size_t length = std::strlen(folder);
    return length > 0 && std::strlen(path) > length && SameStart(path, folder, length)
        && (folder[length - 1] == '\\' || path[length] == '\\');
}

// Adds `\name` to the folder path of `length` bytes; false when it would not fit.
bool Append(char (&path)[kPathBufferSize], std::size_t length, const char* name)
{
    const bool separator = length > 0 && path[length - 1] != '\\';
    const std::size_t nameLength = std::strlen(name);
    if (length + separator + nameLength >= kPathBufferSize)
        return false;
    if (separator)
        path[length++] = '\\';
    std::memcpy(path + length, name, nameLength + 1);
    return true;
}

// SplitMix64: one 64-bit state, every value of which starts a sequence of its own.
std::uint64_t NextRandom(std::uint64_t& state)
{
    std::uint64_t z = state += 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// Keeps the candidate if its key is among the field's lowest, in order.
void Offer(PictureField& field, std::uint64_t key, const char* path)
{
    int at = field.candidateCount;
    if (at == kDrawCandidates) {
        if (key >= field.candidates[at - 1].key)
            return;
        --at;
    } else {
        ++field.candidateCount;
    }
    for (; at > 0 && field.candidates[at - 1].key > key; --at)
        field.candidates[at] = field.candidates[at - 1];
    field.candidates[at].key = key;
    std::strcpy(field.candidates[at].path, path);
}

struct Walk {
    PictureField* fields;
    const FolderLister& lister;
    std::uint64_t random;
    int entries;   // read so far, all folders together
};

bool IsFolderField(const PictureField fields[], const char* folder)
{
    for (int f = 0; f < kPictureCount; ++f) {
        if (fields[f].folder && SamePath(fields[f].path, folder))
            return true;
    }
    return false;
}

// Walks one named folder depth first, holding one open listing per level, until its tree ends or
// `entryLimit` entries have been read in all or `deadline` has come.
void WalkTree(Walk& walk, const char* root, int entryLimit, std::uint64_t deadline)
{
    char path[kPathBufferSize];
    std::strcpy(path, root);
    void* listings[kMaxDepth];
    std::size_t lengths[kMaxDepth];
    FolderEntry entry = {};
    int depth = 0;
    listings[0] = walk.lister.open(path, &entry);
    lengths[0] = std::strlen(path);
    if (listings[0] == nullptr)
        return;
    bool have = true;
    while (depth >= 0 && walk.entries < entryLimit && walk.lister.milliseconds() < deadline) {
        if (!have) {
            walk.lister.close(listings[depth]);
            if (--depth >= 0) {
                path[lengths[depth]] = '\0';
                have = walk.lister.next(listings[depth], &entry);
            }
            continue;
        }
        ++walk.entries;
        const EntryKind kind = ClassifyEntry(entry);
        if (kind != EntryKind::Skipped && Append(path, lengths[depth], entry.name)) {
            if (kind == EntryKind::Picture) {
                const std::uint64_t key = NextRandom(walk.random);
                for (int f = 0; f < kPictureCount; ++f) {
                    if (walk.fields[f].folder && InFolder(path, walk.fields[f].path))
                        Offer(walk.fields[f], key, path);
                }
            } else if (depth + 1 < kMaxDepth && !IsFolderField(walk.fields, path)) {
                // A named folder inside this one is walked on its own.
                void* listing = walk.lister.open(path, &entry);
                if (listing != nullptr) {
                    listings[++depth] = listing;
                    lengths[depth] = std::strlen(path);
                    continue;
                }
            }
        }
        path[lengths[depth]] = '\0';
        have = walk.lister.next(listings[depth], &entry);
    }
    // Out of bounds: the levels still open close.
    for (; depth >= 0; --depth)
        walk.lister.close(listings[depth]);
}

}  // namespace

EntryKind ClassifyEntry(const FolderEntry& entry)
{
    const char* name = entry.name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
        return EntryKind::Skipped;
    // A link is never followed, which keeps the walk out of loops and off other drives; other
    // reparse points, such as files a cloud service keeps, count by their other attributes.
    const bool link = (entry.attributes & kAttributeReparsePoint) != 0
        && (entry.reparseTag & kReparseTagNameSurrogate) != 0;
    if (link || (entry.attributes & (kAttributeHidden | kAttributeSystem | kAttributesFetched)))
        return EntryKind::Skipped;
    if (entry.attributes & kAttributeDirectory)
        return EntryKind::Folder;
    return HasPictureName(name) ? EntryKind::Picture : EntryKind::Skipped;
}

void WalkFolders(PictureField fields[kPictureCount], const FolderLister& lister,
                 std::uint64_t seed)
{
    const char* roots[kPictureCount];
    int rootCount = 0;
    for (int f = 0; f < kPictureCount; ++f) {
        bool walked = false;
        for (int r = 0; r < rootCount; ++r)
            walked = walked || SamePath(roots[r], fields[f].path);
        if (fields[f].folder && !walked)
            roots[rootCount++] = fields[f].path;
    }
    Walk walk{fields, lister, seed, 0};
    const std::uint64_t end = lister.milliseconds() + kWalkMilliseconds;
    for (int r = 0; r < rootCount; ++r) {
        // Each folder still to walk gets an even share of what is left, so that a drive's root
        // leaves time for the others; one that ends early leaves its share to those after it.
        const int share = rootCount - r;
        const int entries = walk.entries + (kWalkEntryLimit - walk.entries) / share;
        const std::uint64_t now = lister.milliseconds();
        WalkTree(walk, roots[r], entries, now < end ? now + (end - now) / share : now);
    }
}

const char* ClaimPath(PictureField fields[kPictureCount], int index)
{
    PictureField& field = fields[index];
    if (!field.folder)
        return field.claims++ == 0 ? field.path : nullptr;
    for (int c = 0; c < field.candidateCount && field.claims < kDrawAttempts; ++c) {
        const char* path = field.candidates[c].path;
        bool taken = false;
        for (int f = 0; f < kPictureCount && !taken; ++f) {
            const PictureField& other = fields[f];
            taken = !other.folder && SamePath(other.path, path);
            for (int k = 0; other.folder && k < other.claims && !taken; ++k)
                taken = SamePath(other.candidates[other.claimed[k]].path, path);
        }
        if (!taken) {
            field.claimed[field.claims++] = c;
            return path;
        }
    }
    return nullptr;
}

void ClaimOrder(const PictureField fields[kPictureCount], int order[kPictureCount])
{
    const auto rank = [&](int k) { return fields[k].folder ? fields[k].candidateCount : -1; };
    for (int k = 0; k < kPictureCount; ++k) {
        int at = k;
        for (; at > 0 && rank(order[at - 1]) > rank(k); --at)
            order[at] = order[at - 1];
        order[at] = k;
    }
}
