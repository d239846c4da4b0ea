// The open directories of both backends, known by their paths. Only
// platform/ includes this header.
//
// A walk n levels deep keeps n open directories. Each keeps its parent and
// its own name rather than its whole path, so they hold n names, not n paths
// that grow with n. The layers above still ask for them by whole paths,
// almost always for one of the levels of the path opened last: that path is
// kept whole once, and a path asked for is compared with it at once rather
// than name by name up a chain.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

struct DirectoryPath {
    // The open directory it was opened from, and its name there; or, with no
    // parent, its whole path.
    DirectoryPath* parent = nullptr;
    std::u16string name;
    std::size_t length = 0;  // of its whole path, without trailing separators
    bool onChain = false;    // a level of the path opened last
};

// The whole path of a directory, its names joined by separator.
std::u16string pathOf(const DirectoryPath& directory, char16_t separator);

class DirectoryPaths {
public:
    // separator: what the backend puts between a parent's path and a name.
    explicit DirectoryPaths(char16_t separator) : separator(separator) {}

    void add(DirectoryPath& directory);
    // Forgets directory; those opened below it keep their whole path
    // instead. False when it was not known.
    bool remove(DirectoryPath& directory);

    // The directory that path names, or that holds the entry path names;
    // name is then empty, or the entry's name ("." and ".." name no entry).
    // Null for any other path.
    DirectoryPath* anchorOf(std::u16string_view path, std::u16string_view& name) const;
    std::u16string pathOf(const DirectoryPath& directory) const {
        return platform::pathOf(directory, separator);
    }

    bool contains(const DirectoryPath* directory) const;

    // In the order they were added: a walk's levels, shallowest first.
    const std::vector<DirectoryPath*>& inOrder() const { return ordered; }

private:
    DirectoryPath* at(std::u16string_view path) const;
    bool isPathOf(const DirectoryPath& directory, std::u16string_view path) const;
    void extendChain(DirectoryPath& directory);
    void shortenChain(DirectoryPath& directory);
    void markChain(DirectoryPath* top, bool on);

    char16_t separator;
    std::vector<DirectoryPath*> ordered;
    // By the length of their paths, which tells most of them apart at once.
    std::unordered_map<std::size_t, std::vector<DirectoryPath*>> byLength;
    // The whole path of the directory opened last, whose levels are onChain.
    std::u16string chainPath;
    DirectoryPath* chainTop = nullptr;
};

}  // namespace platform
