// The listing of a search, for the tests of the file-system services of
// every backend.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::test {

struct Found {
    std::u16string name;
    Dword attributes;
    bool operator<(const Found& other) const { return name < other.name; }
};

// Every entry that pattern yields, in name order; empty with the last error
// in error when the search cannot start.
inline std::vector<Found> findAll(const std::u16string& pattern, Dword* error = nullptr) {
    std::vector<Found> found;
    FindData data;
    Handle search = FindFirstFileW(pattern.c_str(), &data);
    if (search == invalidHandleValue) {
        if (error != nullptr) {
            *error = GetLastError();
        }
        return found;
    }
    do {
        found.push_back({data.cFileName, data.dwFileAttributes});
    } while (FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), errorNoMoreFiles);
    EXPECT_TRUE(FindClose(search));
    std::sort(found.begin(), found.end());
    return found;
}

inline std::vector<std::u16string> namesOf(const std::vector<Found>& found) {
    std::vector<std::u16string> names;
    for (const Found& entry : found) {
        names.push_back(entry.name);
    }
    return names;
}

}  // namespace platform::test
