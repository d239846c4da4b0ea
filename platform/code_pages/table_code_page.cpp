// The ANSI code pages, from Windows' own tables.
#include "platform/code_pages/table_code_page.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

namespace platform::code_pages {

namespace {

constexpr std::uint16_t unset = 0xFFFF;  // no lead byte of these pages is 0xFF

void putBytes(std::uint16_t bytes, std::string& out) {
    if (bytes > 0xFF) {
        out.push_back(static_cast<char>(bytes >> 8));
    }
    out.push_back(static_cast<char>(bytes & 0xFF));
}

}  // namespace

// Each unit's bytes are those of the first byte sequence that reads as it,
// unless the table lists others; tools/gen_code_pages.py lists them by the
// same rule.
TableCodePage::TableCodePage(const CodePageTable& data) : table(data), bytesOf(0x10000, unset) {
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        rowOf[table.rows[row].lead] = static_cast<std::uint8_t>(row + 1);
    }
    for (unsigned byte = 0; byte < 0x100; ++byte) {
        std::uint16_t& bytes = bytesOf[table.units[byte]];
        if (rowOf[byte] == 0 && bytes == unset) {
            bytes = static_cast<std::uint16_t>(byte);
        }
    }
    for (const LeadByteRow& row : table.rows) {
        for (unsigned trail = row.firstTrail; trail <= row.lastTrail; ++trail) {
            const char16_t unit = table.units[row.offset + trail - row.firstTrail];
            if (unit != table.defaultUnit && bytesOf[unit] == unset) {
                bytesOf[unit] = static_cast<std::uint16_t>(row.lead << 8 | trail);
            }
        }
    }
    for (std::uint16_t& bytes : bytesOf) {
        if (bytes == unset) {
            bytes = table.defaultChar;
        }
    }
    for (const UnitBytes& remap : table.remaps) {
        bytesOf[remap.unit] = remap.bytes;
    }
}

// A walk converts every name through the same page, four times a name: the
// page found last is handed out without a look at the others under the lock.
const TableCodePage* TableCodePage::find(unsigned number) {
    static std::atomic<const TableCodePage*> last{nullptr};
    const TableCodePage* page = last.load(std::memory_order_acquire);
    if (page != nullptr && page->number() == number) {
        return page;
    }
    const CodePageTable* const data = findCodePageTable(number);
    if (data == nullptr) {
        return nullptr;
    }
    static std::mutex mutex;
    static std::array<std::unique_ptr<const TableCodePage>, 16> built;
    std::lock_guard<std::mutex> lock(mutex);
    auto slot = built.begin();
    while (*slot != nullptr && (*slot)->number() != number) {
        ++slot;
    }
    if (*slot == nullptr) {
        slot->reset(new TableCodePage(*data));
    }
    last.store(slot->get(), std::memory_order_release);
    return slot->get();
}

char16_t TableCodePage::unitOfPair(unsigned char lead, unsigned char trail) const {
    const LeadByteRow& row = table.rows[rowOf[lead] - 1];
    if (trail < row.firstTrail || trail > row.lastTrail) {
        return table.defaultUnit;
    }
    return table.units[row.offset + trail - row.firstTrail];
}

char16_t TableCodePage::unitOf(std::uint16_t bytes) const {
    return bytes > 0xFF ? unitOfPair(static_cast<unsigned char>(bytes >> 8),
                                     static_cast<unsigned char>(bytes & 0xFF))
                        : table.units[bytes];
}

void TableCodePage::encode(std::u16string_view text, const std::uint16_t* substitute,
                           std::string& out, bool& usedSubstitute) const {
    usedSubstitute = false;
    for (const char16_t unit : text) {
        std::uint16_t bytes = bytesOf[unit];
        // The default character is also a character of its own, '?'.
        if (substitute != nullptr && bytes == table.defaultChar && unitOf(bytes) != unit) {
            bytes = *substitute;
            usedSubstitute = true;
        }
        putBytes(bytes, out);
    }
}

// A lead byte at the end, or before a zero byte, reads as the default unit,
// and the zero byte then as itself.
void TableCodePage::decode(std::string_view bytes, std::u16string& out) const {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (rowOf[byte] == 0) {
            out.push_back(table.units[byte]);
        } else if (i + 1 < bytes.size() && bytes[i + 1] != '\0') {
            out.push_back(unitOfPair(byte, static_cast<unsigned char>(bytes[++i])));
        } else {
            out.push_back(table.defaultUnit);
        }
    }
}

}  // namespace platform::code_pages
