// The file-system services against real trees in a temporary folder. Every
// case here holds on Windows and on POSIX alike; what only one of them can
// express (links, names that are not UTF-8) is tested beside its backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/find_all.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::Dword;
using platform::test::findAll;
using platform::test::Found;
using platform::test::namesOf;
using testsupport::TempDir;

// A path that a call must refuse, and the last error that it must leave.
struct PathError {
    std::u16string path;
    Dword error;
};

std::u16string withSlashes(std::u16string text) {
    std::replace(text.begin(), text.end(), u'\\', u'/');
    return text;
}

std::u16string fullPathOf(const std::u16string& path, char16_t** filePart = nullptr) {
    std::u16string buffer(0x8000, u'\0');
    Dword length = platform::GetFullPathNameW(path.c_str(), static_cast<Dword>(buffer.size()),
                                              buffer.data(), filePart);
    EXPECT_NE(length, 0u) << "for " << testing::PrintToString(path);
    buffer.resize(length);
    return buffer;
}

std::u16string currentDirectory() {
    std::u16string buffer(0x8000, u'\0');
    buffer.resize(platform::GetCurrentDirectoryW(static_cast<Dword>(buffer.size()), buffer.data()));
    return buffer;
}

// --- Searching ---------------------------------------------------------------

class PlatformFind : public testing::Test {
protected:
    void SetUp() override {
        tree.file(u"Alpha.txt");
        tree.file(u"beta.TXT");
        tree.file(u"gamma.log");
        tree.file(u"readme");
        tree.directory(u"sub");
        tree.file(u"sub/inner.txt");
    }

    TempDir tree;
};

TEST_F(PlatformFind, PatternsMatchNamesWithoutRegardToCase) {
    using Names = std::vector<std::u16string>;
    const Names everything = {u".",         u"..",     u"Alpha.txt", u"beta.TXT",
                              u"gamma.log", u"readme", u"sub"};
    struct Case {
        std::u16string pattern;
        Names expected;
    };
    const Case cases[] = {
        {u"*", everything},
        {u"*.*", everything},
        {u"*.txt", {u"Alpha.txt", u"beta.TXT"}},
        {u"*.TXT", {u"Alpha.txt", u"beta.TXT"}},
        {u"ALPHA.TXT", {u"Alpha.txt"}},
        {u"?eta.*", {u"beta.TXT"}},
        {u"s?b", {u"sub"}},
        {u"g*g", {u"gamma.log"}},
        {u"*m*", {u"gamma.log", u"readme"}},
        {u"*a*a*", {u"Alpha.txt", u"gamma.log"}},
        {u"a*h*t", {u"Alpha.txt"}},
        {u"readme.*", {u"readme"}},
    };
    for (const Case& c : cases) {
        for (char16_t separator : {u'\\', u'/'}) {
            std::u16string pattern = tree.text() + separator + c.pattern;
            EXPECT_EQ(namesOf(findAll(pattern)), c.expected) << testing::PrintToString(pattern);
        }
    }
}

TEST_F(PlatformFind, ReportsDirectoriesByTheirAttribute) {
    for (const Found& entry : findAll(tree.text(u"*"))) {
        bool isDirectory = entry.name == u"sub" || entry.name == u"." || entry.name == u"..";
        EXPECT_EQ((entry.attributes & platform::fileAttributeDirectory) != 0, isDirectory)
            << testing::PrintToString(entry.name);
        EXPECT_EQ(entry.attributes & platform::fileAttributeReparsePoint, 0u);
    }
}

TEST_F(PlatformFind, PatternWithoutDirectorySearchesTheCurrentDirectory) {
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
    EXPECT_EQ(namesOf(findAll(u"*.log")), std::vector<std::u16string>{u"gamma.log"});
    EXPECT_EQ(namesOf(findAll(u"sub\\*.txt")), std::vector<std::u16string>{u"inner.txt"});
    EXPECT_EQ(namesOf(findAll(u"sub/I*")), std::vector<std::u16string>{u"inner.txt"});
}

