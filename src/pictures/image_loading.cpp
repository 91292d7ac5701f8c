// The ten stored paths to pictures: files loaded as they are named, folders drawn from, every
// picture loaded and then every one fitted, each round on workers side by side; a draw that does
// not show gives way to the next in another round.
#include "pictures/image_loading.h"

#include "pictures/fitting.h"
#include "pictures/folder_listing.h"
#include "pictures/photo_loading.h"
#include "pictures/worker_count.h"
#include "settings/image_store.h"

#include <windows.h>

namespace {

// What each field names, with its folder's draws: large, so kept for the process.
PictureField g_fields[kPictureCount];
// Set by the display's thread between rounds and only read by the workers: the pictures being
// filled, the path each field tries, the screen's share, the most workers at once.
Picture* g_pictures;
const char* g_paths[kPictureCount];
int g_claimOrder[kPictureCount];
int g_screenWidth, g_screenHeight, g_imageCount, g_workers;

void ReadPictureFields()
{
    for (int picture = 1; picture <= kPictureCount; ++picture) {
        // Only a value that cannot be read falls back; a stored path that fails stays empty.
        char fallbackPath[kPathBufferSize];
        const char* path = g_pathBuffer;
        if (ReadImageSetting(picture) != ERROR_SUCCESS) {
            FormatDefaultImagePath(picture, fallbackPath, sizeof fallbackPath);
            path = fallbackPath;
        }
        ReadPictureField(path, g_fields[picture - 1]);
    }
}

bool Loaded(const Picture& picture)
{
    return picture.bitmap != nullptr || picture.photo != nullptr;
}

// Loads field k's path of this round into its picture.
void LoadJob(int k)
{
    Picture& slot = g_pictures[k];
    const char* path = g_paths[k];
    slot.bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_VGACOLOR);
    // Only what the bitmap loader refuses goes to the imaging component, once fitted.
    slot.photo = slot.bitmap == nullptr ? OpenPhoto(path) : nullptr;
}

// Fits field k's picture, loading first a draw that stands in for one that did not decode.
void FitJob(int k)
{
    if (!Loaded(g_pictures[k]))
        LoadJob(k);
    if (Loaded(g_pictures[k]))
        FitImage(g_pictures[k], g_screenWidth, g_screenHeight, g_imageCount);
}

// One round's work: the fields due, which its workers take one at a time. A worker touches only
// the picture of the field it took.
struct Round {
    void (*job)(int k);
    bool decodesPhotos;
    int due[kPictureCount];
    LONG count;
    volatile LONG taken;
};

DWORD WINAPI Work(void* shared)
{
    Round& round = *static_cast<Round*>(shared);
    // COM for this worker alone, ended before it returns.
    const bool com = round.decodesPhotos && StartPhotoDecoding();
    for (LONG next; (next = InterlockedIncrement(&round.taken) - 1) < round.count;)
        round.job(round.due[next]);
    EndPhotoDecoding(com);
    return 0;
}

// Runs `job` for each field marked in `due` on as many workers as there are cores and fields, this
// thread one of them, and returns once every one has ended. A thread that cannot be started leaves
// its share to the others; on one core nothing but this thread works.
void RunJobs(void (*job)(int), const bool due[kPictureCount], bool decodesPhotos = false)
{
    Round round = {job, decodesPhotos, {}, 0, 0};
    for (int k = 0; k < kPictureCount; ++k) {
        if (due[k])
            round.due[round.count++] = k;
    }
    HANDLE workers[kPictureCount];
    int started = 0;
    for (const int others = WorkerCount(g_workers, round.count) - 1; started < others; ++started) {
        workers[started] = CreateThread(nullptr, 0, Work, &round, 0, nullptr);
        if (workers[started] == nullptr)
            break;
    }
    Work(&round);
    if (started > 0)
        WaitForMultipleObjects(started, workers, TRUE, INFINITE);
    for (int i = 0; i < started; ++i)
        CloseHandle(workers[i]);
}

// Marks the fields for which `wanted` holds and which have a path left to try; false if none. An
// empty field has nothing to load, and starts no worker.
bool ClaimRound(bool (*wanted)(int k), bool due[kPictureCount])
{
    bool any = false;
    for (const int k : g_claimOrder) {
        due[k] = wanted(k) && (g_paths[k] = ClaimPath(g_fields, k)) != nullptr && *g_paths[k];
        any = any || due[k];
    }
    return any;
}

}  // namespace

int ProcessorCores()
{
    DWORD_PTR process = 0, system = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
    int cores = 0;
    for (; process != 0; process &= process - 1)
        ++cores;
    return cores;
}

int LoadImageSet(Picture pictures[], int workers)
{
    g_workers = workers;
    ReadPictureFields();
    WalkFolders(g_fields, kFileSystemLister, DrawSeed());
    ClaimOrder(g_fields, g_claimOrder);
    g_pictures = pictures;
    for (int k = 0; k < kPictureCount; ++k)
        pictures[k] = Picture{};
    // Each field's file or first draw, then for each draw that did not load the next one.
    bool due[kPictureCount];
    while (ClaimRound([](int k) { return !Loaded(g_pictures[k]); }, due))
        RunJobs(LoadJob, due);
    int loaded = 0;
    for (int k = 0; k < kPictureCount; ++k)
        loaded += Loaded(pictures[k]);
    return loaded < 2 ? 2 : loaded;
}

bool FitImage(Picture& picture, int screenWidth, int screenHeight, int imageCount)
{
    if (picture.photo != nullptr)
        return picture.fitted = FitPhoto(picture, screenWidth, screenHeight, imageCount);
    HBITMAP original = static_cast<HBITMAP>(picture.bitmap);
    BITMAP description = {};
    GetObjectA(original, sizeof description, &description);

    const FittedSize fitted = FitImageSize(description.bmWidth, description.bmHeight, screenWidth,
                                           screenHeight, imageCount);
    picture.cx = fitted.cx;
    picture.cy = fitted.cy;
    picture.fitted = true;
    if (!fitted.needsCopy)
        return true;

    // LR_COPYDELETEORG deletes the original only when the copy succeeds.
    HANDLE copy = CopyImage(original, IMAGE_BITMAP, fitted.cx, fitted.cy, LR_COPYDELETEORG);
    if (copy == nullptr)
        DeleteObject(original);
    picture.bitmap = copy;
    return true;
}

void FitImageSet(Picture pictures[], int screenWidth, int screenHeight, int imageCount,
                 int workers)
{
    g_workers = workers;
    g_pictures = pictures;
    g_screenWidth = screenWidth;
    g_screenHeight = screenHeight;
    g_imageCount = imageCount;
    bool due[kPictureCount], photos = false;
    for (int k = 0; k < kPictureCount; ++k) {
        due[k] = Loaded(pictures[k]);
        photos = photos || pictures[k].photo != nullptr;
    }
    if (photos)
        LoadPhotoDecoding();
    // A drawn photo that does not decode gives way to the next draw from its folder, which takes
    // its place in the count; only a photo comes to that.
    do
        RunJobs(FitJob, due, photos);
    while (ClaimRound([](int k) { return !g_pictures[k].fitted; }, due));
}

void ReleaseBitmap(void* bitmap)
{
    DeleteObject(static_cast<HBITMAP>(bitmap));
}
