// The name matcher: a pattern and a name separated by the first NUL.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/case_mapping.h"
#include "engine/name_match.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = text.find('\0');
    const std::string pattern = text.substr(0, cut);
    const std::string name = cut == std::string::npos ? std::string() : text.substr(cut + 1);

    const bool matches = tocase::matchesNamePattern(pattern, name);
    // Case never matters, on either side.
    check(tocase::matchesNamePattern(tocase::convertCase(pattern, false, {}), tocase::convertCase(name, true, {})) == matches);
    // A name always matches itself when it holds no wildcard.
    if (name.find_first_of("*?") == std::string::npos) check(tocase::matchesNamePattern(name, name));
    // Without wildcards, a match is an equal name or the ".*" rule.
    if (pattern.find_first_of("*?") == std::string::npos && matches) {
        check(tocase::convertCase(pattern, true, {}) == tocase::convertCase(name, true, {}));
    }
    return 0;
}
