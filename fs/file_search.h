// Listing one directory's entries, as the walk reads them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

// Whether a find record's name is "." or "..", which name no entry of their own.
bool isDotOrDotDot(const char16_t* name);

// The entries of one directory, one at a time, "." and ".." left out. The
// record handed out is the search's own: it stays valid until the next open or
// next, so a walk allocates nothing per entry.
//
// States: Closed (no handle), Positioned (open found an entry that next has
// not yet handed out), Walking, Exhausted (the handle stays open, next gives
// nothing).
class FileSearch {
public:
    FileSearch() = default;
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    virtual ~FileSearch();

    // Starts listing the directory path (which may be null) and returns its
    // first entry, or null when there is none to give.
    const platform::FindData* open(const char16_t* path);
    // Starts listing the entry that parent handed out last, as open does with
    // parent's currentPath, but sharing parent's path rather than copying it:
    // a walk n levels deep then keeps each level's name once, not n paths
    // that grow with n.
    const platform::FindData* openCurrentOf(const FileSearch& parent);
    // The next entry, or null when the listing is over. The first call after
    // a successful open hands out the entry that open found.
    const platform::FindData* next();
    // Reads the whole listing at once, right after open, for a caller that
    // must know every name of the directory before it renames the first:
    // gives their names, and next then hands the entries out from memory.
    // The views last until the next open or close.
    std::vector<std::u16string_view> readAhead();
    // The entry that next handed out last, or null before it handed out one.
    const platform::FindData* current() const;
    // The current entry's path: the directory given to open, a separator and
    // the entry's name.
    std::u16string currentPath() const;
    void close();

private:
    // A listed directory's path, with its trailing separator: the whole of
    // it for a search opened by path, else its parent's and one name.
    struct Directory {
        std::shared_ptr<const Directory> parent;
        std::u16string text;
        std::size_t length = 0;  // of the whole path
    };
    static void pathOf(const Directory& directory, std::u16string& path);
    // Lists the directory listed, whose path (with its separator) is path.
    const platform::FindData* start(std::shared_ptr<const Directory> listed, std::u16string& path);

    // An entry read ahead of next.
    struct Ahead {
        platform::Dword attributes = 0;
        std::u16string name;
    };
    const platform::FindData* nextAhead();

    platform::Handle handle = platform::invalidHandleValue;
    platform::FindData findData;
    std::vector<Ahead> ahead;
    std::size_t aheadAt = 0;
    bool readingAhead = false;
    std::shared_ptr<const Directory> directory;
    std::u16string pattern;
    bool pending = true;
};

}  // namespace kestrel
