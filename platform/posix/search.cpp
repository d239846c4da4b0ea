// POSIX backend only, to emulate Windows: the listings of directory searches.
//
// A walk of a large tree lists every directory once, so the per-entry path is
// kept lean: the entry type comes from getdents64 where the file system gives it,
// the buffers live in the search and are reused, and a pattern that matches
// every name is never compared.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/name_codec.h"
#include "platform/name_pattern.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/paths.h"

namespace platform::os {

using namespace posix;

// The entries of one directory, as file_system.h says, handed out in the
// order of their inodes. Each is its type, its inode and its name, packed
// into one buffer: memory grows with the largest directory, a few bytes
// beyond the names.
class Listing {
public:
    explicit Listing(std::u16string_view mask) : pattern(mask) {}

    // Reads the search's own descriptor straight from the system: it was
    // opened for this listing, and a directory stream over a copy of it would
    // cost four more system calls per directory of a walk. Its offset means
    // nothing to what the walk does with it afterwards.
    bool read(int descriptor) {
        alignas(dirent64) char chunk[32 * 1024];
        for (bool first = true;; first = false) {
            const ssize_t size = ::getdents64(descriptor, chunk, sizeof chunk);
            if (size < 0 && errno == EINTR) {
                continue;
            }
            if (size < 0 && first) {
                setLastErrorFromErrno(errno);
                return false;
            }
            if (size <= 0) {
                readErrno = size < 0 ? errno : 0;
                std::stable_sort(order.begin(), order.end(),
                                 [](const Entry& a, const Entry& b) { return a.inode < b.inode; });
                return true;
            }
            for (ssize_t at = 0; at < size;) {
                const auto* entry = reinterpret_cast<const dirent64*>(chunk + at);
                add(entry->d_type, entry->d_ino, entry->d_name);
                at += entry->d_reclen;
            }
        }
    }

    bool next(const OpenDirectory& directory, FindData& found, ListedEntry& listed) {
        while (position < order.size()) {
            const Entry& entry = order[position++];
            const auto type = static_cast<unsigned char>(packed[entry.at]);
            if (take(directory, type, packed.c_str() + entry.at + 1, found)) {
                listed = {decodedName, found.dwFileAttributes,
                          static_cast<std::int64_t>(entry.inode)};
                return true;
            }
        }
        readErrno == 0 ? setLastError(errorNoMoreFiles) : setLastErrorFromErrno(readErrno);
        return false;
    }

private:
    struct Entry {
        ino_t inode;
        std::size_t at;  // in packed
    };

    void add(unsigned char type, ino_t inode, const char* name) {
        order.push_back({inode, packed.size()});
        packed.push_back(static_cast<char>(type));
        packed.append(name);
        packed.push_back('\0');
    }

    bool take(const OpenDirectory& directory, unsigned char type, const char* name,
              FindData& found) {
        decodedName.clear();
        decode(name, Backslash::nameCharacter, decodedName);
        if (decodedName.size() >= maxPath || !pattern.matches(decodedName)) {
            return false;
        }
        found.dwFileAttributes = attributesOf(directory, type, name);
        copyOut(decodedName, maxPath, found.cFileName);
        return true;
    }

    // The listing's type is enough for a directory: whether it lies on
    // another file system is asked where a walk would enter it, by the
    // anchored open, which refuses such a directory, so its listing need not
    // ask too. Links, and the entries of file systems that give no type, are
    // looked at.
    static Dword attributesOf(const OpenDirectory& directory, unsigned char type,
                              const char* name) {
        switch (type) {
            case DT_DIR:
                return fileAttributeDirectory;
            case DT_UNKNOWN:
            case DT_LNK:
                break;
            default:
                return fileAttributeNormal;
        }
        const Dword attributes = posix::attributesAt(directory.handle.get(), name,
                                                     static_cast<dev_t>(directory.identity.volume));
        // An entry that went away since it was listed is a plain one, which
        // no walk tries to enter.
        return attributes != invalidFileAttributes ? attributes : fileAttributeNormal;
    }

    std::string packed;
    std::vector<Entry> order;
    std::size_t position = 0;
    int readErrno = 0;  // what cut the reading short
    NamePattern pattern;
    std::u16string decodedName;
};

// A name part that could never match a byte name fails as the directory part
// would.
Listing* listDirectory(const OpenDirectory& directory, std::u16string_view mask) {
    std::string scratch;
    if (!encodeForSystem(mask, scratch)) {
        return nullptr;
    }
    auto listing = std::make_unique<Listing>(mask);
    return listing->read(directory.handle.get()) ? listing.release() : nullptr;
}

bool nextListed(Listing& listing, const OpenDirectory& directory, FindData& found,
                ListedEntry& listed) {
    return listing.next(directory, found, listed);
}

void closeListing(Listing* listing) {
    delete listing;
}

}  // namespace platform::os
