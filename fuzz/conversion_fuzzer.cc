// The conversion decision and the new name, in all four modes, with and
// without the lead bytes of a double-byte code page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/case_mapping.h"
#include "fuzz_check.h"

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

const tocase::LeadBytes shiftJisLeadBytes = [] {
    tocase::LeadBytes leadBytes{};
    for (int b = 0x81; b <= 0x9F; ++b) leadBytes[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) leadBytes[b] = true;
    return leadBytes;
}();

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    for (const tocase::LeadBytes& leadBytes : {tocase::LeadBytes{}, shiftJisLeadBytes}) {
        for (const bool toLower : {true, false}) {
            const std::string converted = tocase::convertCase(name, toLower, leadBytes);
            check(converted.size() == name.size());
            for (std::size_t i = 0; i < name.size(); ++i) {
                // Only letters change, and only their case.
                check(converted[i] == name[i] || (isLetter(name[i]) && (converted[i] ^ name[i]) == 0x20));
            }
            for (const bool mixed : {false, true}) {
                const bool needed = tocase::needsConversion(name, toLower, mixed, leadBytes);
                check(mixed ? needed == (converted != name) : !needed || converted != name);
                check(!tocase::needsConversion(converted, toLower, mixed, leadBytes));
            }
            // Whatever the plain mode converts, the mixed one does too.
            check(!tocase::needsConversion(name, toLower, false, leadBytes) ||
                  tocase::needsConversion(name, toLower, true, leadBytes));
        }
    }
    return 0;
}
