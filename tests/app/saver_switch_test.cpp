// The switch letter at index 1 decides the mode; nothing else of the argument string counts.
#include "app/saver_switch.h"

#include <gtest/gtest.h>

namespace {

const char* ModeName(SaverMode mode)
{
    switch (mode) {
    case SaverMode::Display:
        return "Display";
    case SaverMode::Settings:
        return "Settings";
    case SaverMode::Preview:
        return "Preview";
    }
    return "?";
}

struct SwitchCase {
    const char* arguments;
    SaverMode expected;
};

TEST(SaverSwitch, LetterAtIndexOneSelectsTheMode)
{
    const SwitchCase cases[] = {
        {"", SaverMode::Display},
        {"c", SaverMode::Display},          // one character: no letter is read
        {"/", SaverMode::Display},
        {"/c", SaverMode::Settings},
        {"/C", SaverMode::Settings},
        {"/c:1234", SaverMode::Settings},
        {"-c", SaverMode::Settings},
        {"xc", SaverMode::Settings},        // the first character is never examined
        {"/p 1234", SaverMode::Preview},
        {"/P", SaverMode::Preview},
        {"/p", SaverMode::Preview},
        {"/s", SaverMode::Display},
        {"/S", SaverMode::Display},
        {"/x", SaverMode::Display},
        {"/ c", SaverMode::Display},        // a blank at index 1
        {"/1", SaverMode::Display},         // a digit at index 1
        {"c/", SaverMode::Display},
        {"pc", SaverMode::Settings},
    };
    for (const SwitchCase& c : cases) {
        EXPECT_STREQ(ModeName(c.expected), ModeName(ReadSaverSwitch(c.arguments)))
            << "arguments \"" << c.arguments << "\"";
    }
}

TEST(SaverSwitch, NullArgumentsRunTheDisplay)
{
    EXPECT_EQ(SaverMode::Display, ReadSaverSwitch(nullptr));
}

}  // namespace
