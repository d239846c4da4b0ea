// What only the POSIX backend's file services can meet: links, names that are
// bytes rather than UTF-8, backslashes inside names, a file system that
// cannot refuse to replace, and texts that name no bytes at all.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "platform/open_directories.h"
#include "platform/platform.h"
#include "platform/posix/move.h"
#include "platform/posix/paths.h"
#include "tests/support/find_all.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::Dword;
using platform::test::findAll;
using platform::test::namesOf;
using testsupport::TempDir;

// A temporary tree whose names are given as the bytes on disk.
class ByteTree : public TempDir {
public:
    void file(const std::string& name, const std::string& content = "") const {
        std::ofstream(path() / name, std::ios::binary) << content;
    }
    void directory(const std::string& name) const { fs::create_directories(path() / name); }
    std::string contentsOf(const std::string& name) const {
        std::ifstream in(path() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool has(const std::string& name) const {
        return fs::exists(fs::symlink_status(path() / name));
    }
    // The path of name inside the tree, as the layers above write it.
    std::u16string in(const std::u16string& name) const { return text() + u"/" + name; }
};

constexpr Dword directory = platform::fileAttributeDirectory;
constexpr Dword reparsePoint = platform::fileAttributeReparsePoint;
constexpr Dword normal = platform::posix::fileAttributeNormal;

Dword foundAttributes(const ByteTree& tree, const std::u16string& name) {
    for (const auto& entry : findAll(tree.in(u"*"))) {
        if (entry.name == name) {
            return entry.attributes;
        }
    }
    ADD_FAILURE() << "not listed: " << testing::PrintToString(name);
    return platform::invalidFileAttributes;
}

TEST(PosixFileAttributes, LinksCarryTheReparsePointBitAndWhereTheyLead) {
    ByteTree tree;
    tree.directory("target");
    tree.file("file");
    fs::create_directory_symlink("target", tree.path() / "toDir");
    fs::create_symlink("file", tree.path() / "toFile");
    fs::create_symlink("nowhere", tree.path() / "dangling");
    struct Case {
        std::u16string name;
        Dword attributes;
    };
    const Case cases[] = {
        {u"target", directory},
        {u"file", normal},
        {u"toDir", reparsePoint | directory},
        {u"toFile", reparsePoint},
        {u"dangling", reparsePoint},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::GetFileAttributesW(tree.in(c.name).c_str()), c.attributes)
            << testing::PrintToString(c.name);
        EXPECT_EQ(foundAttributes(tree, c.name), c.attributes) << testing::PrintToString(c.name);
    }
    // A trailing separator would make lstat look through the link.
    EXPECT_EQ(platform::GetFileAttributesW(tree.in(u"toDir/").c_str()), reparsePoint | directory);
    EXPECT_EQ(platform::GetFileAttributesW(tree.in(u"toFile/").c_str()),
              platform::invalidFileAttributes);
}

// Names as bytes on disk and as the layers above see them.
struct ByteName {
    std::string bytes;
    std::u16string text;
};

const ByteName byteNames[] = {
    {"caf\xE9", u"caf\xDCE9"},
    {"\xFF\xFE", u"\xDCFF\xDCFE"},
    {"a\\b", {u'a', u'\xDC5C', u'b'}},
    {"\xE6\x97\xA5\\\x80", u"\x65E5\xDC5C\xDC80"},
};

TEST(PosixNames, BytesThatAreNotUtf8AndBackslashesAreListedWithoutLoss) {
    ByteTree tree;
    std::vector<std::u16string> expected = {u".", u".."};
    for (const ByteName& name : byteNames) {
        tree.file(name.bytes);
        expected.push_back(name.text);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesOf(findAll(tree.in(u"*"))), expected);
    for (const ByteName& name : byteNames) {
        EXPECT_EQ(platform::GetFileAttributesW(tree.in(name.text).c_str()), normal)
            << testing::PrintToString(name.text);
    }
    // The backslash of a name is no separator in a pattern either.
    EXPECT_EQ(namesOf(findAll(tree.in(u"A\xDC5C*"))),
              std::vector<std::u16string>{byteNames[2].text});
}

TEST(PosixNames, BytesThatAreNotUtf8AndBackslashesAreMovedWithoutLoss) {
    ByteTree tree;
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
    for (const ByteName& name : byteNames) {
        tree.file(name.bytes, name.bytes);
        ASSERT_TRUE(platform::MoveFileW(name.text.c_str(), u"plain"))
            << testing::PrintToString(name.text);
        EXPECT_EQ(tree.contentsOf("plain"), name.bytes);
        ASSERT_TRUE(platform::MoveFileW(u"plain", (name.text + u"2").c_str()));
        EXPECT_EQ(tree.contentsOf(name.bytes + "2"), name.bytes);
    }
    EXPECT_FALSE(tree.has("a"));  // no directory came of a backslash
}

TEST(PosixCurrentDirectory, NamesOfDirectoriesAreNeverSplitAtABackslash) {
    ByteTree tree;
    for (const ByteName& name : byteNames) {
        tree.directory(name.bytes);
        ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.in(name.text).c_str()));
        std::u16string buffer(4096, u'\0');
        buffer.resize(platform::GetCurrentDirectoryW(4096, buffer.data()));
        EXPECT_TRUE(buffer.ends_with(u"/" + name.text)) << testing::PrintToString(buffer);