TEST_F(PlatformFind, FailsWithTheReasonWindowsGives) {
    const PathError cases[] = {
        {tree.text(u"*.none"), platform::errorFileNotFound},
        {tree.text(u"missing\\*"), platform::errorPathNotFound},
        {tree.text(u"missing/deeper/*"), platform::errorPathNotFound},
    };
    for (const PathError& c : cases) {
        Dword error = platform::errorSuccess;
        EXPECT_TRUE(findAll(c.path, &error).empty()) << testing::PrintToString(c.path);
        EXPECT_EQ(error, c.error) << testing::PrintToString(c.path);
    }
}

TEST_F(PlatformFind, EndedSearchKeepsSayingNoMoreFiles) {
    platform::FindData data;
    platform::Handle search = platform::FindFirstFileExW(tree.text(u"gamma.*").c_str(), &data);
    ASSERT_NE(search, platform::invalidHandleValue);
    EXPECT_EQ(std::u16string(data.cFileName), u"gamma.log");
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(platform::FindNextFileW(search, &data));
        EXPECT_EQ(platform::GetLastError(), platform::errorNoMoreFiles);
    }
    EXPECT_TRUE(platform::FindClose(search));
}

// --- Attributes ----------------------------------------------------------------

// The same answers by path, and below the open search of a walk, where the
// paths are resolved in the directory that the search holds.
TEST(PlatformFileAttributes, TellFilesFromDirectoriesAndMissingNames) {
    TempDir tree;
    tree.file(u"file.txt");
    tree.directory(u"dir");
    for (const bool anchored : {false, true}) {
        SCOPED_TRACE(anchored ? "below an open search" : "by path");
        platform::FindData found;
        const platform::Handle search =
            anchored ? platform::FindFirstFileW(tree.text(u"*").c_str(), &found)
                     : platform::invalidHandleValue;
        ASSERT_EQ(search != platform::invalidHandleValue, anchored);
        EXPECT_EQ(platform::GetFileAttributesW(tree.text(u"dir").c_str()) &
                      (platform::fileAttributeDirectory | platform::fileAttributeReparsePoint),
                  platform::fileAttributeDirectory);
        EXPECT_NE(platform::GetFileAttributesW(tree.text(u"dir\\").c_str()) &
                      platform::fileAttributeDirectory,
                  0u);

        Dword file = platform::GetFileAttributesW(tree.text(u"file.txt").c_str());
        ASSERT_NE(file, platform::invalidFileAttributes);
        EXPECT_EQ(file & (platform::fileAttributeDirectory | platform::fileAttributeReparsePoint),
                  0u);

        const PathError missing[] = {
            {tree.text(u"none.txt"), platform::errorFileNotFound},
            {tree.text(u"none\\file.txt"), platform::errorPathNotFound},
        };
        for (const PathError& m : missing) {
            EXPECT_EQ(platform::GetFileAttributesW(m.path.c_str()),
                      platform::invalidFileAttributes);
            EXPECT_EQ(platform::GetLastError(), m.error) << testing::PrintToString(m.path);
        }
        // A file named as a directory names nothing.
        EXPECT_EQ(platform::GetFileAttributesW(tree.text(u"file.txt\\").c_str()),
                  platform::invalidFileAttributes);
        if (anchored) {
            platform::FindClose(search);
        }
    }
}

// The reason for a failure, as the system words it in the user's language:
// words (Latin letters, or those of another script), not a number, and each
// code its own.
TEST(PlatformErrorText, GivesTheSystemsWordsForACode) {
    const auto textOf = [](Dword code) {
        std::u16string text(512, u'\0');
        text.resize(platform::FormatMessageW(code, text.data(), static_cast<Dword>(text.size())));
        return text;
    };
    const std::u16string notFound = textOf(platform::errorFileNotFound);
    const std::u16string denied = textOf(platform::errorAccessDenied);
    EXPECT_TRUE(std::any_of(notFound.begin(), notFound.end(), [](char16_t c) {
        return ((c | 0x20) >= u'a' && (c | 0x20) <= u'z') || c >= 0x80;
    })) << testing::PrintToString(notFound);
    EXPECT_NE(notFound, denied);
    char16_t small[2] = {};
    EXPECT_EQ(platform::FormatMessageW(platform::errorFileNotFound, small, 2), 0u);
}

