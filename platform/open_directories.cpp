// The anchored directory state of the file services, over the primitives of
// file_system.h.
#include "platform/open_directories.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/path_text.h"

namespace platform {
namespace {

DirectoryPaths openDirectories(systemIsWindows ? u'\\' : u'/');
std::size_t closeHint = 0;
// The handles of the open directories that are open.
std::size_t handlesInUse = 0;
// The open directory that SetCurrentDirectoryW made current last, if it
// still is.
const OpenDirectory* currentDirectory = nullptr;

OpenDirectory& openDirectoryOf(DirectoryPath* known) {
    return static_cast<OpenDirectory&>(*known);
}

// Makes room for one more handle: closes that of the shallowest level of a
// walk, or of a chain of held directories, whose next level is open below
// it, which can open it again. The current directory keeps its handle.
bool closeAShallowLevel() {
    // The levels above the last one closed were closed before it: the
    // search starts there.
    const std::vector<DirectoryPath*>& levels = openDirectories.inOrder();
    const std::size_t count = levels.size();
    for (std::size_t step = 0; step + 1 < count; ++step) {
        const std::size_t i = (std::min(closeHint, count - 1) + step) % (count - 1);
        OpenDirectory& level = openDirectoryOf(levels[i]);
        if (level.handle && &level != currentDirectory && levels[i + 1]->parent == &level) {
            level.handle.reset();
            --handlesInUse;
            closeHint = i;
            return true;
        }
    }
    return false;
}

// An open that closes a shallow level where the system has no handle left.
template <typename Open>
OwnedHandle openMakingRoom(Open open) {
    while (handlesInUse >= os::handleBudget() && closeAShallowLevel()) {
    }
    for (;;) {
        OwnedHandle opened = open();
        if (opened || GetLastError() != errorTooManyOpenFiles || !closeAShallowLevel()) {
            return opened;
        }
    }
}

// Opens a closed parent again from its level below, as the walk comes back
// up to it: only the directory that it was, never what took its place.
void reopenParentOf(const OpenDirectory& below) {
    OpenDirectory& parent = openDirectoryOf(below.parent);
    Identity identity;
    OwnedHandle opened = openMakingRoom([&] { return os::openParentOf(below, identity); });
    if (opened && identity == parent.identity) {
        parent.handle = std::move(opened);
        ++handlesInUse;
    }
}

// The directory name below anchor (anchor itself when name is empty).
OwnedHandle openAt(const OpenDirectory& anchor, std::u16string_view name, Following following,
                   Identity& identity) {
    return openMakingRoom([&] {
        return name.empty() ? os::reopenDirectory(anchor, identity)
                            : os::openDirectoryBelow(anchor, name, following, identity);
    });
}

// Known by its name below the anchor, or, for the anchor itself, as the
// anchor is known.
void placeBelow(OpenDirectory& opened, OpenDirectory& anchor, std::u16string_view name) {
    opened.parent = name.empty() ? anchor.parent : &anchor;
    opened.name = name.empty() ? anchor.name : std::u16string(name);
}

// A directory held or made current by path: known by its whole path.
bool openByPath(std::u16string_view path, std::u16string_view full, Following following,
                OpenDirectory& opened) {
    opened.handle =
        openMakingRoom([&] { return os::openDirectoryByPath(path, following, opened.identity); });
    opened.parent = nullptr;
    opened.name = withoutTrailingSeparators(full);
    return static_cast<bool>(opened.handle);
}

// Windows reports a directory that is not there as a missing path even where
// its last component is all that is missing.
void reportAsMissingPath() {
    if (GetLastError() == errorFileNotFound) {
        SetLastError(errorPathNotFound);
    }
}

bool isHeldDirectory(Handle handle) {
    const auto* const open = static_cast<const OpenDirectory*>(handle);
    return openDirectories.contains(open) && open->held;
}

}  // namespace

// A relative path means another directory once another one is current:
// only full ones anchor anything.
void remember(OpenDirectory& directory) {
    if (directory.parent != nullptr || isFullPath(directory.name)) {
        openDirectories.add(directory);
        handlesInUse += directory.handle ? 1 : 0;
    }
}

// A directory that is current when it closes stays current: the system
// keeps it so (os::leavingDirectory).
void forget(OpenDirectory& directory) {
    if (directory.parent != nullptr && !openDirectoryOf(directory.parent).handle &&
        directory.handle) {
        reopenParentOf(directory);
    }
    if (!openDirectories.remove(directory)) {
        return;
    }
    handlesInUse -= directory.handle ? 1 : 0;
    if (currentDirectory == &directory) {
        currentDirectory = nullptr;
        os::leavingDirectory(directory);
    }
}

// On Windows a name with a colon names a stream of an entry, not an entry.
OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name) {
    DirectoryPath* const anchor = openDirectories.anchorOf(path, name);
    if (anchor == nullptr || (namesHaveDriveDesignators() && name.find(u':') != name.npos)) {
        return nullptr;
    }
    return &openDirectoryOf(anchor);
}

