// The directory search on temporary trees: what it lists, what it leaves out,
// and the paths it builds.
#include "fs/file_search.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

std::set<std::u16string> namesOf(kestrel::FileSearch& search) {
    std::set<std::u16string> names;
    while (const platform::FindData* entry = search.next()) {
        names.insert(entry->cFileName);
    }
    return names;
}

// Names that a linguistic comparison takes for "." or "..": each is followed
// by a character that collations ignore (a soft hyphen, a zero-width joiner,
// a byte-order mark).
const std::set<std::u16string> lookAlikes = {u".\u00AD", u"..\u200D", u".\uFEFF"};

TEST(FileSearch, ListsEveryEntryButDotAndDotDot) {
    TempDir tree;
    tree.file(u"a.txt");
    tree.file(u".hidden");
    tree.directory(u"sub");
    for (const std::u16string& name : lookAlikes) {
        tree.directory(name);
    }
    kestrel::FileSearch search;
    const platform::FindData* first = search.open(tree.text().c_str());
    ASSERT_NE(first, nullptr);
    const std::u16string firstName = first->cFileName;
    const platform::FindData* handedOut = search.next();
    ASSERT_NE(handedOut, nullptr);
    EXPECT_EQ(firstName, handedOut->cFileName);
    std::set<std::u16string> names = namesOf(search);
    names.insert(firstName);
    std::set<std::u16string> expected = {u"a.txt", u".hidden", u"sub"};
    expected.insert(lookAlikes.begin(), lookAlikes.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(search.next(), nullptr);
    EXPECT_EQ(search.next(), nullptr);
}

TEST(FileSearch, ReportsDirectoriesByTheirAttribute) {
    TempDir tree;
    tree.directory(u"sub");
    tree.file(u"file");
    kestrel::FileSearch search;
    search.open(tree.text().c_str());
    while (const platform::FindData* entry = search.next()) {
        const bool isDirectory = (entry->dwFileAttributes & platform::fileAttributeDirectory) != 0;
        EXPECT_EQ(isDirectory, std::u16string(entry->cFileName) == u"sub");
    }
}

TEST(FileSearch, OpensNothingOnAFileAMissingPathNoPathOrAnEmptyDirectory) {
    TempDir tree;
    tree.file(u"file.txt");
    tree.directory(u"empty");
    const std::u16string file = tree.text(u"file.txt");
    const std::u16string missing = tree.text(u"missing");
    const std::u16string empty = tree.text(u"empty");
    for (const char16_t* path :
         {file.c_str(), missing.c_str(), empty.c_str(), static_cast<const char16_t*>(nullptr)}) {
        kestrel::FileSearch search;
        EXPECT_EQ(search.open(path), nullptr);
        EXPECT_EQ(search.next(), nullptr);
    }
}

TEST(FileSearch, BuildsEntryPathsWithThePathsOwnSeparator) {
    TempDir tree;
    tree.file(u"d/x");
    const std::u16string directory = tree.text(u"d");
    const std::u16string trailing = directory + testsupport::separator;
    for (const std::u16string& path : {directory, trailing}) {
        kestrel::FileSearch search;
        ASSERT_NE(search.open(path.c_str()), nullptr);
        ASSERT_NE(search.next(), nullptr);
        EXPECT_EQ(search.currentPath(), trailing + u"x");
    }
}

TEST(FileSearch, ASecondOpenStartsAfresh) {
    TempDir tree;
    tree.file(u"one/a");
    tree.file(u"two/b");
    tree.file(u"two/c");
    kestrel::FileSearch search;
    const std::u16string one = tree.text(u"one");
    const std::u16string two = tree.text(u"two");
    ASSERT_NE(search.open(one.c_str()), nullptr);
    ASSERT_NE(search.open(two.c_str()), nullptr);
    EXPECT_EQ(namesOf(search), (std::set<std::u16string>{u"b", u"c"}));
}

}  // namespace