// --- Full paths and the current directory ---------------------------------------

TEST(PlatformFullPath, FoldsDotsAndSeparatorsAgainstTheCurrentDirectory) {
    TempDir tree;
    tree.directory(u"sub");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
    const std::u16string base = withSlashes(currentDirectory());
    ASSERT_TRUE(platform::SetCurrentDirectoryW(u"sub"));

    struct Case {
        std::u16string path;
        std::u16string expected;  // after base
        std::u16string filePart;  // empty: none
    };
    const Case cases[] = {
        {u"x", u"/sub/x", u"x"},
        {u"x\\y", u"/sub/x/y", u"y"},
        {u"x/y\\z", u"/sub/x/y/z", u"z"},
        {u"x\\\\y", u"/sub/x/y", u"y"},
        {u".", u"/sub", u"sub"},
        {u".\\", u"/sub/", u""},
        {u"x\\", u"/sub/x/", u""},
        {u"x\\.\\y", u"/sub/x/y", u"y"},
        {u"x\\y\\..", u"/sub/x", u"x"},
        {u"..\\x", u"/x", u"x"},
        {u"x\\..\\..\\y", u"/y", u"y"},
        {tree.text() + u"\\sub\\..\\x", u"/x", u"x"},
        {tree.text() + u"/sub/", u"/sub/", u""},
    };
    for (const Case& c : cases) {
        char16_t* filePart = nullptr;
        std::u16string full = fullPathOf(c.path, &filePart);
        EXPECT_EQ(withSlashes(full), base + c.expected) << testing::PrintToString(c.path);
        std::u16string part = filePart == nullptr ? u"" : filePart;
        EXPECT_EQ(part, c.filePart) << testing::PrintToString(c.path);
    }
}

TEST(PlatformFullPath, DotDotStopsAtTheRoot) {
    std::u16string root = fullPathOf(u"/");
    ASSERT_FALSE(root.empty());
    ASSERT_EQ(withSlashes(root).back(), u'/');
    EXPECT_EQ(fullPathOf(root + u"..\\..\\x"), root + u"x");
    EXPECT_EQ(fullPathOf(root + u".."), root);
}

TEST(PlatformFullPath, AskedWithTooSmallABufferGivesTheSizeNeeded) {
    std::u16string full = fullPathOf(u"name.txt");
    Dword needed = static_cast<Dword>(full.size() + 1);
    EXPECT_EQ(platform::GetFullPathNameW(u"name.txt", 0, nullptr, nullptr), needed);
    std::u16string buffer(full.size(), u'#');
    EXPECT_EQ(platform::GetFullPathNameW(u"name.txt", needed - 1, buffer.data(), nullptr), needed);
    EXPECT_EQ(buffer, std::u16string(full.size(), u'#')) << "nothing is written";
    buffer.resize(full.size() + 1);
    EXPECT_EQ(platform::GetFullPathNameW(u"name.txt", needed, buffer.data(), nullptr), needed - 1);
    EXPECT_EQ(buffer, full + u'\0');
}

TEST(PlatformFullPath, EmptyPathFails) {
    char16_t buffer[16];
    EXPECT_EQ(platform::GetFullPathNameW(u"", 16, buffer, nullptr), 0u);
}

TEST(PlatformCurrentDirectory, FollowsSetCurrentDirectoryAndHonoursTheBufferSize) {
    TempDir tree;
    tree.directory(u"work");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text(u"work").c_str()));
    std::u16string current = currentDirectory();
    EXPECT_EQ(withSlashes(current), withSlashes(fullPathOf(tree.text(u"work"))));

    Dword needed = static_cast<Dword>(current.size() + 1);
    EXPECT_EQ(platform::GetCurrentDirectoryW(0, nullptr), needed);
    std::u16string buffer(current.size(), u'#');
    EXPECT_EQ(platform::GetCurrentDirectoryW(needed - 1, buffer.data()), needed);

    EXPECT_FALSE(platform::SetCurrentDirectoryW(tree.text(u"none").c_str()));
    EXPECT_EQ(platform::GetLastError(), platform::errorFileNotFound);
    EXPECT_EQ(currentDirectory(), current);
}

