// Pictures drawn at random from folder trees: which entries count, the bounded walk and the draws,
// over a folder listing and a clock handed in.
#pragma once

#include "settings/image_paths.h"

#include <cstdint>

// The attribute bits of a file or folder that the walk looks at, as the file system gives them.
constexpr std::uint32_t kAttributeHidden = 0x2;
constexpr std::uint32_t kAttributeSystem = 0x4;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
constexpr std::uint32_t kAttributeOffline = 0x1000;
constexpr std::uint32_t kAttributeRecallOnOpen = 0x40000;
constexpr std::uint32_t kAttributeRecallOnDataAccess = 0x400000;
// Set in the tag of a reparse point that stands for another place: a junction, a symbolic link,
// a mount point.
constexpr std::uint32_t kReparseTagNameSurrogate = 0x20000000;

// What would be fetched from the cloud or from offline storage on opening.
constexpr std::uint32_t kAttributesFetched =
    kAttributeOffline | kAttributeRecallOnOpen | kAttributeRecallOnDataAccess;

// One entry of a folder listing.
struct FolderEntry {
    const char* name;
    std::uint32_t attributes;
    std::uint32_t reparseTag;   // only meaningful for a reparse point
};

enum class EntryKind { Skipped, Picture, Folder };

// A folder to walk into or a picture to draw, by name and attributes. Skipped: "." and "..",
// hidden and system entries, links to other places, anything fetched on opening, and files
// without the name of a kind the display shows.
EntryKind ClassifyEntry(const FolderEntry& entry);

// The walk of one start, all folders together, stops after this many entries or this long.
constexpr int kWalkEntryLimit = 100000;
constexpr std::uint64_t kWalkMilliseconds = 2000;

// A drawn picture and up to three stand-ins for drawn files that do not show.
constexpr int kDrawAttempts = 4;
// Whatever the other fields claim and name, each folder field keeps enough for its attempts.
constexpr int kDrawCandidates = kPictureCount * (kDrawAttempts + 1);

struct DrawCandidate {
    std::uint64_t key;   // random; the lowest keys are drawn first
    char path[kPathBufferSize];
};

// One picture field as the display reads it: a file to load, or a folder to draw from.
struct PictureField {
    char path[kPathBufferSize + 1];   // the file or folder, as one path names it for every field
    bool folder;
    int candidateCount;
    DrawCandidate candidates[kDrawCandidates];   // those with the lowest keys, lowest first
    int claims;                                  // paths handed out for this field so far
    int claimed[kDrawAttempts];                  // the candidates they were
};

// How the walk reads folders and time.
struct FolderLister {
    // Opens the listing of `folder` and reads its first entry into `first`; null when the
    // folder cannot be read or is empty.
    void* (*open)(const char* folder, FolderEntry* first);
    // Reads the next entry; false at the end or on any error.
    bool (*next)(void* listing, FolderEntry* entry);
    void (*close)(void* listing);
    std::uint64_t (*milliseconds)();
};

// Walks the tree of every folder field once, within the bounds, and keeps in each field the
// candidates with the lowest keys drawn from `seed`. A folder inside another named folder is
// walked on its own and counts for both.
void WalkFolders(PictureField fields[kPictureCount], const FolderLister& lister,
                 std::uint64_t seed);

// The next path to load for field `index`: a file field's own path, once; for a folder field,
// the next candidate that no field names as a file or has claimed, at most kDrawAttempts times.
// Null once there is none.
const char* ClaimPath(PictureField fields[kPictureCount], int index);

// The order in which the fields claim, round after round: files, then folders from the fewest
// candidates up, so that a folder inside another gets a picture of its own before the outer one
// might take it. Ties keep the fields' order.
void ClaimOrder(const PictureField fields[kPictureCount], int order[kPictureCount]);