        std::u16string full(4096, u'\0');
        full.resize(platform::GetFullPathNameW(u"x\\y", 4096, full.data(), nullptr));
        EXPECT_EQ(full, buffer + u"/x/y");
        ASSERT_TRUE(platform::SetCurrentDirectoryW(u".."));
    }
}

TEST(PosixNames, TextThatNamesNoBytesIsAnInvalidName) {
    ByteTree tree;
    tree.file("kept");
    const std::u16string bad = tree.in(u"x\xD800");
    const std::u16string kept = tree.in(u"kept");
    platform::FindData data;
    char16_t buffer[64];
    const std::function<bool()> calls[] = {
        [&] {
            return platform::GetFileAttributesW(bad.c_str()) != platform::invalidFileAttributes;
        },
        [&] {
            return platform::FindFirstFileW(bad.c_str(), &data) != platform::invalidHandleValue;
        },
        [&] { return platform::SetCurrentDirectoryW(bad.c_str()) != 0; },
        [&] { return platform::MoveFileW(kept.c_str(), bad.c_str()) != 0; },
        [&] { return platform::MoveFileW(bad.c_str(), kept.c_str()) != 0; },
        [&] { return platform::GetFullPathNameW(bad.c_str(), 64, buffer, nullptr) != 0; },
    };
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        EXPECT_FALSE(calls[i]()) << "call " << i;
        EXPECT_EQ(platform::GetLastError(), platform::errorInvalidName) << "call " << i;
    }
    EXPECT_TRUE(tree.has("kept"));
}

// A walk makes the same directory current for each of its entries; each call
// must still reach whatever the path names by then.
TEST(PosixCurrentDirectory, SamePathAgainReachesWhatThePathNamesNow) {
    ByteTree tree;
    tree.directory("a");
    tree.file("a/first");
    const std::u16string a = tree.in(u"a");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    fs::rename(tree.path() / "a", tree.path() / "moved");
    tree.directory("a");
    tree.file("a/second");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_NE(platform::GetFileAttributesW(u"second"), platform::invalidFileAttributes);
    EXPECT_EQ(platform::GetFileAttributesW(u"first"), platform::invalidFileAttributes);

    fs::remove_all(tree.path() / "a");
    EXPECT_FALSE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_EQ(platform::GetLastError(), platform::errorFileNotFound);
    EXPECT_FALSE(platform::SetCurrentDirectoryW(tree.in(u"a\xD800").c_str()));
    EXPECT_EQ(platform::GetLastError(), platform::errorInvalidName);
    EXPECT_TRUE(platform::SetCurrentDirectoryW(tree.in(u"moved").c_str()));
    EXPECT_NE(platform::GetFileAttributesW(u"first"), platform::invalidFileAttributes);
}

// --- Anchoring ---------------------------------------------------------------

