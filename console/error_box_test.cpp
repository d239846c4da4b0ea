// The error box's text, caption and button, as a recording console device sees them.
#include "console/error_box.h"

#include <gtest/gtest.h>

#include "tests/support/recording_console.h"

namespace {

using testsupport::RecordingConsole;

TEST(ErrorBox, ShowsTheFormattedTextWithTheDefaultCaptionAndAnOkButton) {
    RecordingConsole device;
    kestrel::errorBox(u"%s[%d]", u"C:\\x", -1);
    kestrel::errorBox(u"err:%x", 0x7bu);
    ASSERT_EQ(device.boxes.size(), 2u);
    EXPECT_EQ(device.boxes[0].text, u"C:\\x[-1]");
    EXPECT_EQ(device.boxes[1].text, u"err:7b");
    EXPECT_TRUE(device.boxes[0].nullCaption);
    EXPECT_EQ(device.boxes[0].type, 0u);
    EXPECT_TRUE(device.output.empty());
}

TEST(ErrorBox, NullFormatShowsABoxWithoutText) {
    RecordingConsole device;
    kestrel::errorBox(nullptr);
    ASSERT_EQ(device.boxes.size(), 1u);
    EXPECT_TRUE(device.boxes[0].nullText);
}

TEST(ErrorBox, TextsAroundTheFirstBufferComeOutWhole) {
    for (std::size_t length : {1022u, 1023u, 40000u}) {
        RecordingConsole device;
        const std::u16string text(length, u'q');
        kestrel::errorBox(u"%s", text.c_str());
        ASSERT_EQ(device.boxes.size(), 1u);
        EXPECT_EQ(device.boxes[0].text, text) << length;
    }
}

}  // namespace
