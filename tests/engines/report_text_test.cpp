#include "report_text.h"

#include <gtest/gtest.h>

#include "program_location.h"

namespace korvane {
namespace {

TEST(ReportNumbers, HexDecAndSummaryCounts) {
    EXPECT_EQ(Hex(0), "0");
    EXPECT_EQ(Hex(2), "2");
    EXPECT_EQ(Hex(0x16810), "16810");
    EXPECT_EQ(Hex(0xABCDEF), "ABCDEF");
    EXPECT_EQ(Dec(92176), "92176");
    EXPECT_EQ(SummaryCount(0), " 0");
    EXPECT_EQ(SummaryCount(100000), " 100000");
}

TEST(ReportNumbers, LeadingNumberOfAControlText) {
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("720"), 720);
    EXPECT_EQ(LeadingNumber("92176 bytes"), 92176);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("  12.6"), 13);
    EXPECT_EQ(LeadingNumber("-5"), -5);
}

TEST(DisplayName, KeepsUtf8AndEscapesTheRest) {
    EXPECT_EQ(DisplayName("GAME.ATR"), "GAME.ATR");
    EXPECT_EQ(DisplayName("Spiel-\xC3\xBC.atr"), "Spiel-\xC3\xBC.atr");
    EXPECT_EQ(DisplayName("bad\xFF.atr"), "bad\\xFF.atr");
    EXPECT_EQ(DisplayName("two\nlines.atr"), "two\\x0Alines.atr");
    EXPECT_EQ(DisplayName("tab\t\x1B.atr"), "tab\\x09\\x1B.atr");
    // A lead byte without its continuation, and an overlong encoding of "/".
    EXPECT_EQ(DisplayName("x\xC3.atr"), "x\\xC3.atr");
    EXPECT_EQ(DisplayName("\xC0\xAF"), "\\xC0\\xAF");
    // A C1 control character is escaped too, so a report line stays one line.
    EXPECT_EQ(DisplayName("a\xC2\x85"
                          "b"),
              "a\\xC2\\x85b");
}

TEST(Paths, JoinAndAbsoluteDirectory) {
    EXPECT_EQ(JoinPath("/home/atari", "GAME.ATR").native(), "/home/atari/GAME.ATR");
    EXPECT_EQ(JoinPath("/", "GAME.ATR").native(), "/GAME.ATR");
    EXPECT_EQ(JoinPath("/my.dir", "JUMP.XEX").native(), "/my.dir/JUMP.XEX");
    EXPECT_EQ(AbsoluteDirectory("/").native(), "/");
    EXPECT_EQ(AbsoluteDirectory("/tmp/").native(), "/tmp");
    EXPECT_EQ(AbsoluteDirectory("/tmp/./x/.").native(), "/tmp/x");
    EXPECT_EQ(AbsoluteDirectory("/tmp/a/../b").native(), "/tmp/a/../b");
    EXPECT_TRUE(AbsoluteDirectory("relative").is_absolute());
}

}  // namespace
}  // namespace korvane
