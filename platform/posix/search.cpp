// POSIX backend only, to emulate Windows: the listings of directory searches.
//
// A walk of a large tree lists every directory once, so the per-entry path is
// kept lean: the entry type comes from readdir where the file system gives it,
// the buffers live in the search and are reused, and a pattern that matches
// every name is never compared.

#include <dirent.h>
#include <fcntl.h>
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

namespace platform::posix {
namespace {

// The entries of one directory, as file_system.h says. Each entry is its
// type, its inode and its name, packed into one buffer: memory grows with
// the largest directory, a few bytes beyond the names.
class Entries {
public:
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 30))
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
                return true;
            }
            for (ssize_t at = 0; at < size;) {
                const auto* entry = reinterpret_cast<const dirent64*>(chunk + at);
                add(entry->d_type, entry->d_ino, entry->d_name);
                at += entry->d_reclen;
            }
        }
    }
#else
    // Reads descriptor's entries through a stream of its own, so that the
    // descriptor stays open for what the walk does in the directory.
    bool read(int descriptor) {
        const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
        DIR* stream = copy < 0 ? nullptr : ::fdopendir(copy);
        if (stream == nullptr) {
            const int e = errno;
            if (copy >= 0) {
                ::close(copy);
            }
            setLastErrorFromErrno(e);
            return false;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(stream);
            if (entry == nullptr) {
                break;
            }
            add(typeOf(*entry), entry->d_ino, entry->d_name);
        }
        readErrno = errno;
        ::closedir(stream);
        return true;
    }
#endif

    void sortByInode() {
        std::stable_sort(order.begin(), order.end(),
                         [](const Entry& a, const Entry& b) { return a.inode < b.inode; });
    }

    // The next entry's type, inode and name, or false once all were handed
    // out.
    bool next(unsigned char& type, ino_t& inode, const char*& name) {
        if (position >= order.size()) {
            return false;
        }
        const Entry& entry = order[position++];
        type = static_cast<unsigned char>(packed[entry.at]);
        inode = entry.inode;
        name = packed.c_str() + entry.at + 1;
        return true;
    }

    // The error that cut the reading short, or 0.
    int readError() const {
        return readErrno;
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

    static unsigned char typeOf([[maybe_unused]] const dirent& entry) {
#ifdef _DIRENT_HAVE_D_TYPE
        return entry.d_type;
#else
        return DT_UNKNOWN;
#endif
    }

    std::string packed;
    std::vector<Entry> order;
    std::size_t position = 0;
    int readErrno = 0;
};

}  // namespace

}  // namespace platform::posix

namespace platform::os {

using namespace posix;

class Listing {
public:
    explicit Listing(std::u16string_view mask) : pattern(mask) {}

    bool read(int descriptor) {
        if (!entries.read(descriptor)) {
            return false;
        }
        entries.sortByInode();
        return true;
    }

    bool next(const OpenDirectory& directory, FindData& found, ListedEntry& listed) {
        unsigned char type = DT_UNKNOWN;
        ino_t inode = 0;
        const char* name = nullptr;
        while (entries.next(type, inode, name)) {
            if (take(directory, type, name, found)) {
                listed = {decodedName, found.dwFileAttributes, static_cast<std::int64_t>(inode)};
                return true;
            }
        }
        const int e = entries.readError();
        e == 0 ? setLastError(errorNoMoreFiles) : setLastErrorFromErrno(e);
        return false;
    }

private:
    bool take(const OpenDirectory& directory, unsigned char type, const char* name,
              FindData& found) {
        decodedName.clear();
        decode(name, Backslash::nameCharacter, decodedName);
        if (decodedName.size() >= maxPath || !pattern.matches(decodedName)) {
            return false;
        }
        found.dwFileAttributes = attributesOf(directory, type, name);
        std::copy(decodedName.begin(), decodedName.end(), found.cFileName);
        found.cFileName[decodedName.size()] = u'\0';
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
        const int fd = directory.handle.get();
        Status status;
        if (!statusAt(fd, name, status)) {
            // The entry went away since it was listed: a plain entry is one
            // that no walk tries to enter.
            return fileAttributeNormal;
        }
        const Dword attributes = posix::attributesOf(status.mode, fd, name);
        return isOtherFileSystem(status, static_cast<dev_t>(directory.identity.volume))
                   ? attributes | fileAttributeReparsePoint
                   : attributes;
    }

    Entries entries;
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
