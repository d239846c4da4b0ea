// The benchmark's floor: the least that any program behaving like ansifold
// must ask of the system, against which ansifold's own time is measured.
//
// bench/ stands outside the layers, so this file calls POSIX directly.
//
// It walks the tree named by its one argument children-first and, for each
// entry, makes exactly the calls that the behaviour needs: the entry's
// directory made current by its full path, one write of the old name's line,
// the rename (renameat2 without replacing) or, for a name that stays, a check
// that the entry exists, and one write of the outcome's line. Lines go out as
// UTF-16LE, as ansifold writes them to a redirected standard output.
//
// There is no folding to speak of: every two-byte UTF-8 sequence (accented
// Latin letters) becomes "_", every four-byte one (emoji) "__", and everything
// else stays. For the benchmark's names that changes the same entries as the
// fold through code page 932 does. Input is trusted to be well-formed UTF-8
// on a file system that reports entry types.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Each level of the walk holds one open directory.
void raiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The length of the UTF-8 sequence at i, as its lead byte announces it.
std::size_t sequenceAt(const std::string& name, std::size_t i) {
    const auto lead = static_cast<unsigned char>(name[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, name.size() - i);
}

std::string folded(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = sequenceAt(name, i);
        if (length == 2 || length == 4) {
            out.append(length / 2, '_');
        } else {
            out.append(name, i, length);
        }
        i += length;
    }
    return out;
}

// Makes line the UTF-16 text of prefix, name and a line feed.
void makeLine(std::u16string& line, const char16_t* prefix, const std::string& name) {
    line = prefix;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = sequenceAt(name, i);
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3F);
        }
        if (c >= 0x10000) {
            line += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            line += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            line += static_cast<char16_t>(c);
        }
        i += length;
    }
    line += u'\n';
}

void writeLine(const char16_t* prefix, const std::string& name) {
    static std::u16string line;
    makeLine(line, prefix, name);
    const ssize_t ignored = write(STDOUT_FILENO, line.data(), line.size() * sizeof(char16_t));
    static_cast<void>(ignored);
}

void renameEntry(const std::string& name, const std::string& directory) {
    const bool inDirectory = chdir(directory.c_str()) == 0;
    writeLine(u"", name);
    const std::string target = folded(name);
    struct stat status;
    const bool moved =
        inDirectory && (target == name ? lstat(name.c_str(), &status) == 0
                                       : renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, target.c_str(),
                                                   RENAME_NOREPLACE) == 0);
    writeLine(moved ? u"->" : u"->リネーム失敗: ", target);
}

void renameTree(const std::string& directory) {
    DIR* stream = opendir(directory.c_str());
    if (stream == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(stream)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        const std::string name = entry->d_name;
        if (entry->d_type == DT_DIR) {
            renameTree(directory + "/" + name);
        }
        renameEntry(name, directory);
    }
    closedir(stream);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: floor directory\n", stderr);
        return 1;
    }
    raiseOpenFileLimit();
    std::string path = argv[1];
    char current[PATH_MAX];
    if (path[0] != '/') {
        if (getcwd(current, sizeof current) == nullptr) {
            std::perror("floor");
            return 1;
        }
        path = std::string(current) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t cut = path.rfind('/');
    if (cut + 1 == path.size()) {
        std::fputs("floor: refusing to rename a whole file system\n", stderr);
        return 1;
    }
    renameTree(path);
    renameEntry(path.substr(cut + 1), cut == 0 ? "/" : path.substr(0, cut));
    return 0;
}
