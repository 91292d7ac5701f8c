// FindFirstFileExA and the other calls behind folder_draw.cpp.
#include "pictures/folder_listing.h"

#include <windows.h>

#include <cstring>

static_assert(kAttributeHidden == FILE_ATTRIBUTE_HIDDEN && kAttributeSystem == FILE_ATTRIBUTE_SYSTEM
                  && kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY
                  && kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT
                  && kAttributeOffline == FILE_ATTRIBUTE_OFFLINE,
              "the walk's attribute bits are the file system's");

namespace {

struct Listing {
    HANDLE find;
    WIN32_FIND_DATAA data;
};

void ReadEntry(WIN32_FIND_DATAA& data, FolderEntry* entry)
{
    entry->name = data.cFileName;
    entry->attributes = data.dwFileAttributes;
    entry->reparseTag = data.dwReserved0;   // the tag, for a reparse point
    // Wine lists a Unix link as a reparse point and leaves the tag as it was: it reads as 0, a
    // folder to walk, rather than as whatever was there before.
    data.dwReserved0 = 0;
}

void* OpenListing(const char* folder, FolderEntry* first)
{
    char pattern[kPathBufferSize + 2];
    const std::size_t length = std::strlen(folder);
    if (length + 2 >= sizeof pattern)
        return nullptr;
    std::memcpy(pattern, folder, length);
    std::strcpy(pattern + length, folder[length - 1] == '\\' ? "*" : "\\*");
    auto* listing =
        static_cast<Listing*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Listing)));
    if (listing == nullptr)
        return nullptr;
    // Names and attributes are all the walk reads: no short names, and entries in large blocks.
    listing->find = FindFirstFileExA(pattern, FindExInfoBasic, &listing->data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (listing->find == INVALID_HANDLE_VALUE) {
        HeapFree(GetProcessHeap(), 0, listing);
        return nullptr;
    }
    ReadEntry(listing->data, first);
    return listing;
}

bool NextEntry(void* opened, FolderEntry* entry)
{
    auto* listing = static_cast<Listing*>(opened);
    if (!FindNextFileA(listing->find, &listing->data))
        return false;
    ReadEntry(listing->data, entry);
    return true;
}

void CloseListing(void* opened)
{
    auto* listing = static_cast<Listing*>(opened);
    FindClose(listing->find);
    HeapFree(GetProcessHeap(), 0, listing);
}

std::uint64_t Milliseconds()
{
    return GetTickCount64();
}

}  // namespace

const FolderLister kFileSystemLister = {OpenListing, NextEntry, CloseListing, Milliseconds};

void ReadPictureField(const char* path, PictureField& field)
{
    field.candidateCount = field.claims = 0;
    const DWORD length = GetFullPathNameA(path, sizeof field.path, field.path, nullptr);
    if (length == 0 || length >= sizeof field.path)
        std::strcpy(field.path, path);
    const DWORD attributes = GetFileAttributesA(field.path);
    field.folder = attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & kAttributesFetched) == 0;
    // One name for a folder, with or without a separator at its end; a drive's root keeps its own.
    for (std::size_t end = std::strlen(field.path); field.folder && end > 3
         && field.path[end - 1] == '\\';)
        field.path[--end] = '\0';
}

std::uint64_t DrawSeed()
{
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    return std::uint64_t(counter.QuadPart);
}
