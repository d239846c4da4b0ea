// The wide printf family's formatting, for systems without Windows' own.
//
// It takes what this program's formats use: %s for UTF-16 text (a null one
// prints as "(null)"), %c for a UTF-16 unit (a NUL too: it is part of the
// text, which a reader then ends there), %d for an int, %x for an unsigned
// int in lower-case hexadecimal, and %% for a percent sign. No format of the
// program has flags, a width, a precision or a size; like any other
// conversion, such a directive makes the whole call fail, so that a format
// this formatter cannot honour shows at once rather than as odd text.
#pragma once

#include <cstdarg>

#include "platform/bounded_output.h"

namespace platform {

// Formats into out; false for a null format, a directive it does not take,
// or a text longer than an int can count.
bool formatInto(BoundedOutput<char16_t>& out, const char16_t* format, std::va_list list);

}  // namespace platform
