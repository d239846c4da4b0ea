// The console writer and its formatting buffer, seen through a recording
// console device, on a console and redirected.
#include "console/console.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "console/format_buffer.h"

#include "tests/support/recording_console.h"

namespace {

using testsupport::RecordingConsole;

std::u16string repeated(char16_t c, std::size_t count) {
    return std::u16string(count, c);
}

// The byte form of redirected text is the backend's (platform/*/console_test).
TEST(ConsoleRedirected, WritesEachPrintInOneCall) {
    RecordingConsole device(false);
    kestrel::Console console;
    EXPECT_EQ(console.print(u"%s\n", u"a.txt"), 6);
    EXPECT_EQ(device.redirectedWrites, std::vector<std::u16string>{u"a.txt\n"});
}

TEST(ConsoleRedirected, EmptyTextIsOneWriteOfNoUnits) {
    RecordingConsole device(false);
    kestrel::Console console;
    EXPECT_EQ(console.print(u"%s", u""), 0);
    EXPECT_EQ(device.redirectedWrites, std::vector<std::u16string>{u""});
}

TEST(ConsoleRedirected, CharactersOutsideTheCodePagesGoOutAsTheirUnits) {
    RecordingConsole device(false);
    kestrel::Console console;
    console.print(u"%s\n", u"\U0001F600\u00E9\u30C6");
    EXPECT_EQ(device.output, u"\U0001F600\u00E9\u30C6\n");
}

TEST(ConsoleOutput, NullFormatWritesNothing) {
    for (bool isConsole : {false, true}) {
        RecordingConsole device(isConsole);
        kestrel::Console console;
        EXPECT_EQ(console.print(nullptr), 0);
        EXPECT_TRUE(device.redirectedWrites.empty());
        EXPECT_TRUE(device.consoleWrites.empty());
    }
}

TEST(ConsoleOutput, TextEndsAtANulThatTheFormatProduced) {
    for (bool isConsole : {false, true}) {
        RecordingConsole device(isConsole);
        kestrel::Console console;
        EXPECT_EQ(console.print(u"ab%cde", 0), 2);
        EXPECT_EQ(device.output, u"ab");
    }
}

TEST(ConsoleOutput, LongTextsComeOutWholeAcrossTheFormattingBuffer) {
    for (std::size_t length : {1022u, 1023u, 1024u, 5000u}) {
        RecordingConsole device(false);
        kestrel::Console console;
        const std::u16string text = repeated(u'x', length);
        EXPECT_EQ(console.print(u"%s", text.c_str()), static_cast<int>(length));
        EXPECT_EQ(device.output, text) << length;
    }
}

std::size_t capacityFor(const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    const kestrel::FormatBuffer buffer(format, args);
    va_end(args);
    return buffer.capacity();
}

// A text stays in the first buffer of 1024 units only with two to spare;
// otherwise the buffer grows to exactly its length + 2.
TEST(FormatBuffer, GrowsOnlyWhenTwoUnitsWouldNotBeLeft) {
    for (auto [length, capacity] : {std::pair{1022u, 1024u}, {1023u, 1025u}, {5000u, 5002u}}) {
        EXPECT_EQ(capacityFor(u"%s", repeated(u'x', length).c_str()), capacity) << length;
    }
}

TEST(ConsoleOnConsole, LongTextGoesOutInChunksOf2048Units) {
    RecordingConsole device(true);
    kestrel::Console console;
    const std::u16string text = repeated(u'y', 5000);
    EXPECT_EQ(console.print(u"%s", text.c_str()), 5000);
    ASSERT_EQ(device.consoleWrites.size(), 3u);
    EXPECT_EQ(device.consoleWrites[0].size(), 2048u);
    EXPECT_EQ(device.consoleWrites[1].size(), 2048u);
    EXPECT_EQ(device.consoleWrites[2].size(), 904u);
    EXPECT_TRUE(device.redirectedWrites.empty());
}

TEST(ConsoleOnConsole, AdvancesByWhatEachCallReports) {
    RecordingConsole device(true);
    device.consoleLimit = 1000;
    kestrel::Console console;
    const std::u16string text = repeated(u'z', 2500);
    std::size_t written = 0;
    EXPECT_TRUE(console.write(text.c_str(), text.size(), &written));
    EXPECT_EQ(written, 2500u);
    ASSERT_EQ(device.consoleWrites.size(), 3u);
    EXPECT_EQ(device.consoleWrites[0].size(), 2048u);
    EXPECT_EQ(device.consoleWrites[1].size(), 1500u);
    EXPECT_EQ(device.consoleWrites[2].size(), 500u);
}

TEST(ConsoleOnConsole, EmptyTextMakesNoCallAndFails) {
    RecordingConsole device(true);
    kestrel::Console console;
    std::size_t written = 99;
    EXPECT_FALSE(console.write(u"", 0, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(device.consoleWrites.empty());
}

TEST(ConsoleOnConsole, AWriteThatMakesNoProgressEndsTheLoop) {
    RecordingConsole device(true);
    device.consoleLimit = 0;
    kestrel::Console console;
    std::size_t written = 99;
    EXPECT_FALSE(console.write(u"abc", 3, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(device.consoleWrites.size(), 1u);
}

TEST(ConsoleOnConsole, AFailedWriteEndsTheLoopWithWhatWasWritten) {
    RecordingConsole device(true);
    device.consoleLimit = 2048;
    device.consoleResult = 0;
    kestrel::Console console;
    const std::u16string text = repeated(u'w', 5000);
    std::size_t written = 0;
    EXPECT_FALSE(console.write(text.c_str(), text.size(), &written));
    EXPECT_EQ(written, 2048u);
    EXPECT_EQ(device.consoleWrites.size(), 1u);
}

TEST(ConsoleOnConsole, TextAttributesReturnWhenTheConsoleGoes) {
    RecordingConsole device(true, 0x1E);
    {
        kestrel::Console console;
        device.attributes = 0x4F;
    }
    EXPECT_EQ(device.attributes, 0x1E);
}

}  // namespace
