// The open directories known by their paths, as both backends keep them.

#include "platform/directory_paths.h"

#include <gtest/gtest.h>

namespace {

// A directory closed before one opened below it (out of a walk's order)
// must leave that one a path of its own, not a parent that is gone.
TEST(DirectoryPaths, OneOpenedBelowOutlivesItsParent) {
    platform::DirectoryPaths paths(u'/');
    platform::DirectoryPath parent;
    parent.name = u"/top";
    parent.length = 4;
    platform::DirectoryPath child;
    child.parent = &parent;
    child.name = u"below";
    child.length = 10;
    paths.add(parent);
    paths.add(child);
    std::u16string_view name;
    EXPECT_EQ(paths.anchorOf(u"/top/below/x", name), &child);
    EXPECT_EQ(name, u"x");

    paths.remove(parent);
    parent.name = u"/gone";

    EXPECT_EQ(paths.anchorOf(u"/top/below", name), &child);
    EXPECT_EQ(paths.anchorOf(u"/top/x", name), nullptr);
    EXPECT_EQ(paths.pathOf(child), u"/top/below");
}

}  // namespace
