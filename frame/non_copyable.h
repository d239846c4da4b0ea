// A base for classes that must not be copied.
#pragma once

namespace kestrel::misc {

// A base that takes copy construction and copy assignment away from T.
template <typename T>
class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};

}  // namespace kestrel::misc
