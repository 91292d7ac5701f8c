// Compile-time check of the record sizes the program hands to the platform, on each target.
#include <windows.h>
#include <commdlg.h>

#include <cstddef>

// The bitmap picker passes the open-file record in its older, shorter form, which ends after
// lpTemplateName (OPENFILENAME_SIZE_VERSION_400A; the header computes it in a way that is not a
// constant expression, so it is spelled out here). On 32-bit Windows that form is 76 bytes, the
// size every version of the common dialogs accepts; the 64-bit form is longer only because its
// pointers are.
constexpr std::size_t kShortOpenFileRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);

#if defined(_WIN64)
static_assert(kShortOpenFileRecordSize == 136, "64-bit short open-file record size");
#else
static_assert(kShortOpenFileRecordSize == 76, "32-bit short open-file record size");
#endif
static_assert(kShortOpenFileRecordSize < sizeof(OPENFILENAMEA),
              "the short form leaves out the trailing fields");