// A directory swapped for a link while its search is open: what the walk does
// below the search's path still happens in the directory that it listed.
TEST(PosixAnchoredSearch, PathsBelowAnOpenSearchStayInTheDirectoryItListed) {
    ByteTree tree;
    tree.directory("a/sub");
    tree.directory("outside/sub");
    tree.file("a/sub/inner");
    tree.file("a/mine");
    tree.file("outside/sub/foreign");
    tree.file("outside/theirs");
    const std::u16string a = tree.in(u"a");
    platform::FindData data;
    platform::Handle search = platform::FindFirstFileW((a + u"/*").c_str(), &data);
    ASSERT_NE(search, platform::invalidHandleValue);
    fs::rename(tree.path() / "a", tree.path() / "a.real");
    fs::create_directory_symlink("outside", tree.path() / "a");

    ASSERT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_NE(platform::GetFileAttributesW(u"mine"), platform::invalidFileAttributes);
    EXPECT_EQ(platform::GetFileAttributesW((a + u"/theirs").c_str()),
              platform::invalidFileAttributes);
    EXPECT_EQ(namesOf(findAll(a + u"/sub/*")),
              (std::vector<std::u16string>{u".", u"..", u"inner"}));

    // Its subdirectory swapped too: never entered through the link.
    fs::rename(tree.path() / "a.real" / "sub", tree.path() / "a.real" / "sub.real");
    fs::create_directory_symlink(tree.path() / "outside" / "sub", tree.path() / "a.real" / "sub");
    EXPECT_EQ(platform::GetFileAttributesW((a + u"/sub").c_str()), reparsePoint | directory);
    Dword error = 0;
    EXPECT_TRUE(findAll(a + u"/sub/*", &error).empty());
    EXPECT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_NE(platform::GetFileAttributesW(u"sub.real"), platform::invalidFileAttributes);

    // Closed, the search anchors nothing: the path leads where it leads now.
    EXPECT_TRUE(platform::FindClose(search));
    EXPECT_NE(platform::GetFileAttributesW((a + u"/theirs").c_str()),
              platform::invalidFileAttributes);
    ASSERT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_NE(platform::GetFileAttributesW(u"theirs"), platform::invalidFileAttributes);
}

// The current directory's mark goes with its search: a later search whose
// state takes the freed one's place must not pass for current.
TEST(PosixAnchoredSearch, TheCurrentMarkGoesWhenItsSearchCloses) {
    ByteTree tree;
    platform::OpenDirectory directory;
    directory.name = tree.text();
    directory.length = directory.name.size();
    directory.handle.reset(::open(tree.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(directory.handle);
    platform::remember(directory);
    ASSERT_TRUE(platform::makeCurrent(directory));
    EXPECT_TRUE(platform::isCurrent(directory));
    platform::forget(directory);
    EXPECT_FALSE(platform::isCurrent(directory));
}

// Entries renamed or added after a search opened are not handed out again.
TEST(PosixAnchoredSearch, HandsOutTheEntriesThatWereThereWhenItOpened) {
    ByteTree tree;
    for (const char* name : {"a", "b", "c"}) {
        tree.file(name);
    }
    std::vector<std::u16string> names;
    platform::FindData data;
    platform::Handle search = platform::FindFirstFileW(tree.in(u"*").c_str(), &data);
    ASSERT_NE(search, platform::invalidHandleValue);
    for (const char* name : {"a", "b", "c"}) {
        fs::rename(tree.path() / name, tree.path() / (std::string(name) + "-renamed"));
    }
    tree.file("new");
    do {
        names.push_back(data.cFileName);
    } while (platform::FindNextFileW(search, &data));
    EXPECT_EQ(platform::GetLastError(), platform::errorNoMoreFiles);
    platform::FindClose(search);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u".", u"..", u"a", u"b", u"c"}));
}

// --- Moving --------------------------------------------------------------------

TEST(PosixMove, TwoSpellingsOfOneEntryAreTheSameNameButHardLinksAreNot) {
    ByteTree tree;
    tree.file("one", "1");
    fs::create_hard_link(tree.path() / "one", tree.path() / "other");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
    EXPECT_FALSE(platform::MoveFileW(u"one", u"other"));
    EXPECT_EQ(platform::GetLastError(), platform::errorAlreadyExists);

    tree.file("single", "s");
    EXPECT_TRUE(platform::MoveFileW(u"single", u"./single"));
    EXPECT_EQ(tree.contentsOf("single"), "s");

    // A name that stays is there as long as the entry is, even a link that
    // leads nowhere; once it is gone, the move fails.
    fs::create_symlink("nowhere", tree.path() / "dangling");
    EXPECT_TRUE(platform::MoveFileW(u"dangling", u"dangling"));
    EXPECT_FALSE(platform::MoveFileW(u"gone", u"gone"));
    EXPECT_EQ(platform::GetLastError(), platform::errorFileNotFound);
}

