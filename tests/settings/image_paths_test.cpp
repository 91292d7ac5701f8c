// A path cut at the byte limit keeps whole characters only.
#include "settings/image_paths.h"

#include <gtest/gtest.h>

#include <string>

TEST(TrimPartialCharacter, DropsOnlyAnIncompleteLastCharacter)
{
    const struct {
        std::string path, kept;
    } rows[] = {
        {"", ""}, {"c:\\a.bmp", "c:\\a.bmp"}, {"\xC3", ""},
        {"c:\\caf\xC3\xA9", "c:\\caf\xC3\xA9"}, {"c:\\caf\xC3", "c:\\caf"},
        {"c:\\\xE3\x81\xB2", "c:\\\xE3\x81\xB2"}, {"c:\\\xE3\x81", "c:\\"}, {"c:\\\xE3", "c:\\"},
        {"c:\\\xF0\x9F\x8C\xBB", "c:\\\xF0\x9F\x8C\xBB"}, {"c:\\\xF0\x9F\x8C", "c:\\"},
        {"c:\\\xF0\x9F", "c:\\"}, {"c:\\\xF0", "c:\\"},
    };
    for (const auto& row : rows) {
        std::string path = row.path;
        TrimPartialCharacter(path.data());
        EXPECT_EQ(row.kept, path.c_str()) << "trimmed from " << row.path;
    }
}