// A walk makes the directory of an open search current for its entries, a
// child below it for the child's, then the directory again: each time the
// moves happen in the directory made current last.
TEST(PlatformCurrentDirectory, AnOpenSearchsDirectoryIsCurrentAgainAfterAChildBelowIt) {
    TempDir tree;
    tree.file(u"a/x");
    tree.file(u"a/sub/x");
    const std::u16string a = tree.text(u"a");
    platform::FindData data;
    const platform::Handle search = platform::FindFirstFileW(tree.text(u"a/*").c_str(), &data);
    ASSERT_NE(search, platform::invalidHandleValue);
    EXPECT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_TRUE(platform::SetCurrentDirectoryW(tree.text(u"a/sub").c_str()));
    EXPECT_TRUE(platform::SetCurrentDirectoryW(a.c_str()));
    EXPECT_TRUE(platform::MoveFileW(u"x", u"y"));
    platform::FindClose(search);
    EXPECT_TRUE(tree.exists(u"a/y"));
    EXPECT_TRUE(tree.exists(u"a/sub/x"));
}

// --- Moving ---------------------------------------------------------------------

class PlatformMove : public testing::Test {
protected:
    bool move(const std::u16string& from, const std::u16string& to) {
        return platform::MoveFileW(tree.text(from).c_str(), tree.text(to).c_str()) != 0;
    }

    // A file, and a directory with contents, for moves to take along.
    void fillTree() {
        tree.file(u"old.txt", "file");
        tree.directory(u"dir/inner");
        tree.file(u"dir/inner/leaf", "leaf");
    }

    TempDir tree;
};

TEST_F(PlatformMove, RenamesFilesAndDirectoriesWithTheirContents) {
    fillTree();
    ASSERT_TRUE(move(u"old.txt", u"new.txt"));
    ASSERT_TRUE(move(u"dir", u"moved"));
    EXPECT_FALSE(tree.exists(u"old.txt"));
    EXPECT_EQ(tree.content(u"new.txt"), "file");
    EXPECT_FALSE(tree.exists(u"dir"));
    EXPECT_EQ(tree.content(u"moved/inner/leaf"), "leaf");
}

TEST_F(PlatformMove, NeverReplacesAnExistingEntry) {
    struct Case {
        std::u16string from;
        std::u16string to;
    };
    tree.file(u"a.txt", "a");
    tree.file(u"b.txt", "b");
    tree.directory(u"empty");
    tree.directory(u"full");
    tree.file(u"full/kept", "kept");
    tree.directory(u"source");
    tree.file(u"source/mine", "mine");
    const Case cases[] = {
        {u"a.txt", u"b.txt"}, {u"a.txt", u"empty"}, {u"source", u"empty"},
        {u"source", u"full"}, {u"empty", u"full"},  {u"source", u"b.txt"},
    };
    for (const Case& c : cases) {
        std::string what = testing::PrintToString(c.from) + " -> " + testing::PrintToString(c.to);
        EXPECT_FALSE(move(c.from, c.to)) << what;
        EXPECT_EQ(platform::GetLastError(), platform::errorAlreadyExists) << what;
    }
    EXPECT_EQ(tree.content(u"a.txt"), "a");
    EXPECT_EQ(tree.content(u"b.txt"), "b");
    EXPECT_TRUE(fs::is_empty(tree.path() / "empty"));
    EXPECT_EQ(tree.content(u"full/kept"), "kept");
    EXPECT_EQ(tree.content(u"source/mine"), "mine");
}

TEST_F(PlatformMove, SameNameSucceedsWithoutTouchingTheEntry) {
    fillTree();
    EXPECT_TRUE(move(u"old.txt", u"old.txt"));
    EXPECT_TRUE(move(u"dir", u"dir"));
    EXPECT_EQ(tree.content(u"old.txt"), "file");
    EXPECT_EQ(tree.content(u"dir/inner/leaf"), "leaf");
}

