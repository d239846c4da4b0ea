// The error box, formatted through the same buffer as the console's text.
#include "console/error_box.h"

#include <cstdarg>

#include "console/format_buffer.h"
#include "platform/platform.h"

namespace kestrel {

void errorBox(const char16_t* format, ...) {
    if (format == nullptr) {
        platform::MessageBoxW(nullptr, nullptr, nullptr, platform::mbOk);
        return;
    }
    std::va_list args;
    va_start(args, format);
    FormatBuffer buffer(format, args);
    va_end(args);
    platform::MessageBoxW(nullptr, buffer.text(), nullptr, platform::mbOk);
}

}  // namespace kestrel
