#ifndef TOCASE_ENGINE_CASE_MAPPING_H
#define TOCASE_ENGINE_CASE_MAPPING_H

#include <optional>
#include <string>
#include <string_view>

#include "engine/run_settings.h"

namespace tocase {

// The name, in UTF-8, that an entry is to be given, or nothing when it
// keeps its own. Without `allScripts` only the ASCII letters have a case;
// with it every character Unicode gives one. Bytes that are not UTF-8
// have none and stay as they are. Without `mixed`, a name is converted
// only when converting changes it and converting the other way would not:
// all its letters have the other case; with it, whenever converting
// changes it. With `extensionOnly` the same holds for the text after the
// last dot, unless that dot begins the name; the rest stays as it is.
// Title case (titleCaseName) judges the words before a file's extension
// alone, and takes a name whose words are all of one case, or with
// `mixed` any name, whose title form differs; it never goes with
// `extensionOnly`, which the front end refuses beside it.
std::optional<std::string> convertedName(std::string_view name, const RunSettings& settings);

// Which options the run lacks that would convert a name, to another name
// than the run gives it (or it keeps).
struct MissedOptions {
    bool allScripts = false;
    bool mixed = false;
};

// Whether an entry is to be given another name, as convertedName, and what
// /A or /MIXED would have done with it that the run does not.
struct NameDecision {
    bool converted = false;
    MissedOptions missed;
};
// Writes the new name into `newName` where there is one, reusing its
// storage: every name of a tree goes through here.
NameDecision decideName(std::string_view name, const RunSettings& settings, std::string& newName);

}  // namespace tocase

#endif