TEST_F(PlatformMove, RelativeNamesResolveInTheCurrentDirectory) {
    tree.directory(u"here");
    tree.file(u"here/one", "1");
    tree.file(u"one", "outer");
    ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text(u"here").c_str()));
    ASSERT_TRUE(platform::MoveFileW(u"one", u"two"));
    EXPECT_EQ(tree.content(u"here/two"), "1");
    EXPECT_EQ(tree.content(u"one"), "outer");
}

TEST_F(PlatformMove, FailsOnMissingSourceOrTargetDirectory) {
    tree.file(u"present");
    struct Case {
        std::u16string from;
        std::u16string to;
        Dword error;
    };
    const Case cases[] = {
        {u"absent", u"target", platform::errorFileNotFound},
        {u"absent", u"absent", platform::errorFileNotFound},
        {u"present", u"nowhere\\target", platform::errorPathNotFound},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(move(c.from, c.to)) << testing::PrintToString(c.from);
        EXPECT_EQ(platform::GetLastError(), c.error) << testing::PrintToString(c.from);
    }
    EXPECT_TRUE(tree.exists(u"present"));
}

// --- Telling entries apart and holding directories -------------------------

constexpr Dword shareAll =
    platform::fileShareRead | platform::fileShareWrite | platform::fileShareDelete;
constexpr Dword asItself = platform::fileFlagOpenReparsePoint | platform::fileFlagBackupSemantics;