TEST(PosixMove, LinkIsMovedAsItself) {
    ByteTree tree;
    tree.directory("target");
    fs::create_directory_symlink("target", tree.path() / "link");
    ASSERT_TRUE(platform::MoveFileW(tree.in(u"link").c_str(), tree.in(u"moved").c_str()));
    EXPECT_TRUE(fs::is_symlink(tree.path() / "moved"));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(tree.path() / "target")));
}

class PosixMoveByPlaceholder : public testing::Test {
protected:
    bool move(const std::string& from, const std::string& to) {
        return platform::posix::moveByPlaceholder((tree.path() / from).native(),
                                                  (tree.path() / to).native());
    }

    ByteTree tree;
};

TEST_F(PosixMoveByPlaceholder, MovesEveryKindOfEntry) {
    tree.file("file", "f");
    tree.directory("dir");
    tree.file("dir/inside", "i");
    fs::create_symlink("dir", tree.path() / "link");
    ASSERT_TRUE(move("file", "file2"));
    ASSERT_TRUE(move("dir", "dir2"));
    ASSERT_TRUE(move("link", "link2"));
    EXPECT_EQ(tree.contentsOf("file2"), "f");
    EXPECT_EQ(tree.contentsOf("dir2/inside"), "i");
    EXPECT_TRUE(fs::is_symlink(tree.path() / "link2"));
    for (const char* gone : {"file", "dir", "link"}) {
        EXPECT_FALSE(tree.has(gone)) << gone;
    }
}

// Some network and FUSE file systems answer renameat2 with EINVAL: MoveFileW
// then takes the placeholder's way, and still never replaces.
TEST_F(PosixMoveByPlaceholder, IsWhatMoveFileWTakesWhereTheFileSystemLacksNoReplace) {
    tree.file("a", "a");
    tree.file("b", "b");
    const auto previous = platform::posix::installNoReplaceRename([](const char*, const char*) {
        errno = EINVAL;
        return -1;
    });
    EXPECT_TRUE(platform::MoveFileW(tree.in(u"a").c_str(), tree.in(u"c").c_str()));
    EXPECT_FALSE(platform::MoveFileW(tree.in(u"c").c_str(), tree.in(u"b").c_str()));
    EXPECT_EQ(platform::GetLastError(), platform::errorAlreadyExists);
    platform::posix::installNoReplaceRename(previous);
    EXPECT_FALSE(tree.has("a"));
    EXPECT_EQ(tree.contentsOf("c"), "a");
    EXPECT_EQ(tree.contentsOf("b"), "b");
}

