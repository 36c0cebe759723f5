#include "engine/case_mapping.h"

#include <algorithm>

#include "text/ascii_words.h"
#include "text/title_case.h"
#include "text/unicode_case.h"

namespace tocase {
namespace {

// A part without a byte beyond ASCII, or in a run without /A, takes the
// one scan it always took: the full mapping of an ASCII letter is its
// ASCII one.
// What an ASCII scan of a name's part tells, in one pass.
struct LetterScan {
    bool ascii = true;
    bool hasUpper = false;
    bool hasLower = false;
};

// Eight bytes at a time: every name of a tree goes through here.
LetterScan scanLetters(std::string_view part) {
    using namespace ascii_words;
    Word high = 0;
    Word upper = 0;
    Word lower = 0;
    for (std::size_t at = 0; at < part.size(); at += wordSize) {
        const Word word = load(part.data() + at, part.size() - at);
        high |= beyondAscii(word);
        upper |= inRange(word, 'A', 'Z');
        lower |= inRange(word, 'a', 'z');
    }
    return {high == 0, upper != 0, lower != 0};
}

bool hasBothCases(const LetterScan& scan) { return scan.hasUpper && scan.hasLower; }

bool hasOtherCase(const LetterScan& scan, bool toLower) { return toLower ? scan.hasUpper : scan.hasLower; }

bool asciiNeedsConverting(const LetterScan& scan, bool toLower, bool mixed) {
    const bool hasTargetCase = toLower ? scan.hasLower : scan.hasUpper;
    return hasOtherCase(scan, toLower) && (mixed || !hasTargetCase);
}

std::optional<std::string> convertedAllScripts(std::string_view part, bool toLower, bool mixed) {
    std::string converted = convertCaseAllScripts(part, toLower);
    if (converted == part || (!mixed && convertCaseAllScripts(part, !toLower) != part)) {
        return std::nullopt;
    }
    return converted;
}

// What the options that decide a name's new name say.
struct CaseRules {
    TargetCase target;
    bool mixed;
    bool allScripts;
    bool extensionOnly;
    bool isDirectory;  // a run converts the kind of entry /D asks for alone
};

CaseRules caseRules(const RunSettings& settings) {
    return {settings.targetCase, settings.mixed, settings.allScripts, settings.extensionOnly, settings.directoryMode};
}

bool lowers(const CaseRules& rules) { return rules.target == TargetCase::lower; }

// Whether the words of a name are all of one case, which is what lets a
// name be titled without /MIXED: by their ASCII letters, or with /A and a
// character beyond ASCII, by lowering or raising leaving them as they are.
bool wordsOfOneCase(std::string_view words, const LetterScan& scan, bool allScripts) {
    if (allScripts && !scan.ascii) {
        return convertCaseAllScripts(words, true) == words || convertCaseAllScripts(words, false) == words;
    }
    return !hasBothCases(scan);
}

// The title form of a name, where it differs and the name is to take it.
// The words alone are judged: "SHOUTING NAME.mp3" is all of one case.
std::optional<std::string> titledName(std::string_view name, const CaseRules& rules) {
    const std::string_view words = name.substr(0, titleCaseWordsEnd(name, rules.isDirectory));
    if (!rules.mixed && !wordsOfOneCase(words, scanLetters(words), rules.allScripts)) {
        return std::nullopt;
    }
    std::string titled = titleCaseName(name, rules.isDirectory, rules.allScripts);
    return titled == name ? std::nullopt : std::optional<std::string>(std::move(titled));
}

std::optional<std::size_t> convertedPartStart(std::string_view name, const CaseRules& rules) {
    if (!rules.extensionOnly) {
        return 0;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return std::nullopt;
    }
    return dot + 1;
}

// The name with its part from `start` converted, in one copy into `out`,
// eight bytes at a time.
void convertAscii(std::string_view name, std::size_t start, bool toLower, std::string& out) {
    using namespace ascii_words;
    out.assign(name);
    for (std::size_t at = start; at < out.size(); at += wordSize) {
        const std::size_t size = out.size() - at;
        const Word word = load(out.data() + at, size);
        store(out.data() + at, size, word ^ caseBits(toLower ? inRange(word, 'A', 'Z') : inRange(word, 'a', 'z')));
    }
}

std::string withAsciiConverted(std::string_view name, std::size_t start, bool toLower) {
    std::string converted;
    convertAscii(name, start, toLower, converted);
    return converted;
}

// Where the decision is given as a name that may not be there.
NameDecision decided(std::optional<std::string> name, MissedOptions missed, std::string& newName) {
    if (name) {
        newName = std::move(*name);
    }
    return {name.has_value(), missed};
}

std::optional<std::string> convertedName(std::string_view name, const CaseRules& rules) {
    if (rules.target == TargetCase::title) {
        return titledName(name, rules);
    }
    const std::optional<std::size_t> start = convertedPartStart(name, rules);
    if (!start) {
        return std::nullopt;
    }
    const std::string_view part = name.substr(*start);
    const LetterScan scan = scanLetters(part);
    if (rules.allScripts && !scan.ascii) {
        const std::optional<std::string> converted = convertedAllScripts(part, lowers(rules), rules.mixed);
        return converted ? std::optional<std::string>(std::string(name.substr(0, *start)) + *converted) : std::nullopt;
    }
    if (!asciiNeedsConverting(scan, lowers(rules), rules.mixed)) {
        return std::nullopt;
    }
    return withAsciiConverted(name, *start, lowers(rules));
}

// Which options the run lacks that would convert a name, to another name
// than `newName`, what the run converts it to (nothing: it keeps its own).
MissedOptions missedOptions(std::string_view name, const std::optional<std::string>& newName, const CaseRules& rules) {
    MissedOptions missed;
    CaseRules withAllScripts = rules;
    withAllScripts.allScripts = true;
    const std::optional<std::string> otherName = convertedName(name, withAllScripts);
    missed.allScripts = otherName && otherName != newName;
    if (!newName) {
        CaseRules withMixed = rules;
        withMixed.mixed = true;
        missed.mixed = convertedName(name, withMixed).has_value();
    }
    return missed;
}

// An ASCII name's title form is the same with /A as without it, and
// whether /MIXED would give it is told by the same scan.
NameDecision decideTitle(std::string_view name, const CaseRules& rules, std::string& newName) {
    if (!scanLetters(name).ascii) {
        std::optional<std::string> titled = titledName(name, rules);
        const MissedOptions missed = missedOptions(name, titled, rules);
        return decided(std::move(titled), missed, newName);
    }
    std::string titled = titleCaseName(name, rules.isDirectory, false);
    if (titled == name) {
        return {};
    }
    const LetterScan words = scanLetters(name.substr(0, titleCaseWordsEnd(name, rules.isDirectory)));
    if (rules.mixed || !hasBothCases(words)) {
        newName = std::move(titled);
        return {true, {}};
    }
    return {false, {false, true}};
}

}  // namespace

std::optional<std::string> convertedName(std::string_view name, const RunSettings& settings) {
    return convertedName(name, caseRules(settings));
}

// Most names are ASCII: decided by one scan, what /A would do the same as
// without it, what /MIXED would do told by the same scan.
NameDecision decideName(std::string_view name, const RunSettings& settings, std::string& newName) {
    const CaseRules rules = caseRules(settings);
    if (rules.target == TargetCase::title) {
        return decideTitle(name, rules, newName);
    }
    const std::optional<std::size_t> start = convertedPartStart(name, rules);
    if (!start) {
        return {};
    }
    const LetterScan scan = scanLetters(name.substr(*start));
    if (!scan.ascii) {
        std::optional<std::string> converted = convertedName(name, rules);
        const MissedOptions missed = missedOptions(name, converted, rules);
        return decided(std::move(converted), missed, newName);
    }
    if (asciiNeedsConverting(scan, lowers(rules), rules.mixed)) {
        convertAscii(name, *start, lowers(rules), newName);
        return {true, {}};
    }
    return {false, {false, hasOtherCase(scan, lowers(rules))}};
}

}  // namespace tocase