struct Identity {
    Dword attributes = 0;
    Dword volume = 0;
    Dword high = 0;
    Dword low = 0;
    Dword createdHigh = 0;
    Dword createdLow = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(platform::Handle handle) {
    platform::ByHandleFileInformation information;
    EXPECT_TRUE(platform::GetFileInformationByHandle(handle, &information));
    return {information.dwFileAttributes & platform::fileAttributeDirectory,
            information.dwVolumeSerialNumber,
            information.nFileIndexHigh,
            information.nFileIndexLow,
            information.ftCreationTime.dwHighDateTime,
            information.ftCreationTime.dwLowDateTime};
}

// What path names, opened only to be told apart.
Identity identityOf(const std::u16string& path, Dword flags = asItself) {
    const platform::Handle handle = platform::CreateFileW(
        path.c_str(), platform::fileReadAttributes, shareAll, platform::openExisting, flags);
    EXPECT_NE(handle, platform::invalidHandleValue) << testing::PrintToString(path);
    if (handle == platform::invalidHandleValue) {
        return {};
    }
    const Identity identity = identityOf(handle);
    platform::CloseHandle(handle);
    return identity;
}

platform::Handle hold(const std::u16string& path, Dword flags = 0) {
    return platform::CreateFileW(path.c_str(), platform::fileListDirectory, shareAll,
                                 platform::openExisting, flags);
}

TEST(PlatformFileIdentity, GoesWithTheEntryWhateverItsName) {
    TempDir tree;
    tree.file(u"a", "a");
    tree.file(u"b", "b");
    tree.directory(u"d");
    const Identity a = identityOf(tree.text(u"a"));
    EXPECT_EQ(identityOf(tree.text(u"a")), a);
    EXPECT_NE(identityOf(tree.text(u"b")), a);
    ASSERT_TRUE(platform::MoveFileW(tree.text(u"a").c_str(), tree.text(u"c").c_str()));
    EXPECT_EQ(identityOf(tree.text(u"c")), a);
    const Identity d = identityOf(tree.text(u"d"));
    EXPECT_EQ(d.attributes, platform::fileAttributeDirectory);
    // What changes inside a directory leaves the directory what it is.
    tree.file(u"d/new");
    ASSERT_TRUE(platform::MoveFileW(tree.text(u"d/new").c_str(), tree.text(u"d/newer").c_str()));
    const platform::Handle held = hold(tree.text(u"d"));
    ASSERT_NE(held, platform::invalidHandleValue);
    EXPECT_EQ(identityOf(held), d);
    EXPECT_EQ(platform::GetFileType(held), platform::fileTypeDisk);
    platform::CloseHandle(held);
}

// A directory swapped for another under its name: what is opened without
// following a link below it is opened in the directory that was held.
TEST(PlatformFileIdentity, EntriesBelowAHeldDirectoryAreOpenedInIt) {
    TempDir tree;
    tree.file(u"d/x", "held");
    tree.directory(u"d/sub");
    const Identity x = identityOf(tree.text(u"d/x"));
    const Identity sub = identityOf(tree.text(u"d/sub"));
    const platform::Handle held = hold(tree.text(u"d"));
    ASSERT_NE(held, platform::invalidHandleValue);
    std::u16string path(0x8000, u'\0');
    path.resize(
        platform::GetFinalPathNameByHandleW(held, path.data(), static_cast<Dword>(path.size())));
    EXPECT_TRUE(withSlashes(path).ends_with(withSlashes(tree.text(u"d"))))
        << testing::PrintToString(path);
    fs::rename(tree / u"d", tree / u"moved");
    tree.file(u"d/x", "swapped in");
    tree.directory(u"d/sub");

    EXPECT_EQ(identityOf(tree.text(u"d")), identityOf(held));
    EXPECT_EQ(identityOf(tree.text(u"d/x")), x);
    EXPECT_NE(identityOf(tree.text(u"d/x"), platform::fileFlagBackupSemantics), x);
    const platform::Handle below = hold(tree.text(u"d/sub"), platform::fileFlagOpenReparsePoint);
    ASSERT_NE(below, platform::invalidHandleValue);
    EXPECT_EQ(identityOf(below), sub);
    platform::CloseHandle(below);
    platform::CloseHandle(held);
}

TEST(PlatformFileType, TellsFilesFromDevices) {
    TempDir tree;
    tree.file(u"f");
    const struct {
        std::u16string path;
        Dword type;
    } cases[] = {
        {tree.text(u"f"), platform::fileTypeDisk},
        {platform::systemIsWindows ? u"NUL" : u"/dev/null", platform::fileTypeChar},
    };
    for (const auto& c : cases) {
        const platform::Handle file = platform::CreateFileW(c.path.c_str(), platform::genericRead,
                                                            shareAll, platform::openExisting);
        ASSERT_NE(file, platform::invalidHandleValue) << testing::PrintToString(c.path);
        EXPECT_EQ(platform::GetFileType(file), c.type) << testing::PrintToString(c.path);
        platform::CloseHandle(file);
    }
}

// Runs that append to one log take turns with a range that no data reaches.
TEST(PlatformFileLock, AnExclusiveLockWaitsUntilTheOtherHandleLetsGo) {
    TempDir tree;
    tree.file(u"log", "text");
    auto open = [&] {
        return platform::CreateFileW(
            tree.text(u"log").c_str(), platform::genericRead | platform::fileAppendData,
            platform::fileShareRead | platform::fileShareWrite, platform::openExisting);
    };
    const platform::Handle first = open();
    const platform::Handle second = open();
    ASSERT_NE(first, platform::invalidHandleValue);
    ASSERT_NE(second, platform::invalidHandleValue);
    platform::Overlapped range{0xFFFFFFFE, 0x7FFFFFFF};
    ASSERT_TRUE(platform::LockFileEx(first, platform::lockfileExclusiveLock, 1, 0, &range));
    std::atomic<bool> taken = false;
    std::thread other([&] {
        platform::Overlapped same = range;
        taken = platform::LockFileEx(second, platform::lockfileExclusiveLock, 1, 0, &same) != 0;
        platform::UnlockFileEx(second, 1, 0, &same);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(taken);
    EXPECT_TRUE(platform::UnlockFileEx(first, 1, 0, &range));
    other.join();
    EXPECT_TRUE(taken);
    char text[8] = {};
    Dword read = 0;
    EXPECT_TRUE(platform::ReadFile(first, text, sizeof text, &read));
    EXPECT_EQ(std::string(text, read), "text");
    platform::CloseHandle(first);
    platform::CloseHandle(second);
}

}  // namespace
