// Temporary directory trees for tests that touch the file system.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

constexpr char16_t separator = static_cast<char16_t>(std::filesystem::path::preferred_separator);

// A fresh directory under the system's temporary folder, removed with all it
// holds when the object goes. It also puts back the working directory that
// was current when it was made.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    // The directory as the layers above the platform write paths.
    std::u16string text() const { return root.u16string(); }
    // A path below the directory, with the system's preferred separators.
    std::u16string text(const std::u16string& relative) const;
    std::filesystem::path operator/(const std::u16string& relative) const {
        return root / relative;
    }

    // Creates a file holding content, with the directories above it.
    void file(const std::u16string& relative, const std::string& content = "") const;
    void directory(const std::u16string& relative) const;
    bool exists(const std::u16string& relative) const;
    std::string content(const std::u16string& relative) const;

private:
    std::filesystem::path root;
    std::filesystem::path previousWorkingDirectory;
};

}  // namespace testsupport
