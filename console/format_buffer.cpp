// The formatting buffer: one formatting call for a text that fits, three for a
// longer one.
#include "console/format_buffer.h"

#include "platform/platform.h"

namespace kestrel {

// Formatting straight into the fixed buffer saves measuring first, which is
// the common case: a line per entry of a walk. Only a text that does not leave
// two units free there is measured and formatted again into a grown buffer.
FormatBuffer::FormatBuffer(const char16_t* format, std::va_list args) {
    fixed[0] = u'\0';
    if (format == nullptr) {
        return;
    }
    std::va_list attempt;
    va_copy(attempt, args);
    int length = platform::_vsnwprintf(fixed.data(), fixed.size() - 1, format, attempt);
    va_end(attempt);
    if (length >= 0 && static_cast<std::size_t>(length) + 2 <= fixed.size()) {
        return;
    }
    fixed[0] = u'\0';
    std::va_list measure;
    va_copy(measure, args);
    int needed = platform::_vscwprintf(format, measure);
    va_end(measure);
    if (needed < 0) {
        return;
    }
    grown.assign(static_cast<std::size_t>(needed) + 2, u'\0');
    std::va_list again;
    va_copy(again, args);
    if (platform::_vsnwprintf(grown.data(), grown.size(), format, again) < 0) {
        grown[0] = u'\0';
    }
    va_end(again);
}

}  // namespace kestrel
