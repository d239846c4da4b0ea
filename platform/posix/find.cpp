// FindFirstFileW and its companions over readdir.
//
// A walk of a large tree lists every directory once, so the per-entry path is
// kept lean: the entry type comes from readdir where the file system gives it,
// the buffers live in the search and are reused, and a pattern that matches
// every name is never compared.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/files.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"

namespace platform::posix {
namespace {

void lowerInPlace(std::u16string& text) {
    for (char16_t& c : text) {
        c = CharLowerW(c);
    }
}

// '*' and '?' against a name, both already in lower case. The star that was
// seen last is the only one ever retried, which keeps the match linear in
// practice and free of recursion.
bool matchesLowered(std::u16string_view name, std::u16string_view pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t retryPattern = std::u16string_view::npos;
    std::size_t retryName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            retryPattern = ++p;
            retryName = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (retryPattern != std::u16string_view::npos) {
            p = retryPattern;
            n = ++retryName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

// The name part of a search pattern, matched the way Windows users expect:
// letter case ignored, "*" and "*.*" match every name, and a final ".*" may
// also match nothing ("readme.*" finds "readme").
class NamePattern {
public:
    explicit NamePattern(std::u16string_view text) : lowered_(text) {
        lowerInPlace(lowered_);
        std::u16string_view view(lowered_);
        bool onlyStars = !view.empty() && view.find_first_not_of(u'*') == std::u16string_view::npos;
        matchesEverything_ = onlyStars || view == u"*.*";
        extensionOptional_ = view.size() >= 2 && view.substr(view.size() - 2) == u".*";
    }

    // scratch receives the lowered name; it is the caller's so that its
    // storage outlives one call.
    bool matches(std::u16string_view name, std::u16string& scratch) const {
        if (matchesEverything_) {
            return true;
        }
        scratch.assign(name);
        lowerInPlace(scratch);
        std::u16string_view pattern(lowered_);
        return matchesLowered(scratch, pattern) ||
               (extensionOptional_ &&
                matchesLowered(scratch, pattern.substr(0, pattern.size() - 2)));
    }

private:
    std::u16string lowered_;
    bool matchesEverything_ = false;
    bool extensionOptional_ = false;
};

Dword attributesOfEntry(int directory, const dirent& entry) {
#ifdef _DIRENT_HAVE_D_TYPE
    switch (entry.d_type) {
        case DT_DIR:
            return fileAttributeDirectory;
        case DT_UNKNOWN:
        case DT_LNK:
            break;
        default:
            return fileAttributeNormal;
    }
#endif
    struct stat status;
    if (::fstatat(directory, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        // The entry went away since readdir listed it: a plain entry is one
        // that no walk tries to enter.
        return fileAttributeNormal;
    }
    return attributesOf(status, directory, entry.d_name);
}

// One open search: a directory stream and the buffers that its entries pass
// through.
class Search {
public:
    Search(DIR* stream, std::u16string_view pattern) : stream_(stream), pattern_(pattern) {}
    ~Search() { ::closedir(stream_); }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    // The next entry whose name matches, or false with errorNoMoreFiles (or
    // the error of the read) as the last error.
    bool next(FindData& found) {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(stream_);
            if (entry == nullptr) {
                int e = errno;
                e == 0 ? setLastError(errorNoMoreFiles) : setLastErrorFromErrno(e);
                return false;
            }
            if (take(*entry, found)) {
                return true;
            }
        }
    }

private:
    bool take(const dirent& entry, FindData& found) {
        name_.clear();
        decode(entry.d_name, Backslash::nameCharacter, name_);
        if (name_.size() >= maxPath || !pattern_.matches(name_, lowered_)) {
            return false;
        }
        found.dwFileAttributes = attributesOfEntry(::dirfd(stream_), entry);
        std::copy(name_.begin(), name_.end(), found.cFileName);
        found.cFileName[name_.size()] = u'\0';
        return true;
    }

    DIR* stream_;
    NamePattern pattern_;
    std::u16string name_;
    std::u16string lowered_;
};

// A walk holds one open directory per level, far more than the usual soft
// limit of 1024 descriptors on a deep tree.
void raiseOpenFileLimitOnce() {
    static bool const raised = [] {
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
            return false;
        }
        limit.rlim_cur = limit.rlim_max;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    static_cast<void>(raised);
}

// The directory part of pattern: everything up to its last separator, or the
// current directory. The whole pattern is encoded so that a name part that
// could never match a byte name fails as the directory part would.
DIR* openDirectoryOf(const char16_t* pattern) {
    std::string encoded;
    if (!encodeForSystem(pattern, encoded)) {
        return nullptr;
    }
    std::size_t cut = encoded.rfind('/');
    encoded.resize(cut == std::string::npos ? 0 : cut + 1);
    raiseOpenFileLimitOnce();
    DIR* stream = ::opendir(encoded.empty() ? "." : encoded.c_str());
    if (stream == nullptr) {
        int e = errno;
        // Windows reports a missing directory as a missing path even where
        // its last component is all that is missing.
        e == ENOENT ? setLastError(errorPathNotFound) : setLastErrorFromErrno(e);
    }
    return stream;
}

Search* searchOf(Handle handle) {
    if (handle == nullptr || handle == invalidHandleValue) {
        setLastError(errorInvalidHandle);
        return nullptr;
    }
    return static_cast<Search*>(handle);
}

}  // namespace
}  // namespace platform::posix

namespace platform {

Handle FindFirstFileW(const char16_t* pattern, FindData* found) {
    if (pattern == nullptr || found == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return invalidHandleValue;
    }
    DIR* stream = posix::openDirectoryOf(pattern);
    if (stream == nullptr) {
        return invalidHandleValue;
    }
    std::u16string_view text(pattern);
    std::size_t cut = text.find_last_of(u"/\\");
    std::u16string_view name = cut == std::u16string_view::npos ? text : text.substr(cut + 1);
    auto search = std::make_unique<posix::Search>(stream, name);
    if (!search->next(*found)) {
        if (GetLastError() == errorNoMoreFiles) {
            posix::setLastError(errorFileNotFound);
        }
        return invalidHandleValue;
    }
    return search.release();
}

Handle FindFirstFileExW(const char16_t* pattern, FindData* found) {
    return FindFirstFileW(pattern, found);
}

Bool FindNextFileW(Handle search, FindData* found) {
    posix::Search* open = posix::searchOf(search);
    if (open == nullptr) {
        return 0;
    }
    if (found == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    return open->next(*found) ? 1 : 0;
}

Bool FindClose(Handle search) {
    posix::Search* open = posix::searchOf(search);
    delete open;
    return open != nullptr ? 1 : 0;
}

}  // namespace platform
