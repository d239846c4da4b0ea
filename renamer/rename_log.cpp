// The file a log is appended to, and the way from a run's directories to
// the records that name them.
#include "renamer/rename_log.h"

#include <array>

#include "fs/path.h"
#include "renamer/dry_run.h"

namespace ansifold {

namespace {

constexpr platform::Dword shareAll =
    platform::fileShareRead | platform::fileShareWrite | platform::fileShareDelete;

// Runs that share a log take turns to see whether the file still needs its
// first line, and to append: under Wine an append is a seek to the end and
// a write, and another process's append can fall between the two. A file
// system that cannot lock is written without turns. The range lies beyond
// any data a log will hold, so that no run keeps another from reading it,
// which a Windows lock would.
class Turn : private kestrel::misc::NonCopyable<Turn> {
public:
    explicit Turn(platform::Handle file)
        : file(file),
          taken(platform::LockFileEx(file, platform::lockfileExclusiveLock, 1, 0, &range) != 0) {}
    ~Turn() {
        if (taken) {
            platform::UnlockFileEx(file, 1, 0, &range);
        }
    }

private:
    platform::Handle file;
    platform::Overlapped range{0xFFFFFFFE, 0x7FFFFFFF};
    bool taken;
};

class OwnedFile : private kestrel::misc::NonCopyable<OwnedFile> {
public:
    explicit OwnedFile(platform::Handle handle) : handle(handle) {}
    ~OwnedFile() {
        if (handle != platform::invalidHandleValue) {
            platform::CloseHandle(handle);
        }
    }
    platform::Handle get() const { return handle; }
    explicit operator bool() const { return handle != platform::invalidHandleValue; }

private:
    platform::Handle handle;
};

bool identify(platform::Handle handle, EntryIdentity& identity) {
    platform::ByHandleFileInformation information;
    if (!platform::GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity = identityOf(information);
    return true;
}

// Only a file of a file system's own is a log: neither a link, which would
// lead elsewhere, nor a device, a FIFO or a directory.
bool isPlainFile(platform::Handle handle) {
    platform::ByHandleFileInformation information;
    constexpr platform::Dword notFile =
        platform::fileAttributeDirectory | platform::fileAttributeReparsePoint;
    return platform::GetFileType(handle) == platform::fileTypeDisk &&
           platform::GetFileInformationByHandle(handle, &information) &&
           (information.dwFileAttributes & notFile) == 0;
}

// A link is refused by its name first: under Wine, which follows a link
// even when asked not to, only the name shows it as one.
bool namesNoFile(const std::u16string& path) {
    constexpr platform::Dword notFile =
        platform::fileAttributeDirectory | platform::fileAttributeReparsePoint;
    const platform::Dword attributes = platform::GetFileAttributesW(path.c_str());
    return attributes != platform::invalidFileAttributes && (attributes & notFile) != 0;
}

std::string runName() {
    platform::FileTime now;
    platform::GetSystemTimeAsFileTime(&now);
    constexpr std::string_view digits = "0123456789abcdef";
    const std::uint64_t parts[] = {platform::GetCurrentProcessId(),
                                   std::uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime};
    std::string name;
    for (int part = 0; part < 2; ++part) {
        for (int shift = part == 0 ? 28 : 60; shift >= 0; shift -= 4) {
            name.push_back(digits[(parts[part] >> shift) & 0xF]);
        }
        name.push_back('.');
    }
    name.pop_back();
    return name;
}

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// Whether path is directory or lies below it.
bool isWithin(std::u16string_view path, std::u16string_view directory) {
    return path.starts_with(directory) &&
           (path.size() == directory.size() || isSeparator(path[directory.size()]) ||
            (!directory.empty() && isSeparator(directory.back())));
}

// The path that the system gives a directory, as a log holds it: without
// Windows' "\\?\" (or "\\?\UNC\" for a network share's "\\").
std::u16string finalPathOf(platform::Handle directory, std::u16string_view given) {
    std::u16string path(0x8000, u'\0');
    const platform::Dword length = platform::GetFinalPathNameByHandleW(
        directory, path.data(), static_cast<platform::Dword>(path.size()));
    if (length == 0 || length >= path.size()) {
        return kestrel::withoutTrailingSeparator(given);
    }
    path.resize(length);
    if (path.starts_with(u"\\\\?\\UNC\\")) {
        path.replace(0, 8, u"\\\\");
    } else if (path.starts_with(u"\\\\?\\")) {
        path.erase(0, 4);
    }
    return path.size() > 3 ? kestrel::withoutTrailingSeparator(path) : path;
}

}  // namespace

EntryIdentity identityOf(const platform::ByHandleFileInformation& information) {
    return {information.dwVolumeSerialNumber,
            std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow,
            std::uint64_t{information.ftCreationTime.dwHighDateTime} << 32 |
                information.ftCreationTime.dwLowDateTime};
}

bool identify(const std::u16string& path, EntryIdentity& identity) {
    const OwnedFile entry(platform::CreateFileW(
        path.c_str(), platform::fileReadAttributes, shareAll, platform::openExisting,
        platform::fileFlagOpenReparsePoint | platform::fileFlagBackupSemantics));
    return entry && identify(entry.get(), identity);
}

RenameLog::~RenameLog() {
    if (file != platform::invalidHandleValue) {
        platform::CloseHandle(file);
    }
}

RenameLog::Opened RenameLog::open(const std::u16string& path) {
    if (namesNoFile(path)) {
        return Opened::notAFile;
    }
    file = platform::CreateFileW(path.c_str(), platform::genericRead | platform::fileAppendData,
                                 platform::fileShareRead | platform::fileShareWrite,
                                 platform::openAlways, platform::fileFlagOpenReparsePoint);
    if (file == platform::invalidHandleValue) {
        return Opened::cannotOpen;
    }
    if (!isPlainFile(file)) {
        return Opened::notAFile;
    }
    if (!knowFile(path)) {
        return Opened::cannotOpen;
    }
    const Turn turn(file);
    std::array<char, logFirstLine.size()> head{};
    platform::Dword read = 0;
    Opened opened = Opened::cannotOpen;
    if (platform::ReadFile(file, head.data(), static_cast<platform::Dword>(head.size()), &read)) {
        const std::string_view text(head.data(), read);
        opened = read == 0                   ? (writeWhole(logFirstLine) ? Opened::yes : opened)
                 : text == logFirstLine      ? Opened::yes
                 : text == olderLogFirstLine ? Opened::olderVersion
                                             : Opened::foreign;
    }
    run = runName();
    return opened;
}

void RenameLog::watch(const std::u16string& path) {
    if (!namesNoFile(path)) {
        knowFile(path);
    }
}

// The log's name as the run meets it in a listing, and what it is.
bool RenameLog::knowFile(const std::u16string& path) {
    std::u16string full(0x8000, u'\0');
    const platform::Dword length = platform::GetFullPathNameW(
        path.c_str(), static_cast<platform::Dword>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        return false;
    }
    full.resize(length);
    fileKnown = identify(full, fileIdentity);
    fileName = nameKey(kestrel::fileNameOf(full));
    return fileKnown;
}

// A dry run's log, which is never written, need not know the way.
void RenameLog::anchorAt(std::u16string_view directory) {
    if (file != platform::invalidHandleValue) {
        anchorRequested = directory;
    }
}

void RenameLog::enter(std::u16string_view directory) {
    if (file != platform::invalidHandleValue && !writeFailed) {
        reach(directory);
    }
}

bool RenameLog::record(std::u16string_view directory, std::u16string_view name,
                       std::u16string_view target) {
    if (writeFailed) {
        return false;
    }
    EntryIdentity identity;
    const bool known =
        reach(directory) &&
        identify(kestrel::withTrailingSeparator(directory) + std::u16string(name), identity) &&
        !(fileKnown && identity == fileIdentity);
    if (!known) {
        return false;
    }
    std::string lines;
    writeDown(lines);
    lines += renameLine(run, ++renames, chain.back().number, identity, name, target);
    writeFailed = !write(lines);
    return !writeFailed;
}

bool RenameLog::withdraw() {
    writeFailed = writeFailed || !write(failedLine(run, renames));
    return !writeFailed;
}

bool RenameLog::isItself(std::u16string_view directory, std::u16string_view name) const {
    EntryIdentity identity;
    return fileKnown && nameKey(name) == fileName &&
           identify(kestrel::withTrailingSeparator(directory) + std::u16string(name), identity) &&
           identity == fileIdentity;
}

// Makes the chain end at directory: from the anchor that was asked for, or
// from directory itself when it lies outside it, each directory on the way
// told apart as the walk holds it.
bool RenameLog::reach(std::u16string_view directory) {
    const bool outside =
        chain.empty() ||
        !isWithin(directory, std::u16string_view(chainPath).substr(0, chain.front().length));
    if (!anchorRequested.empty() || outside) {
        const bool requested = !anchorRequested.empty() && isWithin(directory, anchorRequested);
        const std::u16string base = requested ? anchorRequested : std::u16string(directory);
        anchorRequested.clear();
        if (!anchor(base)) {
            return false;
        }
    }
    while (!isWithin(directory, std::u16string_view(chainPath).substr(0, chain.back().length))) {
        chain.pop_back();
    }
    chainPath.resize(chain.back().length);
    for (;;) {
        std::size_t start = chainPath.size();
        while (start < directory.size() && isSeparator(directory[start])) {
            ++start;
        }
        std::size_t end = start;
        while (end < directory.size() && !isSeparator(directory[end])) {
            ++end;
        }
        if (start == end) {
            return true;
        }
        chainPath.assign(directory.substr(0, end));
        Level level{0, {}, end};
        if (!identify(chainPath, level.identity)) {
            chainPath.resize(chain.back().length);
            return false;
        }
        chain.push_back(level);
    }
}

// A directory that the names of an argument were resolved in is its
// renames' anchor; the same directory again, for the next argument, keeps
// the anchor it has, written down or not.
bool RenameLog::anchor(std::u16string_view directory) {
    const std::u16string path(directory);
    const OwnedFile held(platform::CreateFileW(path.c_str(), platform::fileListDirectory, shareAll,
                                               platform::openExisting));
    Level level{0, {}, path.size()};
    if (!held || !identify(held.get(), level.identity)) {
        chain.clear();
        return false;
    }
    const bool same = !chain.empty() && level.identity == chain.front().identity &&
                      std::u16string_view(chainPath).substr(0, chain.front().length) == path;
    if (!same) {
        anchorFinalPath = finalPathOf(held.get(), path);
        chain.assign(1, level);
    }
    chain.resize(1);
    chainPath = path;
    return true;
}

// The lines of the directories of the chain that are not yet written.
void RenameLog::writeDown(std::string& lines) {
    for (std::size_t i = 0; i < chain.size(); ++i) {
        Level& level = chain[i];
        if (level.number != 0) {
            continue;
        }
        level.number = ++directories;
        if (i == 0) {
            lines += anchorLine(run, level.number, level.identity, anchorFinalPath);
            continue;
        }
        std::size_t start = chain[i - 1].length;
        while (isSeparator(chainPath[start])) {
            ++start;
        }
        lines += directoryLine(run, level.number, chain[i - 1].number, level.identity,
                               std::u16string_view(chainPath).substr(start, level.length - start));
    }
}

bool RenameLog::write(std::string_view bytes) {
    const Turn turn(file);
    return writeWhole(bytes);
}

bool RenameLog::writeWhole(std::string_view bytes) {
    platform::Dword written = 0;
    if (platform::WriteFile(file, bytes.data(), static_cast<platform::Dword>(bytes.size()),
                            &written) &&
        written == bytes.size()) {
        return true;
    }
    writeError = platform::GetLastError();
    return false;
}

LogFileRead readLogFile(const std::u16string& path, std::string& text) {
    if (namesNoFile(path)) {
        return LogFileRead::notAFile;
    }
    const OwnedFile file(platform::CreateFileW(
        path.c_str(), platform::genericRead, platform::fileShareRead | platform::fileShareWrite,
        platform::openExisting, platform::fileFlagOpenReparsePoint));
    if (!file) {
        return LogFileRead::cannotRead;
    }
    if (!isPlainFile(file.get())) {
        return LogFileRead::notAFile;
    }
    std::array<char, 65536> block{};
    platform::Dword read = 0;
    bool ok = true;
    while ((ok = platform::ReadFile(file.get(), block.data(),
                                    static_cast<platform::Dword>(block.size()), &read) != 0) &&
           read > 0) {
        text.append(block.data(), read);
    }
    return ok ? LogFileRead::read : LogFileRead::cannotRead;
}

}  // namespace ansifold
