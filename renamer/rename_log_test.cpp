// The log's text form: every name comes back exactly, runs that share a log
// and records cut short never disturb each other, and whatever the writer
// would not write is refused at its first wrong line. And the writer: one
// first line, and runs that append at once.
#include "renamer/rename_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/temp_dir.h"

namespace {

using ansifold::EntryIdentity;
using ansifold::LogContents;
using ansifold::LogReading;
using ansifold::parseLog;

constexpr std::string_view run1 = "00000001.0000000000000001";
constexpr std::string_view run2 = "00000002.0000000000000002";
constexpr EntryIdentity dirId{0xFE01, 0x10, 0x01DA2B3C4D5E6F70};
constexpr EntryIdentity fileId{0xFE01, 0x1A2B3C, 0x01DA2B3C4D5E6F71};

// A full path as this system writes one.
const std::u16string root = platform::systemIsWindows ? u"C:\\d" : u"/d";

std::string logOf(const std::string& records) {
    return std::string(ansifold::logFirstLine) + records;
}

// A run's anchor, root, and a directory "sub" below it: directories 1 and 2.
std::string directoriesOf(std::string_view run) {
    return ansifold::anchorLine(run, 1, dirId, root) +
           ansifold::directoryLine(run, 2, 1, dirId, u"sub");
}

std::string rename(std::string_view run, std::size_t number, std::u16string_view from,
                   std::u16string_view to, std::size_t directory = 2) {
    return ansifold::renameLine(run, number, directory, fileId, from, to);
}

// A line whose write ended count bytes short.
std::string cut(const std::string& line, std::size_t count) {
    return line.substr(0, line.size() - count);
}

using Renames = std::vector<std::pair<std::u16string, std::u16string>>;

Renames renamesOf(const std::string& text) {
    LogContents contents;
    std::size_t damaged = 99;
    EXPECT_EQ(parseLog(text, contents, damaged), LogReading::read) << text;
    EXPECT_EQ(damaged, 0u) << text;
    Renames renames;
    for (const auto& record : contents.records) {
        renames.emplace_back(record.from, record.to);
    }
    return renames;
}

TEST(RenameLog, LinesAreUtf8FieldsWithEscapesForWhatWouldBreakThem) {
    EXPECT_EQ(rename(run1, 3, u"\u00FC\U0001F600", u"u__"),
              "\nR\t00000001.0000000000000001\t3\t2\t0000fe01:00000000001a2b3c:01da2b3c4d5e6f71\t"
              "\xC3\xBC\xF0\x9F\x98\x80\tu__\n");
    EXPECT_EQ(rename(run1, 1, u"a\tb\nc\rd\x1B\x7F", u"x"),
              "\nR\t00000001.0000000000000001\t1\t2\t0000fe01:00000000001a2b3c:01da2b3c4d5e6f71\t"
              "a\\tb\\nc\\rd\\u001B\\u007F\tx\n");
    // Lone surrogates, such as the bytes of a Linux name that are not UTF-8.
    EXPECT_EQ(ansifold::directoryLine(run1, 2, 1, dirId, u"r\xDCFF\xD800x"),
              "\nD\t00000001.0000000000000001\t2\t1\t0000fe01:0000000000000010:"
              "01da2b3c4d5e6f70\tr\\uDCFF\\uD800x\n");
    EXPECT_EQ(
        ansifold::anchorLine(run1, 1, dirId, u"C:\\a"),
        "\nA\t00000001.0000000000000001\t1\t0000fe01:0000000000000010:01da2b3c4d5e6f70\tC:\\\\a\n");
    EXPECT_EQ(ansifold::failedLine(run1, 4), "\nF\t00000001.0000000000000001\t4\n");
}

TEST(RenameLog, EveryNameAndItsDirectoryReadBackExactly) {
    const Renames written = {
        {u"\u00FC\U0001F600", u"u__"},
        {u"a\tb\nc\rd\x1B\x7F", u"e"},
        {u"r\xDCFF\xD800x\xDC80\xDBFF", u"\xDFFF\U0010FFFF"},
        {u"u0041", u"A"},
    };
    std::string text = logOf(directoriesOf(run1));
    for (std::size_t i = 0; i < written.size(); ++i) {
        text += rename(run1, i + 1, written[i].first, written[i].second);
    }
    EXPECT_EQ(renamesOf(text), written);
    LogContents contents;
    std::size_t damaged = 0;
    ASSERT_EQ(parseLog(text, contents, damaged), LogReading::read);
    ASSERT_EQ(contents.directories.size(), 2u);
    EXPECT_EQ(contents.directories[0].name, root);
    EXPECT_EQ(contents.directories[0].parent, ansifold::LogDirectory::none);
    EXPECT_EQ(contents.directories[1].name, u"sub");
    EXPECT_EQ(contents.directories[1].parent, 0u);
    EXPECT_EQ(contents.directories[1].identity, dirId);
    EXPECT_EQ(contents.records[0].directory, 1u);
    EXPECT_EQ(contents.records[0].identity, fileId);
}

// Runs that append at once, records cut short by a full disk or a kill, and
// a file killed before its first line.
TEST(RenameLog, FailedWithdrawsOnlyItsOwnRunsRecordAndCutLinesAreLeftOut) {
    const std::string both = directoriesOf(run1) + directoriesOf(run2);
    const struct {
        std::string text;
        Renames renames;
    } cases[] = {
        {"", {}},
        {logOf(""), {}},
        {logOf(both + rename(run1, 1, u"a", u"b") + rename(run2, 1, u"c", u"d") +
               ansifold::failedLine(run1, 1) + rename(run1, 2, u"e", u"f")),
         {{u"c", u"d"}, {u"e", u"f"}}},
        {logOf(both + rename(run1, 1, u"a", u"b") + rename(run2, 1, u"c", u"d") +
               ansifold::failedLine(run2, 1)),
         {{u"a", u"b"}}},
        // Cut anywhere, even just before its last line feed, and followed by
        // another write, which starts with its own line feed.
        {logOf(both + cut(rename(run1, 1, u"a", u"b"), 9) + rename(run2, 1, u"c", u"d")),
         {{u"c", u"d"}}},
        {logOf(both + cut(rename(run1, 1, u"a", u"b"), 1) + rename(run2, 1, u"c", u"d")),
         {{u"c", u"d"}}},
        {logOf(both + rename(run1, 1, u"a", u"b") + cut(rename(run2, 1, u"c", u"d"), 1)),
         {{u"a", u"b"}}},
        {logOf(both + rename(run1, 1, u"a", u"b") + "\n"), {{u"a", u"b"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(renamesOf(c.text), c.renames) << c.text;
    }
}

TEST(RenameLog, RefusesWhatItsWriterWouldNotWriteAtItsFirstWrongLine) {
    const std::string dirs = directoriesOf(run1);
    const std::string a =
        "\nA\t" + std::string(run1) + "\t1\t0000fe01:0000000000000010:01da2b3c4d5e6f70\t";
    const std::string r =
        "\nR\t" + std::string(run1) + "\t1\t2\t0000fe01:00000000001a2b3c:01da2b3c4d5e6f71\t";
    const std::string otherRoot = platform::systemIsWindows ? "/d" : "C:\\\\d";
    const std::string rootText = platform::systemIsWindows ? "C:\\\\d" : "/d";
    const std::string sep = platform::systemIsWindows ? "\\\\" : "/";
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"some text\n", 1},
        {"ansifold log 3\n", 1},
        // Anchors: only a full path of this system's own, every name a name.
        {logOf(a + "d" + sep + "e\n"), 3},
        {logOf(a + otherRoot + "\n"), 3},
        {logOf(a + rootText + sep + "..\n"), 3},
        {logOf(a + rootText + sep + "." + sep + "e\n"), 3},
        {logOf(a + rootText + sep + sep + "e\n"), 3},
        {logOf(a + rootText + sep + "\n"), 3},
        {logOf(a + rootText + "\\u0000e\n"), 3},
        // Names: no separator, no NUL, neither "." nor "..".
        {logOf(dirs + r + "a\\u0000b\tc\n"), 7},
        {logOf(dirs + r + "a/b\tc\n"), 7},
        {logOf(dirs + r + "a\t..\n"), 7},
        {logOf(dirs + r + ".\tc\n"), 7},
        {logOf(dirs + r + "\tc\n"), 7},
        {logOf(dirs + r + "a\\\\b\tc\n"), 7},
        // Records that refer to nothing their run wrote before them, or out
        // of their run's order.
        {logOf(ansifold::directoryLine(run1, 1, 1, dirId, u"sub")), 3},
        {logOf(ansifold::anchorLine(run1, 2, dirId, root)), 3},
        {logOf(dirs + rename(run1, 1, u"a", u"b", 3)), 7},
        {logOf(dirs + rename(run2, 1, u"a", u"b")), 7},
        {logOf(dirs + rename(run1, 2, u"a", u"b")), 7},
        {logOf(dirs + ansifold::failedLine(run1, 1)), 7},
        {logOf(dirs + rename(run1, 1, u"a", u"b") + ansifold::failedLine(run1, 1) +
               ansifold::failedLine(run1, 1)),
         11},
        {logOf(dirs + rename(run1, 1, u"a", u"b") + rename(run1, 2, u"c", u"d") +
               ansifold::failedLine(run1, 1)),
         11},
        // Fields.
        {logOf(dirs + r + "a\tb\tc\n"), 7},
        {logOf(dirs + r + "a\n"), 7},
        {logOf("\nX\t" + std::string(run1) + "\t1\n"), 3},
        {logOf("\nF\t1.1\t1\n"), 3},
        {logOf("\nA\t" + std::string(run1) + "\t01\t0000fe01:0000000000000010:01da2b3c4d5e6f70\t" +
               rootText + "\n"),
         3},
        {logOf("\nA\t" + std::string(run1) + "\t1\t0000FE01:0000000000000010:01da2b3c4d5e6f70\t" +
               rootText + "\n"),
         3},
        {logOf("\nA\t" + std::string(run1) + "\t1\t0000fe01:0000000000000010\t" + rootText + "\n"),
         3},
        // Escapes and UTF-8.
        {logOf(dirs + r + "a\\q\tb\n"), 7},
        {logOf(dirs + r + "a\\u00G1\tb\n"), 7},
        {logOf(dirs + r + "a\\u00\tb\n"), 7},
        {logOf(dirs + r + "a\\\tb\n"), 7},
        {logOf(dirs + r + "a\r\tb\n"), 7},
        {logOf(dirs + r + "\xFF\tb\n"), 7},
        {logOf(dirs + r + "\xC0\xAF\tb\n"), 7},
        {logOf(dirs + r + "\xE0\x9F\xBF\tb\n"), 7},
        {logOf(dirs + r + "\xED\xA0\x80\tb\n"), 7},
        {logOf(dirs + r + "\xF4\x90\x80\x80\tb\n"), 7},
        {logOf(dirs + r + "\xE3\x81\tb\n"), 7},
    };
    for (const auto& c : cases) {
        LogContents contents;
        std::size_t damaged = 0;
        EXPECT_EQ(parseLog(c.text, contents, damaged), LogReading::damaged) << c.text;
        EXPECT_EQ(damaged, c.line) << c.text;
    }
    LogContents contents;
    std::size_t damaged = 0;
    EXPECT_EQ(parseLog("ansifold log 1\n/d/a\t/d/b\n", contents, damaged),
              LogReading::olderVersion);
}

// --- The file ------------------------------------------------------------------

std::string contentOf(const testsupport::TempDir& tree, const std::u16string& name) {
    return tree.content(name);
}

TEST(RenameLogFile, RunsThatAppendAtOnceWriteOneFirstLineAndKeepTheirOwnRecords) {
    testsupport::TempDir tree;
    tree.file(u"d/a");
    tree.file(u"d/c");
    tree.file(u"empty.log");
    const std::u16string directory = tree.text(u"d");
    ansifold::RenameLog first;
    ansifold::RenameLog second;
    ASSERT_EQ(first.open(tree.text(u"empty.log")), ansifold::RenameLog::Opened::yes);
    ASSERT_EQ(second.open(tree.text(u"empty.log")), ansifold::RenameLog::Opened::yes);
    first.anchorAt(tree.text());
    second.anchorAt(directory);
    ASSERT_TRUE(first.record(directory, u"a", u"b"));
    ASSERT_TRUE(second.record(directory, u"c", u"d"));
    ASSERT_TRUE(first.withdraw());
    EXPECT_FALSE(second.record(directory, u"gone", u"x"));
    EXPECT_FALSE(second.failed());

    const std::string text = contentOf(tree, u"empty.log");
    EXPECT_EQ(text.find(ansifold::logFirstLine, 1), std::string::npos) << text;
    LogContents contents;
    std::size_t damaged = 0;
    ASSERT_EQ(parseLog(text, contents, damaged), LogReading::read) << text;
    ASSERT_EQ(contents.records.size(), 1u) << text;
    EXPECT_EQ(contents.records[0].from, u"c");
    ansifold::EntryIdentity c;
    ASSERT_TRUE(ansifold::identify(tree.text(u"d/c"), c));
    EXPECT_EQ(contents.records[0].identity, c);
    const ansifold::LogDirectory& d = contents.directories[contents.records[0].directory];
    EXPECT_EQ(d.parent, ansifold::LogDirectory::none);
    EXPECT_TRUE(d.name.ends_with(u"d")) << testing::PrintToString(d.name);
}

// Whoever finds the file empty writes its first line while the others wait.
TEST(RenameLogFile, TheFirstLineIsWrittenOnceByTheFirstRunToTakeItsTurn) {
    testsupport::TempDir tree;
    tree.file(u"run.log");
    const std::u16string path = tree.text(u"run.log");
    const platform::Handle other = platform::CreateFileW(
        path.c_str(), platform::genericRead | platform::fileAppendData,
        platform::fileShareRead | platform::fileShareWrite, platform::openExisting);
    ASSERT_NE(other, platform::invalidHandleValue);
    platform::Overlapped turn{0xFFFFFFFE, 0x7FFFFFFF};
    ASSERT_TRUE(platform::LockFileEx(other, platform::lockfileExclusiveLock, 1, 0, &turn));
    ansifold::RenameLog log;
    std::thread opening([&] { EXPECT_EQ(log.open(path), ansifold::RenameLog::Opened::yes); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(tree.content(u"run.log"), "");
    platform::Dword written = 0;
    platform::WriteFile(other, ansifold::logFirstLine.data(),
                        static_cast<platform::Dword>(ansifold::logFirstLine.size()), &written);
    platform::UnlockFileEx(other, 1, 0, &turn);
    opening.join();
    platform::CloseHandle(other);
    EXPECT_EQ(tree.content(u"run.log"), ansifold::logFirstLine);
}

TEST(RenameLogFile, RefusesWhatIsNoLogOfThisVersion) {
    testsupport::TempDir tree;
    tree.file(u"older.log", "ansifold log 1\n");
    tree.file(u"foreign.txt", "text\n");
    tree.directory(u"folder");
    const struct {
        std::u16string name;
        ansifold::RenameLog::Opened opened;
    } cases[] = {
        {u"older.log", ansifold::RenameLog::Opened::olderVersion},
        {u"foreign.txt", ansifold::RenameLog::Opened::foreign},
        {u"folder", ansifold::RenameLog::Opened::notAFile},
        {u"missing/run.log", ansifold::RenameLog::Opened::cannotOpen},
        {u"new.log", ansifold::RenameLog::Opened::yes},
    };
    for (const auto& c : cases) {
        ansifold::RenameLog log;
        EXPECT_EQ(log.open(tree.text(c.name)), c.opened) << testing::PrintToString(c.name);
    }
    EXPECT_EQ(tree.content(u"new.log"), ansifold::logFirstLine);
    EXPECT_EQ(tree.content(u"older.log"), "ansifold log 1\n");
}

}  // namespace
