// What only the Windows backend's file services meet: links, which Wine
// cannot make, so those cases run on Windows only; and paths past MAX_PATH.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/open_directories.h"
#include "platform/platform.h"
#include "platform/windows/directories.h"
#include "renamer/rename_tree.h"
#include "tests/support/recording_console.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::Dword;

constexpr Dword linkToDirectory =
    platform::fileAttributeDirectory | platform::fileAttributeReparsePoint;

bool makeDirectoryLink(const std::u16string& link, const std::u16string& target) {
    const auto wide = [](const std::u16string& text) {
        return reinterpret_cast<const wchar_t*>(text.c_str());
    };
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    // Wine reports success without making anything.
    return ::CreateSymbolicLinkW(wide(link), wide(target), flags) &&
           ::GetFileAttributesW(wide(link)) != INVALID_FILE_ATTRIBUTES;
}

TEST(DirectoryLink, IsALinkByNameAndInItsFindRecord) {
    testsupport::TempDir tree;
    tree.directory(u"target");
    const std::u16string link = tree.text(u"link");
    if (!makeDirectoryLink(link, tree.text(u"target"))) {
        GTEST_SKIP() << "no symbolic links here";
    }

    EXPECT_EQ(platform::GetFileAttributesW(link.c_str()) & linkToDirectory, linkToDirectory);

    platform::FindData found;
    const std::u16string pattern = tree.text(u"*");
    const platform::Handle search = platform::FindFirstFileExW(pattern.c_str(), &found);
    ASSERT_NE(search, platform::invalidHandleValue);
    bool listed = false;
    do {
        if (std::u16string(found.cFileName) == u"link") {
            listed = true;
            EXPECT_EQ(found.dwFileAttributes & linkToDirectory, linkToDirectory);
        }
    } while (platform::FindNextFileW(search, &found));
    platform::FindClose(search);
    EXPECT_TRUE(listed);
}

// The current directory's mark goes with its search, and the directory stays
// current: the current directory takes over the search's handle.
TEST(WindowsAnchoredSearch, TheCurrentMarkGoesWhenItsSearchCloses) {
    testsupport::TempDir tree;
    const std::u16string saved = tree.text();
    platform::OpenDirectory directory;
    directory.name = tree.text();
    directory.length = directory.name.size();
    directory.handle.reset(::CreateFileW(
        reinterpret_cast<const wchar_t*>(saved.c_str()), FILE_LIST_DIRECTORY | SYNCHRONIZE,
        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_NE(directory.handle.get(), INVALID_HANDLE_VALUE);
    const HANDLE handle = directory.handle.get();
    platform::remember(directory);
    ASSERT_TRUE(platform::makeCurrent(directory));
    EXPECT_TRUE(platform::isCurrent(directory));
    platform::forget(directory);
    EXPECT_FALSE(platform::isCurrent(directory));
    EXPECT_EQ(platform::windows::currentHandle(), handle);
    EXPECT_TRUE(platform::SetCurrentDirectoryW(saved.c_str()));
}

std::vector<std::wstring> limitedPaths;

void recordLimitedPaths(std::wstring_view path) {
    limitedPaths.emplace_back(path);
}

// MAX_PATH counts the terminator, and the process's current directory keeps
// a trailing separator besides: the longest path that each takes as it is
// is one unit shorter than the first that goes another way. Wine holds to
// neither limit, so only the paths given to the limited calls show it.
TEST(LimitedCalls, TakeAPathAsItIsOnlyWhereItFits) {
    testsupport::TempDir tree;
    const std::u16string base = tree.text() + u'\\';
    ASSERT_LT(base.size(), 200u);
    struct Case {
        bool directory;  // made current, else a path asked about
        std::size_t units;
        bool asIs;
    };
    const Case cases[] = {
        {false, 259, true},
        {false, 260, false},
        {true, 258, true},
        {true, 259, false},
    };
    for (const Case& c : cases) {
        const bool directory = c.directory;
        const std::u16string name(c.units - base.size(), directory ? u'd' : u'p');
        const std::u16string path = base + name;
        ASSERT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
        if (directory) {
            const std::wstring prefixed = L"\\\\?\\" + std::wstring(path.begin(), path.end());
            ASSERT_TRUE(::CreateDirectoryW(prefixed.c_str(), nullptr));
        }
        limitedPaths.clear();
        platform::windows::observeLimitedPaths(recordLimitedPaths);
        // The directory by its relative name: only the process's own current
        // directory takes its full path.
        if (directory) {
            EXPECT_TRUE(platform::SetCurrentDirectoryW(name.c_str())) << c.units;
        } else {
            platform::GetFileAttributesW(path.c_str());
        }
        platform::windows::observeLimitedPaths(nullptr);
        const bool takenAsIs =
            std::ranges::count(limitedPaths, std::wstring(path.begin(), path.end())) > 0;
        EXPECT_EQ(takenAsIs, c.asIs) << (directory ? "directory" : "path") << " of " << c.units;
    }
    EXPECT_TRUE(platform::SetCurrentDirectoryW(tree.text().c_str()));
}

std::size_t longestLimitedPath = 0;

void recordLimitedPath(std::wstring_view path) {
    if (!path.starts_with(L"\\\\?\\")) {
        longestLimitedPath = std::max(longestLimitedPath, path.size());
    }
}

// 25 levels of 40 units: paths past 1,000 units, which the walk renames
// whole without giving one of them to a call that MAX_PATH limits.
TEST(DeepTree, IsRenamedWithoutALongPathToALimitedCall) {
    testsupport::TempDir tree;
    std::u16string path = tree.text();
    std::u16string top;
    std::filesystem::path renamed = tree.path();
    for (int level = 0; level < 25; ++level) {
        const std::u16string digits{static_cast<char16_t>(u'0' + level / 10),
                                    static_cast<char16_t>(u'0' + level % 10)};
        const std::u16string name = digits + u"\U0001F600" + std::u16string(36, u'x');
        path += u'\\' + name;
        top = level == 0 ? path : top;
        renamed /= level == 0 ? name : digits + u"__" + std::u16string(36, u'x');
    }
    std::filesystem::create_directories(path);
    tree.file(path.substr(tree.text().size() + 1) + u"\\f\U0001F600");
    const std::u16string saved = tree.text();

    testsupport::RecordingConsole console;
    longestLimitedPath = 0;
    platform::windows::observeLimitedPaths(recordLimitedPath);
    ansifold::renameTree(top);
    platform::windows::observeLimitedPaths(nullptr);
    EXPECT_TRUE(platform::SetCurrentDirectoryW(saved.c_str()));

    EXPECT_GT(path.size(), 1000u);
    EXPECT_LT(longestLimitedPath, std::size_t{MAX_PATH});
    EXPECT_TRUE(std::filesystem::exists(renamed / u"f__"));
}

}  // namespace