const OpenDirectory* heldDirectoryOf(Handle handle) {
    return isHeldDirectory(handle) ? static_cast<const OpenDirectory*>(handle) : nullptr;
}

bool openDirectoryToList(std::u16string_view path, OpenDirectory& opened) {
    if (openDirectory(path, opened)) {
        return true;
    }
    reportAsMissingPath();
    return false;
}

bool openDirectory(std::u16string_view path, OpenDirectory& opened) {
    return openDirectory(path, path, opened);
}

// Anchored by its full path; by path, the system resolves path as given.
bool openDirectory(std::u16string_view path, std::u16string_view full, OpenDirectory& opened) {
    const std::u16string_view trimmed = withoutTrailingSeparators(full);
    opened.length = trimmed.size();
    std::u16string_view name;
    if (OpenDirectory* const anchor = anchorOf(full, name)) {
        opened.handle = openAt(*anchor, name, Following::links, opened.identity);
        placeBelow(opened, *anchor, name);
        return static_cast<bool>(opened.handle);
    }
    return openByPath(withoutTrailingSeparators(path), trimmed, Following::links, opened);
}

// A relative path is opened as given, and "." is the current directory
// that the file services hold, where its full path may name another by now.
Handle holdDirectory(const char16_t* path, Following following) {
    std::u16string full;
    if (!os::fullPathOf(path, full)) {
        return invalidHandleValue;
    }
    auto held = std::make_unique<OpenDirectory>();
    std::u16string_view name;
    if (OpenDirectory* const anchor = anchorOf(full, name)) {
        held->handle = openAt(*anchor, name, following, held->identity);
        placeBelow(*held, *anchor, name);
    } else if (std::u16string_view(path) == u"." &&
               (held->handle = os::reopenCurrentDirectory(full))) {
        held->name = withoutTrailingSeparators(full);
    } else {
        openByPath(path, full, following, *held);
    }
    if (!held->handle) {
        reportAsMissingPath();
        return invalidHandleValue;
    }
    held->length = withoutTrailingSeparators(full).size();
    held->held = true;
    remember(*held);
    return held.release();
}

bool releaseDirectory(Handle handle) {
    auto* const held = static_cast<OpenDirectory*>(handle);
    forget(*held);
    delete held;
    return true;
}

Handle openInOpenDirectory(const char16_t* path, Dword access, Dword flags, bool& anchored) {
    anchored = false;
    std::u16string full;
    if ((flags & fileFlagOpenReparsePoint) == 0 || !os::entryPathOf(path, full)) {
        return invalidHandleValue;
    }
    std::u16string_view name;
    const OpenDirectory* const anchor = anchorOf(full, name);
    if (anchor == nullptr) {
        return invalidHandleValue;
    }
    anchored = true;
    while (handlesInUse >= os::handleBudget() && closeAShallowLevel()) {
    }
    return os::openEntryBelow(*anchor, name, access, flags);
}

// An open directory is current already when it was made so last: a walk
// makes the directory of each of its entries current, the same one for all
// the entries of a listing.
bool makeCurrent(const OpenDirectory& directory) {
    if (isCurrent(directory)) {
        return true;
    }
    if (!os::enterOpenDirectory(directory)) {
        return false;
    }
    currentDirectory = &directory;
    return true;
}

bool isCurrent(const OpenDirectory& directory) {
    return currentDirectory == &directory;
}

// Any other directory is opened as a search would open it, and the current
// directory keeps the handle.
bool makeCurrent(std::u16string_view path, std::u16string_view full) {
    OpenDirectory opened;
    if (!openDirectory(path, full, opened) || !os::enterDirectory(std::move(opened.handle), full)) {
        return false;
    }
    currentDirectory = nullptr;
    return true;
}

}  // namespace platform
