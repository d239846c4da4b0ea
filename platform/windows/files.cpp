// File services of platform.h: the Windows backend, which forwards each one
// to kernel32 and reports only link-like reparse points as reparse points.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/windows/reparse.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::linkAttributes;
using windows::utf16;
using windows::wide;

namespace {

static_assert(sizeof(FindData::cFileName) == sizeof(WIN32_FIND_DATAW::cFileName));

void copyFindRecord(const WIN32_FIND_DATAW& record, FindData* found) {
    found->dwFileAttributes = linkAttributes(record.dwFileAttributes, record.dwReserved0);
    std::memcpy(found->cFileName, record.cFileName, sizeof found->cFileName);
}

Handle startSearch(HANDLE search, const WIN32_FIND_DATAW& record, FindData* found) {
    if (search != INVALID_HANDLE_VALUE) {
        copyFindRecord(record, found);
    }
    return search;
}

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// The find record of the entry that path names: a trailing separator would
// make the system look inside a directory instead, so it is left out, unless
// nothing but a root would remain.
bool findEntry(const char16_t* path, WIN32_FIND_DATAW* record) {
    std::u16string name = path;
    while (name.size() > 1 && isSeparator(name.back()) && name[name.size() - 2] != u':') {
        name.pop_back();
    }
    const HANDLE search = ::FindFirstFileW(wide(name.c_str()), record);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(search);
    return true;
}

// Only a find record carries the reparse tag. When it cannot be had, the
// entry stays a link: walking into a link is the worse mistake.
Dword withoutNonLinkReparse(const char16_t* path, DWORD attributes) {
    const DWORD lastError = ::GetLastError();
    WIN32_FIND_DATAW record{};
    if (findEntry(path, &record)) {
        attributes = linkAttributes(attributes, record.dwReserved0);
    }
    ::SetLastError(lastError);
    return attributes;
}

}  // namespace

Handle FindFirstFileW(const char16_t* pattern, FindData* found) {
    WIN32_FIND_DATAW record{};
    return startSearch(::FindFirstFileW(wide(pattern), &record), record, found);
}

Handle FindFirstFileExW(const char16_t* pattern, FindData* found) {
    WIN32_FIND_DATAW record{};
    const HANDLE search = ::FindFirstFileExW(wide(pattern), FindExInfoStandard, &record,
                                             FindExSearchNameMatch, nullptr, 0);
    return startSearch(search, record, found);
}

Bool FindNextFileW(Handle search, FindData* found) {
    WIN32_FIND_DATAW record{};
    const BOOL succeeded = ::FindNextFileW(search, &record);
    if (succeeded) {
        copyFindRecord(record, found);
    }
    return succeeded;
}

Bool FindClose(Handle search) {
    return ::FindClose(search);
}

Dword GetFileAttributesW(const char16_t* path) {
    const DWORD attributes = ::GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return attributes;
    }
    return withoutNonLinkReparse(path, attributes);
}

Dword GetFullPathNameW(const char16_t* path, Dword size, char16_t* buffer, char16_t** filePart) {
    return ::GetFullPathNameW(wide(path), size, wide(buffer), reinterpret_cast<LPWSTR*>(filePart));
}

Dword GetCurrentDirectoryW(Dword size, char16_t* buffer) {
    return ::GetCurrentDirectoryW(size, wide(buffer));
}

Bool SetCurrentDirectoryW(const char16_t* path) {
    return ::SetCurrentDirectoryW(wide(path));
}

Bool MoveFileW(const char16_t* from, const char16_t* to) {
    return ::MoveFileW(wide(from), wide(to));
}

Dword GetLastError() {
    return ::GetLastError();
}

}  // namespace platform
