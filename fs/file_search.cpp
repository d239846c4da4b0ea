// The directory search over the platform's find services.
#include "fs/file_search.h"

#include "fs/path.h"
#include "fs/wildcard.h"

namespace kestrel {

FileSearch::~FileSearch() {
    close();
}

void FileSearch::close() {
    pending = true;
    if (handle != platform::invalidHandleValue) {
        platform::FindClose(handle);
    }
    handle = platform::invalidHandleValue;
}

bool isDotOrDotDot(const char16_t* name) {
    return platform::lstrcmpW(name, u".") == 0 || platform::lstrcmpW(name, u"..") == 0;
}

const platform::FindData* FileSearch::open(const char16_t* path) {
    close();
    if (path == nullptr) {
        return nullptr;
    }
    const platform::Dword attributes = platform::GetFileAttributesW(path);
    if (attributes == platform::invalidFileAttributes ||
        (attributes & platform::fileAttributeDirectory) == 0) {
        return nullptr;
    }
    directory = withTrailingSeparator(path);
    pattern.assign(1, u'*');
    handle = platform::FindFirstFileExW((directory + u"*").c_str(), &findData);
    if (handle == platform::invalidHandleValue) {
        return nullptr;
    }
    while (isDotOrDotDot(findData.cFileName)) {
        if (!platform::FindNextFileW(handle, &findData)) {
            close();
            return nullptr;
        }
    }
    return &findData;
}

const platform::FindData* FileSearch::next() {
    if (handle == platform::invalidHandleValue || pattern.empty()) {
        return nullptr;
    }
    if (pending) {
        pending = false;
        return &findData;
    }
    while (platform::FindNextFileW(handle, &findData)) {
        if (!isDotOrDotDot(findData.cFileName) && matchWildcard(findData.cFileName, pattern)) {
            return &findData;
        }
    }
    return nullptr;
}

const platform::FindData* FileSearch::current() const {
    return handle != platform::invalidHandleValue && !pending ? &findData : nullptr;
}

std::u16string FileSearch::currentPath() const {
    return directory + findData.cFileName;
}

}  // namespace kestrel