TEST_F(PosixMoveByPlaceholder, NeverReplacesAndLeavesNoPlaceholderBehind) {
    tree.file("a", "a");
    tree.file("b", "b");
    tree.directory("empty");
    tree.directory("dir");
    tree.file("dir/inside", "i");
    fs::create_symlink("nowhere", tree.path() / "dangling");
    struct Case {
        std::string from;
        std::string to;
        Dword error;
    };
    const Case cases[] = {
        {"a", "b", platform::errorAlreadyExists},
        {"a", "empty", platform::errorAlreadyExists},
        {"dir", "empty", platform::errorAlreadyExists},
        {"a", "dangling", platform::errorAlreadyExists},
        {"absent", "c", platform::errorFileNotFound},
        {"a", "nowhere/c", platform::errorPathNotFound},
        // The placeholder can be made, the rename cannot: into itself.
        {"dir", "dir/sub", platform::errorInvalidParameter},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(move(c.from, c.to)) << c.from << " -> " << c.to;
        EXPECT_EQ(platform::GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(tree.contentsOf("a"), "a");
    EXPECT_EQ(tree.contentsOf("b"), "b");
    EXPECT_TRUE(fs::is_empty(tree.path() / "empty"));
    EXPECT_FALSE(tree.has("dir/sub"));
    EXPECT_FALSE(tree.has("c"));
    EXPECT_TRUE(fs::is_symlink(tree.path() / "dangling"));
}

// --- Searching -----------------------------------------------------------------

TEST(PosixFind, ThousandsOfSearchesStayOpenAtOnce) {
    constexpr int count = 3000;
    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < static_cast<rlim_t>(count + 100)) {
        GTEST_SKIP() << "the hard limit allows only " << limit.rlim_max << " open files";
    }
    ByteTree tree;
    tree.file("entry");
    std::vector<platform::Handle> searches;
    platform::FindData data;
    for (int i = 0; i < count; ++i) {
        platform::Handle search = platform::FindFirstFileW(tree.in(u"entry").c_str(), &data);
        if (search == platform::invalidHandleValue) {
            ADD_FAILURE() << "search " << i << " failed with " << platform::GetLastError();
            break;
        }
        searches.push_back(search);
    }
    for (platform::Handle search : searches) {
        platform::FindClose(search);
    }
}

// --- Files opened as themselves ------------------------------------------------

TEST(PosixOpenAsItself, ALinkIsOpenedAsItselfAndNeverHeldAsADirectory) {
    ByteTree tree;
    tree.directory("target");
    fs::create_directory_symlink("target", tree.path() / "link");
    ASSERT_EQ(::mkfifo((tree.path() / "fifo").c_str(), 0600), 0);
    const Dword all = platform::fileShareRead | platform::fileShareWrite;
    auto attributesOf = [&](const std::u16string& name, Dword flags) {
        const platform::Handle file =
            platform::CreateFileW(tree.in(name).c_str(), platform::fileReadAttributes, all,
                                  platform::openExisting, flags);
        platform::ByHandleFileInformation information;
        const bool told = platform::GetFileInformationByHandle(file, &information);
        platform::CloseHandle(file);
        return told ? information.dwFileAttributes : platform::invalidFileAttributes;
    };
    EXPECT_EQ(attributesOf(u"link", platform::fileFlagOpenReparsePoint), reparsePoint);
    EXPECT_EQ(attributesOf(u"link", platform::fileFlagBackupSemantics), directory);

    const platform::Handle parent = platform::CreateFileW(
        tree.text().c_str(), platform::fileListDirectory, all, platform::openExisting);
    ASSERT_NE(parent, platform::invalidHandleValue);
    auto holds = [&](Dword flags) {
        const platform::Handle held =
            platform::CreateFileW(tree.in(u"link").c_str(), platform::fileListDirectory, all,
                                  platform::openExisting, flags);
        platform::CloseHandle(held);
        return held != platform::invalidHandleValue;
    };
    EXPECT_FALSE(holds(platform::fileFlagOpenReparsePoint));
    EXPECT_TRUE(holds(0));
    platform::CloseHandle(parent);

    const platform::Handle fifo = platform::CreateFileW(
        tree.in(u"fifo").c_str(), platform::genericRead, all, platform::openExisting);
    EXPECT_EQ(platform::GetFileType(fifo), platform::fileTypePipe);
    platform::CloseHandle(fifo);
    EXPECT_EQ(platform::CreateFileW(tree.in(u"link").c_str(), platform::genericRead, all,
                                    platform::openExisting, platform::fileFlagOpenReparsePoint),
              platform::invalidHandleValue);
}

// The system gives a removed file's inode to the next file it makes; the
// birth time tells the two apart.
TEST(PosixOpenAsItself, AFileMadeWhereAnotherWasRemovedIsAnotherEntry) {
    ByteTree tree;
    tree.file("b", "b");
    auto identity = [&] {
        const platform::Handle file =
            platform::CreateFileW(tree.in(u"b").c_str(), platform::fileReadAttributes, 0,
                                  platform::openExisting, platform::fileFlagOpenReparsePoint);
        platform::ByHandleFileInformation information;
        EXPECT_TRUE(platform::GetFileInformationByHandle(file, &information));
        platform::CloseHandle(file);
        return std::tuple(information.nFileIndexLow, information.nFileIndexHigh,
                          information.ftCreationTime.dwLowDateTime,
                          information.ftCreationTime.dwHighDateTime);
    };
    const auto before = identity();
    fs::remove(tree.path() / "b");
    tree.file("b", "b again");
    EXPECT_NE(identity(), before);
}

}  // namespace
