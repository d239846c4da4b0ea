// Whole runs of the application on temporary trees, with the console recorded.
#include "renamer/ansifold.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/support/recording_console.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::RecordingConsole;
using testsupport::TempDir;
namespace fs = std::filesystem;

const std::u16string failed = u"->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: ";

class AnsifoldRun : public testing::Test {
protected:
    // Runs the application on files from the tree's directory.
    bool run(std::vector<std::u16string> files) {
        fs::current_path(tree.path());
        kestrel::ArgumentSet arguments;
        arguments.files = std::move(files);
        ansifold::Ansifold application;
        return application.run(arguments);
    }

    TempDir tree;
    RecordingConsole device;
};

TEST_F(AnsifoldRun, WithoutFileArgumentsSaysSoAndFails) {
    EXPECT_FALSE(run({}));
    EXPECT_EQ(device.output,
              u"\u5F15\u6570\u304C\u4E0D\u8DB3\u3057\u3066\u3044\u307E\u3059\u3002\n");
}

TEST_F(AnsifoldRun, RenamesChildrenBeforeTheirDirectoryAndArgumentsInOrder) {
    tree.file(u"photos/trip/a.jpg");
    tree.file(u"notes.txt");
    EXPECT_TRUE(run({u"photos", u"notes.txt", u"missing.txt"}));
    EXPECT_EQ(device.output,
              u"a.jpg\n->a.jpg\ntrip\n->trip\nphotos\n->photos\nnotes.txt\n->notes.txt\n");
    EXPECT_EQ(fs::current_path(), tree.path());
}

TEST_F(AnsifoldRun, SkipsPatternsAndEntriesThatDoNotExist) {
    tree.file(u"a.txt");
    EXPECT_TRUE(run({u"*.txt", u"a?.txt", u"gone", u"a.txt"}));
    EXPECT_EQ(device.output, u"a.txt\n->a.txt\n");
}

// The empty text has no full path on either platform.
TEST_F(AnsifoldRun, AnArgumentWithoutAFullPathShowsTwoBoxesAndTheRunGoesOn) {
    tree.file(u"a.txt");
    EXPECT_TRUE(run({u"", u"a.txt"}));
    ASSERT_EQ(device.boxes.size(), 2u);
    EXPECT_EQ(device.boxes[0].text, u"[-1]");
    EXPECT_EQ(device.boxes[1].text.substr(0, 4), u"err:");
    EXPECT_NE(device.boxes[1].text, u"err:0");
    EXPECT_EQ(device.output, u"a.txt\n->a.txt\n");
}

TEST_F(AnsifoldRun, ATrailingSeparatorNamesTheDirectoryItself) {
    tree.file(u"docs/c.txt");
    EXPECT_TRUE(run({u"docs" + std::u16string(1, testsupport::separator)}));
    EXPECT_EQ(device.output, u"c.txt\n->c.txt\ndocs\n->docs\n");
}

TEST_F(AnsifoldRun, AnEmptyDirectoryPrintsOnlyItsOwnLines) {
    tree.directory(u"empty");
    EXPECT_TRUE(run({u"empty"}));
    EXPECT_EQ(device.output, u"empty\n->empty\n");
}

TEST_F(AnsifoldRun, RenamesAnArgumentInsideItsOwnDirectory) {
    tree.file(u"sub/\U0001F600.txt", "x");
    tree.file(u"__.txt", "outer");
    EXPECT_TRUE(run({tree.text(u"sub/\U0001F600.txt")}));
    EXPECT_EQ(device.output, u"\U0001F600.txt\n->__.txt\n");
    EXPECT_EQ(tree.content(u"sub/__.txt"), "x");
    EXPECT_EQ(tree.content(u"__.txt"), "outer");
}

TEST_F(AnsifoldRun, TheSameEntryTwiceIsSkippedOnceItsNameChanged) {
    tree.file(u"\U0001F600.txt");
    EXPECT_TRUE(run({u"\U0001F600.txt", u"\U0001F600.txt"}));
    EXPECT_EQ(device.output, u"\U0001F600.txt\n->__.txt\n");
}

// Once the directory that was current is renamed away, every later argument
// resolves as it would with that directory current: names relative to it,
// or to its drive, name nothing any more, and are not taken from whatever
// directory is current instead; absolute and rooted names still work.
TEST_F(AnsifoldRun, ArgumentsNeverResolveAgainstAnotherDirectory) {
    tree.file(u"\U0001F600dir/inside.txt");
    tree.file(u"x.txt", "parent's");
    tree.file(u"rooted\U0001F600.txt");
#if defined(_WIN32)
    const std::u16string drive = tree.text().substr(0, 2);
    const std::u16string rooted = tree.text(u"rooted\U0001F600.txt").substr(2);
#else
    const std::u16string drive = u"C:";  // an ordinary name on POSIX
    tree.file(u"C:x.txt", "parent's");
    const std::u16string rooted = tree.text(u"rooted\U0001F600.txt");
#endif
    fs::current_path(tree.path() / u"\U0001F600dir");
    kestrel::ArgumentSet arguments;
    arguments.files = {u".", u"x.txt", drive + u"x.txt", drive, rooted};
    ansifold::Ansifold application;
    EXPECT_TRUE(application.run(arguments));
    EXPECT_EQ(device.output,
              u"inside.txt\n->inside.txt\n\U0001F600dir\n->__dir\n"
              u"rooted\U0001F600.txt\n->rooted__.txt\n");
    EXPECT_EQ(tree.content(u"x.txt"), "parent's");
}

TEST_F(AnsifoldRun, ALinkIsRenamedButNeverWalkedThrough) {
    tree.directory(u"loop");
    std::error_code error;
    fs::create_directory_symlink(u"..", tree.path() / u"loop" / u"back", error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    EXPECT_TRUE(run({u"loop"}));
    EXPECT_EQ(device.output, u"back\n->back\nloop\n->loop\n");
}

}  // namespace
