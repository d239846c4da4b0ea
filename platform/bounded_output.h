// Buffers filled as Windows fills them.
//
// Text for a caller's buffer, handed over the way the Windows services hand
// it: every unit is counted and those that fit are stored, so that the same
// call that fills a large enough buffer tells a caller the size it needs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace platform {

template <typename Unit>
class BoundedOutput {
public:
    // A null buffer has no room, whatever its capacity is said to be.
    BoundedOutput(Unit* storage, std::size_t size)
        : buffer(storage), capacity(storage != nullptr ? size : 0) {}

    void put(Unit unit) {
        if (length < capacity) {
            buffer[length] = unit;
        }
        ++length;
    }
    // Whole texts at once: a line of a walk is mostly one name. Units of
    // another type are stored one for one, which keeps ASCII text the same.
    template <typename From>
    void put(std::basic_string_view<From> text) {
        if (length < capacity) {
            const std::size_t stored = std::min(text.size(), capacity - length);
            std::transform(text.begin(), text.begin() + stored, buffer + length,
                           [](From unit) { return static_cast<Unit>(unit); });
        }
        length += text.size();
    }

    std::size_t size() const { return length; }
    bool fits() const { return length <= capacity; }

private:
    Unit* buffer;
    std::size_t capacity;
    std::size_t length = 0;
};

}  // namespace platform
