// Text helpers whose edge cases no report line shows: control texts read as numbers,
// names that are not plain UTF-8, and directory paths.
#include "report_text.h"

#include <gtest/gtest.h>

#include "program_location.h"

namespace korvane {
namespace {

TEST(LeadingNumber, ReadsAControlTextTheWayTheWindowDoes) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"", 0}, {"720", 720}, {"92176 bytes", 92176}, {"abc", 0}, {"  12.6", 13}, {"-5", -5}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(LeadingNumber(text), value) << text;
    }
}

TEST(DisplayName, KeepsUtf8AndEscapesTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        {"GAME.ATR", "GAME.ATR"},
        {"Spiel-\xC3\xBC.atr", "Spiel-\xC3\xBC.atr"},
        {"bad\xFF.atr", "bad\\xFF.atr"},
        {"two\nlines.atr", "two\\x0Alines.atr"},
        {"tab\t\x1B.atr", "tab\\x09\\x1B.atr"},
        {"x\xC3.atr", "x\\xC3.atr"},     // a lead byte without its continuation
        {"\xC0\xAF", "\\xC0\\xAF"},      // an overlong "/"
        {"a\xC2\x85_", "a\\xC2\\x85_"},  // a C1 control character
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(DisplayName(name), shown);
    }
}

TEST(Paths, JoinAndAbsoluteDirectory) {
    EXPECT_EQ(JoinPath("/home/atari", "GAME.ATR").native(), "/home/atari/GAME.ATR");
    EXPECT_EQ(JoinPath("/", "GAME.ATR").native(), "/GAME.ATR");
    EXPECT_EQ(AbsoluteDirectory("/").native(), "/");
    EXPECT_EQ(AbsoluteDirectory("/tmp/").native(), "/tmp");
    EXPECT_EQ(AbsoluteDirectory("/tmp/./x/.").native(), "/tmp/x");
    EXPECT_EQ(AbsoluteDirectory("/tmp/a/../b").native(), "/tmp/a/../b");
    EXPECT_TRUE(AbsoluteDirectory("relative").is_absolute());
}

}  // namespace
}  // namespace korvane
