// File services of platform.h: the Windows backend.
//
// Searches, attributes, full paths, the current directory and moves, each with
// Windows' contract, anchored to the directories that the open searches hold
// (open_directories.h), and reporting only link-like reparse points as
// reparse points (reparse.h).
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/search.h"
#include "platform/windows/open_directories.h"
#include "platform/windows/reparse.h"
#include "platform/windows/wide.h"

namespace platform::windows {
namespace {

static_assert(sizeof(FindData::cFileName) == sizeof(WIN32_FIND_DATAW::cFileName));

Search* searchOf(Handle handle) {
    if (handle == nullptr || handle == invalidHandleValue) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<Search*>(handle);
}

// A name of the current directory's own: no separator, no drive, no dots.
bool isBareName(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:") == std::u16string_view::npos;
}

// The find record of the entry that path names: a trailing separator would
// make the system look inside a directory instead, so it is left out, unless
// nothing but a root would remain.
bool findEntry(const char16_t* path, WIN32_FIND_DATAW* record) {
    const std::u16string name(withoutTrailingSeparators(path));
    const HANDLE search = ::FindFirstFileW(forLimitedCall(name.c_str()).c_str(), record);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(search);
    return true;
}

// Only a find record carries the reparse tag. When it cannot be had, the
// entry stays a link: walking into a link is the worse mistake.
DWORD withoutNonLinkReparse(const char16_t* path, DWORD attributes) {
    const DWORD lastError = ::GetLastError();
    WIN32_FIND_DATAW record{};
    if (findEntry(path, &record)) {
        attributes = linkAttributes(attributes, record.dwReserved0);
    }
    ::SetLastError(lastError);
    return attributes;
}

DWORD attributesByPath(const char16_t* path) {
    const DWORD attributes = ::GetFileAttributesW(forLimitedCall(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return attributes;
    }
    return withoutNonLinkReparse(path, attributes);
}

// Windows' contract for texts that a caller's buffer receives: the length when
// the text and its terminator fit, else the size that would fit them.
DWORD copyOut(std::u16string_view text, DWORD size, char16_t* buffer) {
    if (text.size() + 1 > size) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<DWORD>(text.size());
}

// The process's own current directory follows where the path fits; a longer
// one lives in this layer alone (open_directories.h).
bool makeCurrent(OwnedHandle handle, const std::u16string& fullPath) {
    if (fitsCurrentDirectory(fullPath) && !setProcessDirectory(fullPath)) {
        return false;
    }
    setCurrent(std::move(handle), fullPath);
    return true;
}

// What it opens is known by no path: the current directory holds its handle.
OwnedHandle openedDirectory(std::u16string_view path) {
    OpenDirectory opened;
    openDirectory(path, opened);
    return std::move(opened.handle);
}

bool changeDirectoryByPath(const char16_t* path) {
    OwnedHandle handle = openedDirectory(resolvedAgainstCurrent(path));
    if (!handle) {
        return false;
    }
    std::u16string full(0x8000, u'\0');
    const std::u16string resolved = resolvedAgainstCurrent(path);
    const DWORD length = ::GetFullPathNameW(wide(resolved.c_str()), static_cast<DWORD>(full.size()),
                                            wide(full.data()), nullptr);
    if (length == 0 || length >= full.size()) {
        return false;
    }
    full.resize(length);
    return makeCurrent(std::move(handle), full);
}

// An open directory is current already when it was made so last: a walk
// makes the directory of each of its entries current, the same one for all
// the entries of a listing.
bool changeDirectoryBelow(const OpenDirectory& directory, std::u16string_view name) {
    if (name.empty() && isCurrent(directory)) {
        return true;
    }
    std::u16string full = pathOf(directory);
    if (name.empty()) {
        if (fitsCurrentDirectory(full) && !setProcessDirectory(full)) {
            return false;
        }
        setCurrent(directory, std::move(full));
        return true;
    }
    if (!endsWithSeparator(full)) {
        full += u'\\';
    }
    full += name;
    OwnedHandle handle = openedDirectory(full);
    return handle && makeCurrent(std::move(handle), full);
}

std::u16string inCurrentDirectory(std::u16string_view name) {
    std::u16string path = currentPath();
    if (!endsWithSeparator(path)) {
        path += u'\\';
    }
    path += name;
    return path;
}

// Under Wine a link is never moved: Wine would move what it leads to. The
// listing that handed the entry out shows a link to a directory; an entry
// that no open search handed out (an argument, a rename undone) is listed
// by its one name, which also gives the name it has on disk. A link to a
// file shows only once the entry is opened (isOpenedAsItself).
bool isListedAsNoLink(const OpenDirectory* listedBy, std::u16string_view name,
                      WIN32_FIND_DATAW& record, std::u16string_view& onDisk) {
    DWORD attributes = 0;
    if (listedBy != nullptr && listedBy->listed.name == name) {
        attributes = listedBy->listed.attributes;
        onDisk = listedBy->listed.name;
    } else if (findEntry(inCurrentDirectory(name).c_str(), &record)) {
        attributes = record.dwFileAttributes;
        onDisk = utf16(record.cFileName);
    } else {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return true;
}

// A rename to a new name in a directory, made ready whole before the entry
// is checked for the last time, so that nothing comes between that check and
// the rename.
class RenameRequest {
public:
    RenameRequest(HANDLE directory, std::u16string_view to)
        : storage((offsetof(FILE_RENAME_INFORMATION, FileName) + to.size() * sizeof(char16_t)) /
                      sizeof(LONGLONG) +
                  1) {
        auto* const rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(storage.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = directory;
        rename->FileNameLength = static_cast<ULONG>(to.size() * sizeof(char16_t));
        std::memcpy(rename->FileName, to.data(), rename->FileNameLength);
    }

    bool applyTo(HANDLE entry) {
        IO_STATUS_BLOCK io{};
        const NTSTATUS status = ::NtSetInformationFile(
            entry, &io, storage.data(), static_cast<ULONG>(storage.size() * sizeof(LONGLONG)),
            FileRenameInformation);
        if (!NT_SUCCESS(status)) {
            ::SetLastError(::RtlNtStatusToDosError(status));
            return false;
        }
        return true;
    }

private:
    std::vector<LONGLONG> storage;
};

// Wine follows a link that took the entry's place, or that the entry is, and
// renames by path whatever the handle: there what was opened must be what was
// listed, held under its own name, and the path must still lead to it, which
// is checked last, right before the rename, everything else made ready first.
bool moveBelowUnderWine(HANDLE directory, std::u16string_view from, std::u16string_view to) {
    const OpenDirectory* const listedBy = currentDirectory();
    WIN32_FIND_DATAW record;
    std::u16string_view onDisk;
    if (!isListedAsNoLink(listedBy, from, record, onDisk)) {
        return false;
    }
    const OwnedHandle entry = openBelow(directory, from, DELETE, 0);
    if (!entry) {
        return false;
    }
    const LONGLONG index = indexOf(entry.get());
    if ((listedBy != nullptr && !isListedEntry(*listedBy, from, index)) ||
        !isOpenedAsItself(entry.get(), onDisk)) {
        return false;
    }
    RenameRequest rename(directory, to);
    const std::wstring path = forLimitedCall(inCurrentDirectory(from).c_str());
    OwnedHandle byPath;
    return pathLeadsTo(path, index, byPath) && rename.applyTo(entry.get());
}

// The entry is opened relative to the current directory without following a
// link, and renamed relative to it: whatever took the directory's place at
// its path since is never touched. A name that stays moves nothing, link or
// not, and needs only to be there.
bool moveBelow(std::u16string_view from, std::u16string_view to) {
    const HANDLE directory = currentHandle();
    if (from == to) {
        return attributesBelow(directory, from) != INVALID_FILE_ATTRIBUTES;
    }
    if (underWine()) {
        return moveBelowUnderWine(directory, from, to);
    }
    const OwnedHandle entry = openBelow(directory, from, DELETE, 0);
    return entry && RenameRequest(directory, to).applyTo(entry.get());
}

}  // namespace
}  // namespace platform::windows

namespace platform {

using windows::wide;

Handle FindFirstFileW(PathText pattern, FindData* found) {
    if (pattern.isNull() || found == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return invalidHandleValue;
    }
    // Joined only where it must be: a walk's pattern, a little longer at each
    // level, is not copied.
    const std::u16string joined = windows::isResolvedAsGiven(pattern.c_str())
                                      ? u""
                                      : windows::resolvedAgainstCurrent(pattern.c_str());
    Search* const search = openSearch(joined.empty() ? std::u16string_view(pattern) : joined);
    if (search == nullptr) {
        return invalidHandleValue;
    }
    if (!nextEntry(*search, *found)) {
        closeSearch(search);
        if (::GetLastError() == ERROR_NO_MORE_FILES) {
            ::SetLastError(ERROR_FILE_NOT_FOUND);
        }
        return invalidHandleValue;
    }
    return search;
}

Handle FindFirstFileExW(PathText pattern, FindData* found) {
    return FindFirstFileW(pattern, found);
}

Bool FindNextFileW(Handle search, FindData* found) {
    Search* const open = windows::searchOf(search);
    if (open == nullptr) {
        return 0;
    }
    if (found == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return nextEntry(*open, *found) ? 1 : 0;
}

Bool FindClose(Handle search) {
    Search* const open = windows::searchOf(search);
    closeSearch(open);
    return open != nullptr ? 1 : 0;
}

// A path that ends with a separator asks whether it names a directory: the
// system answers that as Windows does.
Dword GetFileAttributesW(PathText path) {
    if (path.isNull()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return invalidFileAttributes;
    }
    std::u16string_view name;
    const windows::OpenDirectory* const anchor =
        endsWithSeparator(path) ? nullptr : windows::anchorOf(path, name);
    if (anchor == nullptr) {
        return windows::attributesByPath(path.c_str());
    }
    return name.empty() ? windows::attributesOf(anchor->handle.get())
                        : windows::attributesBelow(anchor->handle.get(), name);
}

Dword GetFullPathNameW(const char16_t* path, Dword size, char16_t* buffer, char16_t** filePart) {
    if (path == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string resolved = windows::resolvedAgainstCurrent(path);
    return ::GetFullPathNameW(wide(resolved.c_str()), size, wide(buffer),
                              reinterpret_cast<LPWSTR*>(filePart));
}

Dword GetCurrentDirectoryW(Dword size, char16_t* buffer) {
    const std::u16string& held = windows::currentLongPath();
    if (!held.empty()) {
        return windows::copyOut(held, size, buffer);
    }
    return ::GetCurrentDirectoryW(size, wide(buffer));
}

Bool SetCurrentDirectoryW(PathText path) {
    if (path.isNull()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view name;
    const windows::OpenDirectory* const anchor = windows::anchorOf(path, name);
    return anchor != nullptr ? windows::changeDirectoryBelow(*anchor, name)
                             : windows::changeDirectoryByPath(path.c_str());
}

Bool MoveFileW(const char16_t* from, const char16_t* to) {
    if (from == nullptr || to == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (windows::currentHandle() != nullptr && windows::isBareName(from) &&
        windows::isBareName(to)) {
        return windows::moveBelow(from, to) ? 1 : 0;
    }
    return ::MoveFileW(windows::forLimitedCall(from).c_str(), windows::forLimitedCall(to).c_str());
}

Dword GetLastError() {
    return ::GetLastError();
}

Dword FormatMessageW(Dword code, char16_t* buffer, Dword size) {
    return ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                            code, 0, windows::wide(buffer), size, nullptr);
}

}  // namespace platform
