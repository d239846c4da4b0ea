// The directory search over the platform's find services.
#include "fs/file_search.h"

#include <algorithm>

#include "fs/path.h"
#include "fs/wildcard.h"

namespace kestrel {

FileSearch::~FileSearch() {
    close();
}

void FileSearch::close() {
    pending = true;
    readingAhead = false;
    ahead.clear();
    aheadAt = 0;
    if (handle != platform::invalidHandleValue) {
        platform::FindClose(handle);
    }
    handle = platform::invalidHandleValue;
}

bool isDotOrDotDot(const char16_t* name) {
    return platform::lstrcmpW(name, u".") == 0 || platform::lstrcmpW(name, u"..") == 0;
}

namespace {

bool isListableDirectory(platform::PathText path) {
    const platform::Dword attributes = platform::GetFileAttributesW(path);
    return attributes != platform::invalidFileAttributes &&
           (attributes & platform::fileAttributeDirectory) != 0;
}

}  // namespace

const platform::FindData* FileSearch::open(const char16_t* path) {
    close();
    if (path == nullptr || *path == u'\0' || !isListableDirectory(path)) {
        return nullptr;
    }
    auto listed = std::make_shared<Directory>();
    listed->text = withTrailingSeparator(path);
    listed->length = listed->text.size();
    std::u16string pattern = listed->text;
    return start(std::move(listed), pattern);
}

const platform::FindData* FileSearch::openCurrentOf(const FileSearch& parent) {
    const platform::FindData* const entry = parent.current();
    if (entry == nullptr) {
        close();
        return nullptr;
    }
    auto listed = std::make_shared<Directory>();
    listed->parent = parent.directory;
    listed->text = entry->cFileName;
    listed->text += parent.directory->text.back();
    listed->length = parent.directory->length + listed->text.size();
    close();
    // Each level's path is a little longer than the one before: built in one
    // buffer kept for every search, no freed shorter copy is left behind per
    // level for a heap to fill with the walk's small allocations. A walk
    // going one level deeper extends the path built last by one name, rather
    // than building it again from every level's.
    static std::u16string path;
    // The directory whose path, with its separator, path starts with. Not
    // owned: the last one owner of a walk's whole chain would destroy it one
    // level inside the other, deeper than the program's stack allows.
    static std::weak_ptr<const Directory> pathOwner;
    const std::shared_ptr<const Directory> owner = pathOwner.lock();
    if (owner != nullptr && owner == listed->parent) {
        path.resize(owner->length);
        path += listed->text;
    } else {
        pathOf(*listed, path);
    }
    pathOwner.reset();
    path.pop_back();
    if (!isListableDirectory(path)) {
        return nullptr;
    }
    path += listed->text.back();
    pathOwner = listed;
    return start(std::move(listed), path);
}

void FileSearch::pathOf(const Directory& directory, std::u16string& path) {
    path.resize(directory.length);
    for (const Directory* level = &directory; level != nullptr; level = level->parent.get()) {
        std::copy(level->text.begin(), level->text.end(),
                  path.begin() + static_cast<std::ptrdiff_t>(level->length - level->text.size()));
    }
}

const platform::FindData* FileSearch::start(std::shared_ptr<const Directory> listed,
                                            std::u16string& path) {
    directory = std::move(listed);
    pattern.assign(1, u'*');
    path += u'*';
    handle = platform::FindFirstFileExW(path, &findData);
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
    if (readingAhead) {
        return nextAhead();
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

std::vector<std::u16string_view> FileSearch::readAhead() {
    if (!readingAhead && handle != platform::invalidHandleValue && pending) {
        pending = false;
        for (const platform::FindData* entry = &findData; entry != nullptr; entry = next()) {
            ahead.push_back({entry->dwFileAttributes, entry->cFileName});
        }
        readingAhead = true;
        pending = true;
    }
    std::vector<std::u16string_view> names;
    for (const Ahead& entry : ahead) {
        names.emplace_back(entry.name);
    }
    return names;
}

const platform::FindData* FileSearch::nextAhead() {
    if (aheadAt == ahead.size()) {
        return nullptr;
    }
    pending = false;
    const Ahead& entry = ahead[aheadAt++];
    findData.dwFileAttributes = entry.attributes;
    std::copy(entry.name.begin(), entry.name.end(), findData.cFileName);
    findData.cFileName[entry.name.size()] = u'\0';
    return &findData;
}

const platform::FindData* FileSearch::current() const {
    return handle != platform::invalidHandleValue && !pending ? &findData : nullptr;
}

std::u16string FileSearch::currentPath() const {
    std::u16string path;
    if (directory != nullptr) {
        pathOf(*directory, path);
    }
    path += findData.cFileName;
    return path;
}

}  // namespace kestrel
