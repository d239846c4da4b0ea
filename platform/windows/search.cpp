// Windows backend only: the listings of directory searches.
//
// The listing is NtQueryDirectoryFile's, which FindFirstFileW itself reads,
// so names match a pattern exactly as they would there. It is read whole: a
// listing may or may not hand out again an entry that was renamed after it
// began, and the walk renames the entries while it lists them.
#include "platform/windows/search.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_text.h"
#include "platform/windows/directories.h"
#include "platform/windows/reparse.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE routine,
                                               PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                                               ULONG size, FILE_INFORMATION_CLASS kind,
                                               BOOLEAN singleEntry, PUNICODE_STRING mask,
                                               BOOLEAN restart);

namespace platform::windows {
namespace {

constexpr NTSTATUS statusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS statusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);

// "*" and "*.*" match every name, and are not given to the system.
bool matchesEverything(std::u16string_view mask) {
    return mask == u"*" || mask == u"*.*";
}

// The entries of one directory, as file_system.h says: each is its
// attributes, its file id and its name, packed into one buffer, so memory
// grows with the largest directory, a few units beyond the names.
class Entries {
public:
    bool read(HANDLE directory, std::u16string_view mask) {
        alignas(LARGE_INTEGER) static char chunk[64 * 1024];
        UNICODE_STRING text;
        text.Length = static_cast<USHORT>(mask.size() * sizeof(char16_t));
        text.MaximumLength = text.Length;
        text.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(mask.data()));
        PUNICODE_STRING filter = matchesEverything(mask) ? nullptr : &text;
        for (bool first = true;; first = false) {
            IO_STATUS_BLOCK io{};
            const NTSTATUS status = ::NtQueryDirectoryFile(
                directory, nullptr, nullptr, nullptr, &io, chunk, sizeof chunk,
                FileIdBothDirectoryInformation, FALSE, first ? filter : nullptr, first);
            if (status == statusNoMoreFiles || (first && status == statusNoSuchFile)) {
                return true;
            }
            if (!NT_SUCCESS(status)) {
                if (first) {
                    ::SetLastError(::RtlNtStatusToDosError(status));
                    return false;
                }
                readErrorCode = ::RtlNtStatusToDosError(status);
                return true;
            }
            addAll(chunk);
        }
    }

    void sortById() {
        std::stable_sort(order.begin(), order.end(),
                         [](const Entry& a, const Entry& b) { return a.id < b.id; });
    }

    // The next entry, or false once all were handed out.
    bool next(ListedEntry& entry) {
        if (position >= order.size()) {
            return false;
        }
        const char16_t* const header = packed.data() + order[position++].at;
        entry.attributes = header[0] | DWORD{header[1]} << 16;
        std::uint64_t id = 0;
        for (int i = 5; i >= 2; --i) {
            id = id << 16 | header[i];
        }
        entry.id = static_cast<LONGLONG>(id);
        const std::size_t length = header[6];
        entry.name = std::u16string_view(header + headerUnits, length);
        return true;
    }

    // The error that cut the reading short, or 0.
    DWORD readError() const { return readErrorCode; }

private:
    // The reparse tag of an entry that has one is in its EaSize, as the
    // system's own FindFirstFileW reads it.
    void addAll(const char* chunk) {
        for (std::size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(chunk + at);
            const std::size_t length = entry->FileNameLength / sizeof(char16_t);
            if (length < maxPath) {
                order.push_back(
                    {static_cast<std::uint64_t>(entry->FileId.QuadPart), packed.size()});
                const DWORD attributes = linkAttributes(entry->FileAttributes, entry->EaSize);
                packed.push_back(static_cast<char16_t>(attributes & 0xFFFF));
                packed.push_back(static_cast<char16_t>(attributes >> 16));
                auto id = static_cast<std::uint64_t>(entry->FileId.QuadPart);
                for (int i = 0; i < 4; ++i, id >>= 16) {
                    packed.push_back(static_cast<char16_t>(id & 0xFFFF));
                }
                packed.push_back(static_cast<char16_t>(length));
                packed.append(reinterpret_cast<const char16_t*>(entry->FileName), length);
            }
            if (entry->NextEntryOffset == 0) {
                return;
            }
            at += entry->NextEntryOffset;
        }
    }

    // Attributes, file id and name length ahead of each name.
    static constexpr std::size_t headerUnits = 7;

    struct Entry {
        std::uint64_t id;
        std::size_t at;  // in packed
    };

    std::u16string packed;
    std::vector<Entry> order;
    std::size_t position = 0;
    DWORD readErrorCode = 0;
};

}  // namespace

// A handle of its own: the mask of a directory handle's first listing holds
// for every later one.
bool listedEntryOf(HANDLE directory, std::u16string_view name, ListedEntry& entry) {
    const OwnedHandle own = openBelow(directory, u"", FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    Entries listing;
    if (!own || !listing.read(own.get(), name)) {
        return false;
    }
    if (!listing.next(entry)) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    entry.name = {};
    return true;
}

}  // namespace platform::windows

namespace platform::os {

using namespace windows;

class Listing : public Entries {};

// A name part that is empty matches nothing; the directory part still has
// to be there.
Listing* listDirectory(const OpenDirectory& directory, std::u16string_view mask) {
    if (mask.empty()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto listing = std::make_unique<Listing>();
    if (!listing->read(directory.handle.get(), mask)) {
        return nullptr;
    }
    listing->sortById();
    return listing.release();
}

bool nextListed(Listing& listing, const OpenDirectory&, FindData& found, ListedEntry& listed) {
    if (!listing.next(listed)) {
        const DWORD error = listing.readError();
        ::SetLastError(error == 0 ? ERROR_NO_MORE_FILES : error);
        return false;
    }
    found.dwFileAttributes = listed.attributes;
    std::copy(listed.name.begin(), listed.name.end(), found.cFileName);
    found.cFileName[listed.name.size()] = u'\0';
    return true;
}

void closeListing(Listing* listing) {
    delete listing;
}

}  // namespace platform::os
