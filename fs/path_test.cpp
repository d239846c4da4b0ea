// The path helpers as tables, with the Windows and the POSIX reading of a name
// side by side.
#include "fs/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrel {
namespace {

struct PathCase {
    std::u16string path;
    char16_t separator;
    std::u16string withTrailing;
    std::u16string withoutTrailing;
    std::u16string fileName;
    std::u16string parent;
};

TEST(PathHelpers, FollowTheSeparatorRule) {
    const PathCase cases[] = {
        {u"", u'\\', u"", u"", u"", u""},
        {u"dir", u'\\', u"dir\\", u"dir", u"dir", u""},
        {u"C:\\dir\\file.txt", u'\\', u"C:\\dir\\file.txt\\", u"C:\\dir\\file.txt", u"file.txt",
         u"C:\\dir"},
        {u"C:\\dir\\", u'\\', u"C:\\dir\\", u"C:\\dir", u"dir", u"C:\\"},
        {u"a/b", u'/', u"a/b/", u"a/b", u"b", u"a"},
        {u"a/b/c/", u'/', u"a/b/c/", u"a/b/c", u"c", u"a/b"},
        {u"C:\\", u'\\', u"C:\\", u"C:\\", u"C:\\", u""},
        {u"C:/", u'/', u"C:/", u"C:/", u"C:/", u""},
        {u"1:\\", u'\\', u"1:\\", u"1:\\", u"1:\\", u""},
        {u"C:", u'\\', u"C:\\", u"C:", u"C:", u""},
        {u"C:\\dir/", u'\\', u"C:\\dir/\\", u"C:\\dir/", u"dir/", u"C:\\"},
        {u"a\\b/c", u'\\', u"a\\b/c\\", u"a\\b/c", u"b/c", u"a"},
        {u"dir\\\\", u'\\', u"dir\\\\", u"dir\\", u"", u"dir"},
        {u"C:\\\\", u'\\', u"C:\\\\", u"C:\\", u"C:\\", u""},
        {u"\\", u'\\', u"\\", u"", u"", u""},
        {u"\\\\server\\share\\", u'\\', u"\\\\server\\share\\", u"\\\\server\\share", u"share",
         u"\\\\server"},
        {u"/x", u'/', u"/x/", u"/x", u"x", u"/"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.path));
        EXPECT_EQ(separatorOf(c.path), c.separator);
        EXPECT_EQ(withTrailingSeparator(c.path), c.withTrailing);
        EXPECT_EQ(withoutTrailingSeparator(c.path), c.withoutTrailing);
        EXPECT_EQ(fileNameOf(c.path), c.fileName);
        EXPECT_EQ(parentOf(c.path), c.parent);
    }
}

// Each row: a name, and what it gives while the directory is current, on
// Windows and on POSIX (where a colon is an ordinary character and a name
// that starts with a separator is absolute).
TEST(ResolvedIn, GivesWhatANameMeansInThatDirectory) {
    struct Case {
        std::u16string directory;
        std::u16string path;
        std::u16string windows;
        std::u16string posix;
    } const cases[] = {
        {u"C:\\w\\d", u"x.txt", u"C:\\w\\d\\x.txt", u"C:\\w\\d\\x.txt"},
        {u"C:\\w\\d", u"c:x.txt", u"C:\\w\\d\\x.txt", u"C:\\w\\d\\c:x.txt"},
        {u"C:\\w\\d", u"C:", u"C:\\w\\d", u"C:\\w\\d\\C:"},
        {u"C:\\w\\d", u"\\x.txt", u"C:\\x.txt", u"\\x.txt"},
        {u"C:\\w\\d", u"D:x.txt", u"D:x.txt", u"C:\\w\\d\\D:x.txt"},
        {u"C:\\w\\d", u"C:\\x.txt", u"C:\\x.txt", u"C:\\w\\d\\C:\\x.txt"},
        {u"C:\\", u"x", u"C:\\x", u"C:\\x"},
        {u"\\\\srv\\share\\d", u"\\x", u"\\\\srv\\share\\x", u"\\x"},
        {u"\\\\srv\\share\\d", u"\\\\other\\s", u"\\\\other\\s", u"\\\\other\\s"},
        {u"/home/me", u"a/b", u"/home/me/a/b", u"/home/me/a/b"},
        {u"/home/me", u"/etc", u"/etc", u"/etc"},
        {u"/home/me", u"", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.directory + u" | " + c.path));
#if defined(_WIN32)
        EXPECT_EQ(resolvedIn(c.directory, c.path), c.windows);
#else
        EXPECT_EQ(resolvedIn(c.directory, c.path), c.posix);
#endif
    }
}

TEST(CurrentDirectory, FollowsTheProcessAsItMoves) {
    namespace fs = std::filesystem;
    const fs::path start = fs::current_path();
    fs::current_path(fs::temp_directory_path());
    const std::u16string seen = currentDirectory();
    const std::u16string expected = fs::current_path().u16string();
    fs::current_path(start);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(currentDirectory(), start.u16string());
}

}  // namespace
}  // namespace kestrel
