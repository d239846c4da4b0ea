// Windows backend only: the primitives of the anchored file services
// (file_system.h), from NtOpenFile below a handle, and the current directory
// that this backend holds.
#include "platform/windows/directories.h"

#include <winternl.h>

#include <memory>

#include "platform/path_text.h"
#include "platform/windows/reparse.h"
#include "platform/windows/search.h"
#include "platform/windows/wide.h"

namespace platform::windows {

namespace {

// The current directory: an open search's, or one of its own.
const OpenDirectory* currentAnchor = nullptr;
OwnedHandle currentOwned;
std::u16string currentFull;
std::u16string currentLong;

LimitedPathObserver limitedPathObserver = nullptr;

// path in the form that a call that MAX_PATH limits can take.
std::wstring longPathForm(const char16_t* path) {
    const std::u16string text = resolvedAgainstCurrent(path);
    if (text.size() < MAX_PATH || text.starts_with(u"\\\\?\\")) {
        return std::wstring(text.begin(), text.end());
    }
    const DWORD needed = ::GetFullPathNameW(wide(text.c_str()), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    full.resize(::GetFullPathNameW(wide(text.c_str()), needed, full.data(), nullptr));
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

const std::wstring& observed(const std::wstring& path) {
    if (limitedPathObserver != nullptr) {
        limitedPathObserver(path);
    }
    return path;
}

// Makes fullPath, which fits, the process's own current directory.
bool setProcessDirectory(const std::u16string& fullPath) {
    return ::SetCurrentDirectoryW(
               observed(std::wstring(fullPath.begin(), fullPath.end())).c_str()) != 0;
}

bool isRelative(std::u16string_view path) {
    return !path.empty() && !isSeparator(path[0]) && (path.size() < 2 || path[1] != u':');
}

void setLastErrorFromStatus(NTSTATUS status) {
    ::SetLastError(::RtlNtStatusToDosError(status));
}

UNICODE_STRING unicodeOf(std::u16string_view text) {
    UNICODE_STRING result;
    result.Length = static_cast<USHORT>(text.size() * sizeof(char16_t));
    result.MaximumLength = result.Length;
    result.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(text.data()));
    return result;
}

constexpr ACCESS_MASK listingAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// Only a directory that is no link is one that a walk may enter.
OwnedHandle walkedDirectoryOnly(OwnedHandle handle) {
    if (!handle) {
        return handle;
    }
    const DWORD attributes = attributesOf(handle.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return {};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    return handle;
}

OwnedHandle copyOf(HANDLE handle) {
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return {};
    }
    return OwnedHandle(copy);
}

// The argument that a walk starts from, and any path outside the open
// searches: its last component may be a link that the user named, unless a
// link is not to be followed.
OwnedHandle openByPath(std::u16string_view path, Following following = Following::links) {
    // The process's own current directory is the current one, but where its
    // path was too long for the process to follow.
    if (path.empty() && !currentLong.empty()) {
        return copyOf(currentHandle());
    }
    const std::u16string text(path.empty() ? u"." : path);
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS |
                        (following == Following::links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle =
        ::CreateFileW(forLimitedCall(text.c_str()).c_str(), listingAccess | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    OwnedHandle opened(handle);
    if (following == Following::none) {
        return walkedDirectoryOnly(std::move(opened));
    }
    const DWORD attributes = attributesOf(opened.get());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return {};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetLastError(ERROR_DIRECTORY);
        return {};
    }
    return opened;
}

}  // namespace

OwnedHandle openBelow(HANDLE directory, std::u16string_view name, ACCESS_MASK access,
                      ULONG options) {
    UNICODE_STRING text = unicodeOf(name);
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, directory, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        ::NtOpenFile(&handle, access | SYNCHRONIZE, &object, &io,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                         FILE_SYNCHRONOUS_IO_NONALERT);
    if (!NT_SUCCESS(status)) {
        setLastErrorFromStatus(status);
        return {};
    }
    return OwnedHandle(handle);
}

LONGLONG indexOf(HANDLE handle) {
    FILE_INTERNAL_INFORMATION index{};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        ::NtQueryInformationFile(handle, &io, &index, sizeof index, FileInternalInformation);
    return NT_SUCCESS(status) ? index.IndexNumber.QuadPart : -1;
}

bool isListedEntry(const OpenDirectory& directory, std::u16string_view name, LONGLONG index) {
    if (directory.listed.name != name || index == directory.listed.id) {
        return true;
    }
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

namespace {

// Whether what was opened as name in directory, never through a link, is
// the entry that directory lists under that name. Wine opens through a
// host's link even with FILE_OPEN_REPARSE_POINT; only a listing shows its
// links as links, and what it opened must be the entry that the listing
// shows.
bool isListedAsItself(HANDLE directory, std::u16string_view name, HANDLE opened) {
    if (!underWine()) {
        return true;
    }
    ListedEntry listed;
    if (!listedEntryOf(directory, name, listed)) {
        return false;
    }
    if ((listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || listed.id != indexOf(opened)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

// The name that Wine holds handle under: the host path that it resolved when
// it opened it, in Windows' form without a drive. It lives in a buffer that
// the next call fills again, so that a move allocates nothing for it.
bool wineNameOf(HANDLE handle, std::u16string_view& name) {
    alignas(FILE_NAME_INFORMATION) static char buffer[sizeof(ULONG) + 0x8000 * sizeof(char16_t)];
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        ::NtQueryInformationFile(handle, &io, buffer, sizeof buffer, FileNameInformation);
    if (!NT_SUCCESS(status)) {
        setLastErrorFromStatus(status);
        return false;
    }
    const auto* const info = reinterpret_cast<const FILE_NAME_INFORMATION*>(buffer);
    name = std::u16string_view(reinterpret_cast<const char16_t*>(info->FileName),
                               info->FileNameLength / sizeof(char16_t));
    return true;
}

// The current directory's name under Wine, asked once for each directory
// made current rather than once for each of its entries; empty until then.
std::u16string currentWine;

const std::u16string* currentWineName() {
    std::u16string_view name;
    if (currentWine.empty() && wineNameOf(currentHandle(), name)) {
        currentWine = name;
    }
    return currentWine.empty() ? nullptr : &currentWine;
}

bool isNameIn(std::u16string_view path, std::u16string_view directory, std::u16string_view name) {
    if (!path.starts_with(directory)) {
        return false;
    }
    path.remove_prefix(directory.size());
    if (!endsWithSeparator(directory)) {
        if (path.empty() || path.front() != u'\\') {
            return false;
        }
        path.remove_prefix(1);
    }
    return path == name;
}

// Wine shows a mount point of the host as a junction: opened as itself it
// has the reparse-point bit and a mount point's tag, and a listing shows it
// with that bit, as it shows a link, and with no file id, as it shows every
// entry on another device than its directory. Opened through a link to it,
// it looks the same. Only the name that Wine holds the handle under tells
// the two apart: an open through a link is held under the path that the link
// leads to. The names are compared exactly: Wine finds a name in any case but
// holds an entry under its own, so a link "TMP" to "tmp" stays a link.
bool isHostMountPoint(HANDLE directory, std::u16string_view name, HANDLE opened) {
    FILE_ATTRIBUTE_TAG_INFORMATION tag{};
    IO_STATUS_BLOCK io{};
    constexpr DWORD mountPoint = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (!underWine() ||
        !NT_SUCCESS(
            ::NtQueryInformationFile(opened, &io, &tag, sizeof tag, FileAttributeTagInformation)) ||
        (tag.FileAttributes & mountPoint) != mountPoint ||
        tag.ReparseTag != IO_REPARSE_TAG_MOUNT_POINT) {
        return false;
    }
    std::u16string_view held;
    if (!wineNameOf(directory, held)) {
        return false;
    }
    const std::u16string parent(held);
    return wineNameOf(opened, held) && isNameIn(held, parent, name);
}

// A directory below a held one, opened as a walk opens one that it listed;
// under Wine, a mount point of the host's too, which is the directory that
// its path names on the host and no link.
OwnedHandle heldBelow(HANDLE directory, std::u16string_view name) {
    OwnedHandle below = openBelow(directory, name, listingAccess, FILE_DIRECTORY_FILE);
    if (!below || isHostMountPoint(directory, name, below.get())) {
        return below;
    }
    below = walkedDirectoryOnly(std::move(below));
    return below && isListedAsItself(directory, name, below.get()) ? std::move(below)
                                                                   : OwnedHandle();
}

}  // namespace

// A link, whether to a file or to a directory, is held under the path it
// leads to; so is an entry opened after its directory's path was swapped for
// a link.
bool isOpenedAsItself(HANDLE entry, std::u16string_view name) {
    const std::u16string* const directory = currentWineName();
    std::u16string_view held;
    if (directory == nullptr || !wineNameOf(entry, held)) {
        return false;
    }
    if (isNameIn(held, *directory, name)) {
        return true;
    }
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

bool pathLeadsTo(const std::wstring& path, LONGLONG index, OwnedHandle& byPath) {
    const HANDLE opened = ::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    byPath.reset(opened);
    if (index != -1 && indexOf(opened) == index) {
        return true;
    }
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// Under Wine the open follows a host's link, whose attributes are then its
// target's: only listings show Wine's links as links.
DWORD attributesBelow(HANDLE directory, std::u16string_view name) {
    const OwnedHandle entry = openBelow(directory, name, FILE_READ_ATTRIBUTES, 0);
    return entry ? attributesOf(entry.get()) : INVALID_FILE_ATTRIBUTES;
}

DWORD attributesOf(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFORMATION tag{};
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        ::NtQueryInformationFile(handle, &io, &tag, sizeof tag, FileAttributeTagInformation);
    if (!NT_SUCCESS(status)) {
        setLastErrorFromStatus(status);
        return INVALID_FILE_ATTRIBUTES;
    }
    return linkAttributes(tag.FileAttributes, tag.ReparseTag);
}

HANDLE currentHandle() {
    return currentAnchor != nullptr ? currentAnchor->handle.get() : currentOwned.get();
}

const OpenDirectory* currentDirectory() {
    return currentAnchor;
}

const std::u16string& currentPath() {
    return currentFull;
}

const std::u16string& currentLongPath() {
    return currentLong;
}

namespace {

// Whether a full path fits the process's current directory, which Windows
// and Wine keep in a MAX_PATH-sized buffer with a trailing separator.
bool fitsCurrentDirectory(std::u16string_view fullPath) {
    return withoutTrailingSeparators(fullPath).size() + 2 <= MAX_PATH;
}

// Whether resolvedAgainstCurrent leaves path as it is.
bool isResolvedAsGiven(const char16_t* path) {
    return currentLong.empty() || !isRelative(path);
}

}  // namespace

std::u16string resolvedAgainstCurrent(const char16_t* path) {
    const std::u16string_view text(path);
    if (isResolvedAsGiven(path)) {
        return std::u16string(text);
    }
    std::u16string joined = currentLong;
    joined += u'\\';
    joined += text;
    return joined;
}

void observeLimitedPaths(LimitedPathObserver observer) {
    limitedPathObserver = observer;
}

std::wstring forLimitedCall(const char16_t* path) {
    return observed(longPathForm(path));
}

bool underWine() {
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool findEntry(const char16_t* path, WIN32_FIND_DATAW* record) {
    const std::u16string name(withoutTrailingSeparators(path));
    const HANDLE search = ::FindFirstFileW(forLimitedCall(name.c_str()).c_str(), record);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(search);
    return true;
}

namespace {

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

// The current directory, made so by its handle and its full path.
void setCurrent(const OpenDirectory* anchor, OwnedHandle owned, std::u16string fullPath) {
    currentWine.clear();
    currentAnchor = anchor;
    currentOwned = std::move(owned);
    currentFull = std::move(fullPath);
    currentLong = fitsCurrentDirectory(currentFull) ? u"" : currentFull;
}

DWORD attributesByPath(const char16_t* path) {
    const DWORD attributes = ::GetFileAttributesW(forLimitedCall(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return attributes;
    }
    return withoutNonLinkReparse(path, attributes);
}

}  // namespace
}  // namespace platform::windows

namespace platform::os {

using namespace windows;

void closeSystemHandle(SystemHandle handle) {
    ::CloseHandle(handle);
}

void beforeFileCall() {}

std::size_t handleBudget() {
    return SIZE_MAX;
}

OwnedHandle openDirectoryByPath(std::u16string_view path, Following following, Identity&) {
    return openByPath(path, following);
}

// Below a held directory, a name that links may lead through is opened by
// its path, which the system resolves.
OwnedHandle openDirectoryBelow(const OpenDirectory& parent, std::u16string_view name,
                               Following following, Identity&) {
    const HANDLE directory = parent.handle.get();
    if (parent.held && following == Following::links) {
        std::u16string path = pathOf(parent, u'\\');
        if (!endsWithSeparator(path)) {
            path += u'\\';
        }
        path += name;
        return openByPath(path, following);
    }
    if (parent.held) {
        return heldBelow(directory, name);
    }
    OwnedHandle below =
        walkedDirectoryOnly(openBelow(directory, name, listingAccess, FILE_DIRECTORY_FILE));
    return below && (!underWine() || parent.listed.name != name ||
                     isListedEntry(parent, name, indexOf(below.get())))
               ? std::move(below)
               : OwnedHandle();
}

OwnedHandle reopenDirectory(const OpenDirectory& directory, Identity&) {
    return copyOf(directory.handle.get());
}

// Windows does not run out of handles before memory: no level is ever
// closed to make room for another.
OwnedHandle reopenCurrentDirectory(std::u16string& full) {
    if (currentHandle() == nullptr) {
        return {};
    }
    full = currentPath();
    return copyOf(currentHandle());
}

OwnedHandle openParentOf(const OpenDirectory&, Identity&) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return {};
}

Dword attributesBelow(const OpenDirectory& directory, std::u16string_view name) {
    return name.empty() ? attributesOf(directory.handle.get())
                        : windows::attributesBelow(directory.handle.get(), name);
}

Dword attributesByPath(PathText path) {
    return windows::attributesByPath(path.c_str());
}

bool enterOpenDirectory(const OpenDirectory& directory) {
    std::u16string full = pathOf(directory, u'\\');
    if (fitsCurrentDirectory(full) && !setProcessDirectory(full)) {
        return false;
    }
    setCurrent(&directory, {}, std::move(full));
    return true;
}

bool enterDirectory(OwnedHandle handle, std::u16string_view full) {
    const std::u16string path(full);
    if (fitsCurrentDirectory(path) && !setProcessDirectory(path)) {
        return false;
    }
    setCurrent(nullptr, std::move(handle), path);
    return true;
}

// The current directory takes over the handle of the open directory that
// closes.
void leavingDirectory(OpenDirectory& directory) {
    if (currentAnchor == &directory) {
        currentAnchor = nullptr;
        currentOwned = std::move(directory.handle);
    }
}

bool fullPathOf(PathText path, std::u16string& full) {
    const std::u16string resolved = resolvedAgainstCurrent(path.c_str());
    const DWORD needed = ::GetFullPathNameW(wide(resolved.c_str()), 0, nullptr, nullptr);
    full.assign(needed, u'\0');
    const DWORD length = needed == 0 ? 0
                                     : ::GetFullPathNameW(wide(resolved.c_str()), needed,
                                                          wide(full.data()), nullptr);
    if (length == 0 || length >= needed) {
        return false;
    }
    full.resize(length);
    return true;
}

bool entryPathOf(PathText path, std::u16string& full) {
    full = resolvedAgainstCurrent(path.c_str());
    return true;
}

std::u16string_view asResolved(PathText path, std::u16string& scratch) {
    if (isResolvedAsGiven(path.c_str())) {
        return path;
    }
    scratch = resolvedAgainstCurrent(path.c_str());
    return scratch;
}

}  // namespace platform::os
