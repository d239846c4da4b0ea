// Renaming single entries in temporary trees: moves, refusals and the lines
// printed.
#include "renamer/rename_entry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/support/recording_console.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::RecordingConsole;
using testsupport::TempDir;

std::u16string currentDirectory() {
    return std::filesystem::current_path().u16string();
}

TEST(RenameEntry, ANameThatFoldsToItselfIsStillMovedAndReported) {
    TempDir tree;
    tree.file(u"notes.txt", "n");
    RecordingConsole device;
    EXPECT_TRUE(ansifold::renameEntry(u"notes.txt", tree.text().c_str()));
    EXPECT_EQ(device.output, u"notes.txt\n->notes.txt\n");
    EXPECT_EQ(tree.content(u"notes.txt"), "n");
    EXPECT_EQ(std::filesystem::path(currentDirectory()), tree.path());
}

TEST(RenameEntry, TheDirectoryMayEndWithASeparator) {
    TempDir tree;
    tree.file(u"a.txt");
    RecordingConsole device;
    const std::u16string directory = tree.text() + testsupport::separator;
    EXPECT_TRUE(ansifold::renameEntry(u"a.txt", directory.c_str()));
    EXPECT_EQ(device.output, u"a.txt\n->a.txt\n");
}

TEST(RenameEntry, AnEntryWhoseDirectoryCannotBeMadeCurrentIsNotTouched) {
    TempDir elsewhere;
    elsewhere.file(u"\U0001F600.txt", "other");
    std::filesystem::current_path(elsewhere.path());
    RecordingConsole device;
    const std::u16string missing = elsewhere.text(u"missing");
    EXPECT_FALSE(ansifold::renameEntry(u"\U0001F600.txt", missing.c_str()));
    EXPECT_EQ(device.output, u"\U0001F600.txt\n->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: __.txt\n");
    EXPECT_EQ(elsewhere.content(u"\U0001F600.txt"), "other");
    EXPECT_FALSE(elsewhere.exists(u"__.txt"));
}

class RenameEntryAnsiCodePage : public testing::Test {
protected:
    void SetUp() override {
        if (platform::GetACP() != 932 && platform::GetACP() != 1252) {
            GTEST_SKIP();
        }
    }
    // A name that the code page cannot hold: emoji fold to "__" everywhere.
    static constexpr char16_t unmappable[] = u"\U0001F600.txt";
};

TEST_F(RenameEntryAnsiCodePage, AnEntryMovesToItsFoldedName) {
    TempDir tree;
    tree.file(unmappable, "data");
    RecordingConsole device;
    EXPECT_TRUE(ansifold::renameEntry(unmappable, tree.text().c_str()));
    EXPECT_EQ(device.output, std::u16string(unmappable) + u"\n->__.txt\n");
    EXPECT_EQ(tree.content(u"__.txt"), "data");
    EXPECT_FALSE(tree.exists(unmappable));
}

TEST_F(RenameEntryAnsiCodePage, ACollisionLeavesBothEntriesIntact) {
    TempDir tree;
    tree.file(unmappable, "mine");
    tree.file(u"__.txt", "theirs");
    RecordingConsole device;
    EXPECT_FALSE(ansifold::renameEntry(unmappable, tree.text().c_str()));
    EXPECT_EQ(device.output,
              std::u16string(unmappable) + u"\n->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: __.txt\n");
    EXPECT_EQ(tree.content(unmappable), "mine");
    EXPECT_EQ(tree.content(u"__.txt"), "theirs");
}

TEST_F(RenameEntryAnsiCodePage, ADirectoryNeverReplacesAnotherOne) {
    TempDir tree;
    tree.file(u"\U0001F600\U0001F600/inner.txt", "a");
    tree.directory(u"____");
    RecordingConsole device;
    EXPECT_FALSE(ansifold::renameEntry(u"\U0001F600\U0001F600", tree.text().c_str()));
    EXPECT_EQ(tree.content(u"\U0001F600\U0001F600/inner.txt"), "a");
    EXPECT_TRUE(tree.exists(u"____"));
}

TEST_F(RenameEntryAnsiCodePage, TwoNamesThatFoldToOneNameFirstComeFirstServed) {
    TempDir tree;
    tree.file(u"\U0001F600.txt", "first");
    tree.file(u"\U0001F601.txt", "second");
    RecordingConsole device;
    EXPECT_TRUE(ansifold::renameEntry(u"\U0001F600.txt", tree.text().c_str()));
    EXPECT_FALSE(ansifold::renameEntry(u"\U0001F601.txt", tree.text().c_str()));
    EXPECT_EQ(tree.content(u"__.txt"), "first");
    EXPECT_EQ(tree.content(u"\U0001F601.txt"), "second");
}

// Best-fit mapping can turn a character into a separator; such an entry
// must stay where it is rather than move into another directory.
TEST_F(RenameEntryAnsiCodePage, AFoldThatWouldLeaveTheDirectoryIsRefused) {
    const char16_t* hazard = platform::GetACP() == 932 ? u"x\u00A5y.txt" : u"x\uFF0Fy.txt";
    TempDir tree;
    tree.file(hazard, "stay");
    tree.directory(u"x");
    RecordingConsole device;
    EXPECT_FALSE(ansifold::renameEntry(hazard, tree.text().c_str()));
    EXPECT_EQ(tree.content(hazard), "stay");
    EXPECT_TRUE(std::filesystem::is_empty(tree / u"x"));
    const std::u16string failure = u"->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: ";
    EXPECT_EQ(device.output.substr(0, device.output.find(u'\n') + 1),
              std::u16string(hazard) + u"\n");
    EXPECT_NE(device.output.find(failure), std::u16string::npos);
}

}  // namespace
