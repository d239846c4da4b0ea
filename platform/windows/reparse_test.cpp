// Which reparse points the layers above see as links.
#include "platform/windows/reparse.h"

#include <gtest/gtest.h>

namespace {

using platform::windows::linkAttributes;

TEST(LinkAttributes, KeepsTheReparseBitForLinksOnly) {
    constexpr DWORD directory = FILE_ATTRIBUTE_DIRECTORY;
    constexpr DWORD reparse = FILE_ATTRIBUTE_REPARSE_POINT;
    struct Case {
        const char* what;
        DWORD attributes;
        DWORD tag;
        DWORD expected;
    };
    const Case cases[] = {
        {"symbolic link", directory | reparse, IO_REPARSE_TAG_SYMLINK, directory | reparse},
        {"junction", directory | reparse, IO_REPARSE_TAG_MOUNT_POINT, directory | reparse},
        {"host link under Wine", directory | reparse, 0, directory | reparse},
        {"cloud placeholder", directory | reparse, 0x9000001A, directory},
        {"deduplicated file", FILE_ATTRIBUTE_ARCHIVE | reparse, 0x80000013, FILE_ATTRIBUTE_ARCHIVE},
        {"plain directory, stale tag", directory, IO_REPARSE_TAG_SYMLINK, directory},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(linkAttributes(c.attributes, c.tag), c.expected) << c.what;
    }
}

}  // namespace
