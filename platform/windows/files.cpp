// File services of platform.h that the anchoring leaves to the Windows
// backend: full paths, the current directory's, moves and error texts, each
// with Windows' contract; a move of a bare name is made relative to the
// current directory's handle (directories.h).
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/windows/directories.h"
#include "platform/windows/reparse.h"
#include "platform/windows/wide.h"

namespace platform::windows {
namespace {

static_assert(sizeof(FindData::cFileName) == sizeof(WIN32_FIND_DATAW::cFileName));

// A name of the current directory's own: no separator, no drive, no dots.
bool isBareName(std::u16string_view name) {
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:") == std::u16string_view::npos;
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
        return copyOut(held, size, buffer);
    }
    return ::GetCurrentDirectoryW(size, wide(buffer));
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

void SetLastError(Dword code) {
    ::SetLastError(code);
}

Dword FormatMessageW(Dword code, char16_t* buffer, Dword size) {
    return ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                            code, 0, windows::wide(buffer), size, nullptr);
}

}  // namespace platform
