// Temporary directory trees, each under a fresh name in the system's temporary
// folder.
#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() : previousWorkingDirectory(fs::current_path()) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root = fs::temp_directory_path() /
           ("ansifold-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(root);
    // Some systems hand out the temporary folder through a link; the tests
    // compare against the path that the system resolves.
    root = fs::canonical(root);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::current_path(previousWorkingDirectory, ignored);
    fs::remove_all(root, ignored);
}

std::u16string TempDir::text(const std::u16string& relative) const {
    return (root / relative).make_preferred().u16string();
}

void TempDir::file(const std::u16string& relative, const std::string& content) const {
    const fs::path target = root / relative;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << content;
}

void TempDir::directory(const std::u16string& relative) const {
    fs::create_directories(root / relative);
}

bool TempDir::exists(const std::u16string& relative) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(root / relative, ignored));
}

std::string TempDir::content(const std::u16string& relative) const {
    std::ifstream in(root / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testsupport
