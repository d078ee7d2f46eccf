// Which files the file list shows, and in which order.
#include "file_list.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

std::vector<std::string> Names(const std::filesystem::path& dir, const std::string& pattern) {
    PosixFileSystem fs;
    std::vector<std::filesystem::path> files;
    EXPECT_TRUE(ListSourceFiles(fs, dir, pattern, files).ok());
    std::vector<std::string> names;
    for (const auto& f : files) {
        names.push_back(f.native());
    }
    return names;
}

TEST(MatchesPattern, GlobWithoutRegardToCase) {
    EXPECT_TRUE(MatchesPattern("GAME.ATR", "*.atr"));
    EXPECT_TRUE(MatchesPattern("game.AtR", "*.atr"));
    EXPECT_TRUE(MatchesPattern(".atr", "*.atr"));
    EXPECT_TRUE(MatchesPattern("a.b.atr", "*.atr"));
    EXPECT_FALSE(MatchesPattern("game.atr.bak", "*.atr"));
    EXPECT_FALSE(MatchesPattern("gameatr", "*.atr"));
    EXPECT_TRUE(MatchesPattern("x.xex", "?.XEX"));
    EXPECT_FALSE(MatchesPattern("xy.xex", "?.xex"));
}

TEST(ListSourceFiles, RegularMatchingVisibleFilesSortedCaseFolded) {
    TempDir dir;
    for (const char* name : {"b.atr", "A.ATR", "a.atr", "C.Atr", ".hidden.atr", "notes.txt",
                             "_under.atr", "Z.atr"}) {
        testing::WriteFile(dir / name, {1});
    }
    std::filesystem::create_directory(dir / "folder.atr");
    std::filesystem::create_symlink(dir / "b.atr", dir / "link.atr");
    std::filesystem::create_symlink(dir / "missing", dir / "dangling.atr");
    std::filesystem::create_symlink(dir / "folder.atr", dir / "dirlink.atr");
    // Folding maps A-Z to a-z, so "_" (0x5F) stands before every letter; names equal
    // when folded keep byte order (upper case first).
    const std::vector<std::string> expected = {"_under.atr", "A.ATR", "a.atr", "b.atr",
                                               "C.Atr",      "link.atr", "Z.atr"};
    EXPECT_EQ(Names(dir.path(), "*.atr"), expected);
}

TEST(ListSourceFiles, NamesThatAreNotUtf8AreKeptAsBytes) {
    TempDir dir;
    const std::string odd = std::string("bad\xFF") + "\n.atr";
    testing::WriteFile(dir / odd, {1});
    const auto names = Names(dir.path(), "*.atr");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], odd);
}

TEST(ListSourceFiles, UnreadableDirectoryIsAnError) {
    PosixFileSystem fs;
    std::vector<std::filesystem::path> files;
    EXPECT_FALSE(ListSourceFiles(fs, "/nonexistent/korvane", "*.atr", files).ok());
}

}  // namespace
}  // namespace korvane
