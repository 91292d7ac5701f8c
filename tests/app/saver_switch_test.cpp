// Which mode each command line the system may pass selects.
#include "app/saver_switch.h"

#include <gtest/gtest.h>

TEST(ReadSaverSwitch, OnlyTheSecondCharacterCountsInEitherCase)
{
    const struct {
        const char* arguments;
        SaverMode mode;
    } rows[] = {
        {"/c", SaverMode::Settings}, {"-C", SaverMode::Settings}, {"/c:1234", SaverMode::Settings},
        {"sc /p", SaverMode::Settings}, {"/p", SaverMode::Preview}, {"/P 45", SaverMode::Preview},
        {"cp", SaverMode::Preview}, {"/s", SaverMode::Display}, {"/S", SaverMode::Display},
        {"/ c", SaverMode::Display}, {"/1", SaverMode::Display}, {"c", SaverMode::Display},
        {"", SaverMode::Display}, {nullptr, SaverMode::Display},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(static_cast<int>(row.mode), static_cast<int>(ReadSaverSwitch(row.arguments)))
            << "arguments \"" << (row.arguments ? row.arguments : "(none)") << "\"";
    }
}
