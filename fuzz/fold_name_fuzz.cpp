// foldName through each ANSI code page that the POSIX backend knows; the
// first byte picks the code page, the rest are the name's UTF-16 units
// (little-endian pairs, NUL units left out). Properties:
// - folding never fails, with or without a place for the result;
// - the folded name holds only characters of the code page: converting it
//   to the code page with "_" as the default character needs no default
//   character (an "_" in it is the name's own or one the first fold put
//   there), and converting those bytes back gives the folded name unchanged,
//   so folding a folded name changes nothing.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "renamer/fold_name.h"

namespace {

constexpr unsigned codePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                  1252, 1253, 1254, 1255, 1256, 1257, 1258};

std::u16string nameOf(const std::uint8_t* bytes, std::size_t size) {
    std::u16string name;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit != 0) {
            name.push_back(unit);
        }
    }
    return name;
}

// The text in the code page, terminator included; usedDefault tells whether
// some character had to become the default character.
std::string toCodePage(unsigned codePage, const std::u16string& text, bool& usedDefault) {
    const int size =
        platform::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, "_", nullptr);
    FUZZ_CHECK(size > 0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    platform::Bool used = 0;
    FUZZ_CHECK(platform::WideCharToMultiByte(codePage, 0, text.c_str(), -1, bytes.data(), size, "_",
                                             &used) == size);
    usedDefault = used != 0;
    return bytes;
}

std::u16string fromCodePage(unsigned codePage, const std::string& bytes) {
    const int size = platform::MultiByteToWideChar(codePage, 0, bytes.c_str(), -1, nullptr, 0);
    FUZZ_CHECK(size > 0);
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    FUZZ_CHECK(platform::MultiByteToWideChar(codePage, 0, bytes.c_str(), -1, text.data(), size) ==
               size);
    FUZZ_CHECK(text.back() == u'\0');
    text.pop_back();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned codePage = codePages[data[0] % std::size(codePages)];
    platform::posix::setAnsiCodePage(codePage);
    FUZZ_CHECK(platform::GetACP() == codePage);
    const std::u16string name = nameOf(data + 1, size - 1);

    std::u16string folded;
    FUZZ_CHECK(ansifold::foldName(&folded, name.c_str()));
    FUZZ_CHECK(ansifold::foldName(nullptr, name.c_str()));

    bool usedDefault = true;
    const std::string bytes = toCodePage(codePage, folded, usedDefault);
    FUZZ_CHECK(!usedDefault);
    FUZZ_CHECK(fromCodePage(codePage, bytes) == folded);
    return 0;
}
