// The split of a file specification, with drive letters and lead bytes
// chosen by the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/file_spec.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    tocase::PlatformFacts facts;
    facts.hasDriveLetters = (data[0] & 1) != 0;
    // A range of lead bytes, as double-byte code pages have.
    const unsigned leadFrom = 0x80 | data[1];
    for (unsigned b = leadFrom; b < 256 && b < leadFrom + (data[0] >> 1); ++b) facts.leadBytes[b] = true;
    const std::string spec(reinterpret_cast<const char*>(data + 2), size - 2);

    const tocase::FileSpecParts parts = tocase::splitFileSpec(spec, facts);
    check(parts.directoryPrefix + parts.namePattern == spec);
    const std::string& prefix = parts.directoryPrefix;
    const bool endsInSeparator = !prefix.empty() && (prefix.back() == '\\' || prefix.back() == '/');
    const bool isDrive = facts.hasDriveLetters && prefix.size() == 2 && prefix[1] == ':';
    check(prefix.empty() || endsInSeparator || isDrive);
    // Without lead bytes, no separator is left in the name pattern.
    bool anyLeadByte = false;
    for (const char c : spec) anyLeadByte |= facts.leadBytes[static_cast<unsigned char>(c)];
    if (!anyLeadByte) check(parts.namePattern.find_first_of("\\/") == std::string::npos);
    return 0;
}
