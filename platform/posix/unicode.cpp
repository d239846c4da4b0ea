// Unicode normalization and character types of platform.h: the POSIX backend,
// through ICU, whose data are those of the Unicode standard that Windows'
// own normalizer follows.
#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <climits>
#include <cstddef>
#include <string>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/utf16.h"

namespace platform::posix {
namespace {

// Windows refuses to normalize a text that is no valid UTF-16, where ICU
// would pass a lone surrogate through.
bool isValidUtf16(const char16_t* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (isHighSurrogate(text[i]) && i + 1 < length && isLowSurrogate(text[i + 1])) {
            ++i;
        } else if (isSurrogate(text[i])) {
            return false;
        }
    }
    return true;
}

std::size_t lengthOf(const char16_t* text, int length) {
    return length == -1 ? std::char_traits<char16_t>::length(text) + 1
                        : static_cast<std::size_t>(length);
}

}  // namespace
}  // namespace platform::posix

namespace platform {

int NormalizeString(int form, const char16_t* text, int length, char16_t* out, int outSize) {
    if (form != normalizationC || text == nullptr || length < -1 || outSize < 0 ||
        (out == nullptr && outSize > 0)) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units = posix::lengthOf(text, length);
    if (units > static_cast<std::size_t>(INT_MAX) || !posix::isValidUtf16(text, units)) {
        posix::setLastError(units > INT_MAX ? errorInvalidParameter : errorNoUnicodeTranslation);
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* const composition = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) {
        posix::setLastError(errorNotEnoughMemory);
        return 0;
    }
    const int32_t written =
        unorm2_normalize(composition, text, static_cast<int32_t>(units), out, outSize, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        if (outSize == 0) {
            return written;
        }
        posix::setLastError(errorInsufficientBuffer);
        return -written;
    }
    if (U_FAILURE(status)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    return written;
}

Bool GetStringTypeW(Dword infoType, const char16_t* text, int length, Word* types) {
    if (infoType != ctCtype3 || text == nullptr || length < -1 || length == 0 || types == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units = posix::lengthOf(text, length);
    for (std::size_t i = 0; i < units; ++i) {
        const bool nonspacing = u_charType(text[i]) == U_NON_SPACING_MARK;
        types[i] = nonspacing ? c3Nonspacing : Word{0};
    }
    return 1;
}

}  // namespace platform
