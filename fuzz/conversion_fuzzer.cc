// The conversion decision and the new name, in all four modes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/case_mapping.h"
#include "fuzz_check.h"

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    for (const bool toLower : {true, false}) {
        const std::string converted = toLower ? tocase::toLowerAscii(name) : tocase::toUpperAscii(name);
        check(converted.size() == name.size());
        for (std::size_t i = 0; i < name.size(); ++i) {
            // Only letters change, and only their case.
            check(converted[i] == name[i] || (isLetter(name[i]) && (converted[i] ^ name[i]) == 0x20));
        }
        for (const bool mixed : {false, true}) {
            const bool needed = tocase::needsConversion(name, toLower, mixed);
            if (mixed) {
                check(needed == (converted != name));
            } else {
                check(!needed || converted != name);
            }
            check(!tocase::needsConversion(converted, toLower, mixed));
            // Whatever the non-mixed mode converts, the mixed one does too.
            if (tocase::needsConversion(name, toLower, false)) check(tocase::needsConversion(name, toLower, true));
        }
    }
    return 0;
}
