// The POSIX backend's UTF-8 name codec on any byte string. Properties:
// - decoded with backslashes as name characters, every byte string becomes
//   UTF-16 without a '\' unit that encodes back to the very same bytes
//   ('/' included: it decodes to '/' and encodes to '/');
// - decoded with backslashes as separators, it encodes back to the same
//   bytes with every '\' turned into '/';
// - decoding appends, leaving what the text held before.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/name_codec.h"

using platform::Backslash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::u16string name = u"x";
    platform::decode(bytes, Backslash::nameCharacter, name);
    FUZZ_CHECK(name.front() == u'x');
    name.erase(0, 1);
    FUZZ_CHECK(name.find(u'\\') == std::u16string::npos);
    std::string encoded;
    FUZZ_CHECK(platform::encodePath(name, encoded));
    FUZZ_CHECK(encoded == bytes);

    std::u16string path;
    platform::decode(bytes, Backslash::separator, path);
    std::string expected(bytes);
    std::replace(expected.begin(), expected.end(), '\\', '/');
    encoded.clear();
    FUZZ_CHECK(platform::encodePath(path, encoded));
    FUZZ_CHECK(encoded == expected);
    return 0;
}
