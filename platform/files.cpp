// The file services of platform.h that the anchoring gives their meaning:
// searches, attributes, the current directory, and the directories and
// entries that CreateFileW opens, resolved against the open directories
// (open_directories.h) and carried out by the primitives of each backend
// (file_system.h).
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/open_directories.h"
#include "platform/path_text.h"
#include "platform/platform.h"

namespace platform {
namespace {

// One open search: its directory, which anchors the paths below it, and the
// entries read from it.
class Search {
public:
    Search() = default;
    ~Search() {
        os::closeListing(listing);
        forget(directory);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    bool open(std::u16string_view path) {
        if (!openDirectoryToList(path, directory)) {
            return false;
        }
        remember(directory);
        return true;
    }

    bool read(std::u16string_view mask) {
        listing = os::listDirectory(directory, mask);
        return listing != nullptr;
    }

    bool next(FindData& found) {
        if (os::nextListed(*listing, directory, found, directory.listed)) {
            return true;
        }
        directory.listed = {};
        return false;
    }

private:
    OpenDirectory directory;
    os::Listing* listing = nullptr;
};

// A search over the directory part of pattern (everything up to its last
// separator or drive designator, or the current directory) for the names
// that its name part matches, positioned before its first entry.
Search* openSearch(std::u16string_view pattern) {
    std::size_t cut = pattern.find_last_of(u"/\\");
    if (cut == std::u16string_view::npos && namesHaveDriveDesignators() && pattern.size() >= 2 &&
        pattern[1] == u':') {
        cut = 1;
    }
    const std::u16string_view directoryPart =
        cut == std::u16string_view::npos ? std::u16string_view() : pattern.substr(0, cut + 1);
    auto search = std::make_unique<Search>();
    if (!search->open(directoryPart) || !search->read(pattern.substr(directoryPart.size()))) {
        return nullptr;
    }
    return search.release();
}

Search* searchOf(Handle handle) {
    if (handle == nullptr || handle == invalidHandleValue) {
        SetLastError(errorInvalidHandle);
        return nullptr;
    }
    return static_cast<Search*>(handle);
}

}  // namespace

Handle FindFirstFileW(PathText pattern, FindData* found) {
    os::beforeFileCall();
    if (pattern.isNull() || found == nullptr) {
        SetLastError(errorInvalidParameter);
        return invalidHandleValue;
    }
    std::u16string joined;
    Search* const search = openSearch(os::asResolved(pattern, joined));
    if (search == nullptr) {
        return invalidHandleValue;
    }
    if (!search->next(*found)) {
        delete search;
        if (GetLastError() == errorNoMoreFiles) {
            SetLastError(errorFileNotFound);
        }
        return invalidHandleValue;
    }
    return search;
}

Handle FindFirstFileExW(PathText pattern, FindData* found) {
    return FindFirstFileW(pattern, found);
}

Bool FindNextFileW(Handle search, FindData* found) {
    os::beforeFileCall();
    Search* const open = searchOf(search);
    if (open == nullptr) {
        return 0;
    }
    if (found == nullptr) {
        SetLastError(errorInvalidParameter);
        return 0;
    }
    return open->next(*found) ? 1 : 0;
}

Bool FindClose(Handle search) {
    os::beforeFileCall();
    Search* const open = searchOf(search);
    delete open;
    return open != nullptr ? 1 : 0;
}

// A path that ends with a separator names a directory, or nothing.
Dword GetFileAttributesW(PathText path) {
    os::beforeFileCall();
    if (path.isNull()) {
        SetLastError(errorInvalidParameter);
        return invalidFileAttributes;
    }
    std::u16string_view name;
    const OpenDirectory* const anchor = anchorOf(path, name);
    if (anchor == nullptr) {
        return os::attributesByPath(path);
    }
    const Dword attributes = os::attributesBelow(*anchor, name);
    if (attributes != invalidFileAttributes && endsWithSeparator(path) &&
        (attributes & fileAttributeDirectory) == 0) {
        SetLastError(errorPathNotFound);
        return invalidFileAttributes;
    }
    return attributes;
}

Bool SetCurrentDirectoryW(PathText path) {
    os::beforeFileCall();
    if (path.isNull()) {
        SetLastError(errorInvalidParameter);
        return 0;
    }
    std::u16string_view name;
    const OpenDirectory* const anchor = anchorOf(path, name);
    if (anchor != nullptr && name.empty()) {
        return makeCurrent(*anchor) ? 1 : 0;
    }
    std::u16string full;
    return os::fullPathOf(path, full) && makeCurrent(path, full) ? 1 : 0;
}

// A directory opened to be listed is held; an existing entry opened without
// following a link is opened where the open directories hold it, as a
// walk's entries are; anything else by its path.
Handle CreateFileW(const char16_t* path, Dword access, Dword shareMode, Dword disposition,
                   Dword flags) {
    if (path == nullptr || *path == u'\0') {
        return os::openFile(path, access, shareMode, disposition, flags);
    }
    if (access == fileListDirectory && disposition == openExisting) {
        return holdDirectory(
            path, (flags & fileFlagOpenReparsePoint) != 0 ? Following::none : Following::links);
    }
    if (disposition == openExisting) {
        bool anchored = false;
        const Handle below = openInOpenDirectory(path, access, flags, anchored);
        if (anchored) {
            return below;
        }
    }
    return os::openFile(path, access, shareMode, disposition, flags);
}

Bool CloseHandle(Handle object) {
    if (heldDirectoryOf(object) != nullptr) {
        return releaseDirectory(object) ? 1 : 0;
    }
    return os::closeFile(object);
}

}  // namespace platform
