// A symbolic link to a directory must reach the layers above as a link
// however it is looked at, or the tree walk would go through it. Wine cannot
// make such links, so these cases run on Windows only.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
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

}  // namespace
