// Which files the file list shows, and in which order.
#include "file_list.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace korvane {
namespace {

std::vector<std::string> Names(const std::filesystem::path& dir) {
    PosixFileSystem fs;
    std::vector<std::filesystem::path> files;
    EXPECT_TRUE(ListSourceFiles(fs, dir, "*.atr", files).ok());
    std::vector<std::string> names;
    for (const auto& f : files) {
        names.push_back(f.native());
    }
    return names;
}

TEST(MatchesPattern, GlobWithoutRegardToCase) {
    for (const char* name : {"GAME.ATR", "game.AtR", ".atr", "a.b.atr"}) {
        EXPECT_TRUE(MatchesPattern(name, "*.atr")) << name;
    }
    EXPECT_FALSE(MatchesPattern("game.atr.bak", "*.atr"));
    EXPECT_FALSE(MatchesPattern("gameatr", "*.atr"));
    EXPECT_TRUE(MatchesPattern("x.xex", "?.XEX"));
    EXPECT_FALSE(MatchesPattern("xy.xex", "?.xex"));
}

TEST(ListSourceFiles, RegularMatchingVisibleFilesSortedCaseFolded) {
    testing::TempDir dir;
    for (const char* name : {"b.atr", "A.ATR", "a.atr", "C.Atr", ".hidden.atr", "notes.txt",
                             "_under.atr", "Z.atr", "bad\xFF\n.atr"}) {
        testing::WriteFile(dir / name, {1});
    }
    std::filesystem::create_directory(dir / "folder.atr");
    std::filesystem::create_symlink(dir / "b.atr", dir / "link.atr");
    std::filesystem::create_symlink(dir / "missing", dir / "dangling.atr");
    std::filesystem::create_symlink(dir / "folder.atr", dir / "dirlink.atr");
    // Folding maps A-Z to a-z, so "_" (0x5F) stands before every letter; names equal
    // when folded keep byte order (upper case first). Names that are not UTF-8 stay bytes.
    EXPECT_EQ(Names(dir.path()),
              (std::vector<std::string>{"_under.atr", "A.ATR", "a.atr", "b.atr", "bad\xFF\n.atr",
                                        "C.Atr", "link.atr", "Z.atr"}));
    std::vector<std::filesystem::path> files;
    PosixFileSystem fs;
    EXPECT_FALSE(ListSourceFiles(fs, "/nonexistent/korvane", "*.atr", files).ok());
}

}  // namespace
}  // namespace korvane
