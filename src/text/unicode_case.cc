#include "text/unicode_case.h"

#include <algorithm>
#include <span>

#include "text/ascii_case.h"
#include "text/unicode_case_tables.h"
#include "text/utf8.h"

namespace tocase {
namespace {

using case_tables::CaseMapping;
using case_tables::CodePointRange;

constexpr char32_t capitalSigma = 0x03A3;
constexpr char32_t smallSigma = 0x03C3;
constexpr char32_t finalSigma = 0x03C2;

unsigned char byteAt(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

const CaseMapping* findMapping(std::span<const CaseMapping> table, char32_t c) {
    const auto found = std::lower_bound(table.begin(), table.end(), c,
                                        [](const CaseMapping& mapping, char32_t key) { return mapping.from < key; });
    return found != table.end() && found->from == c ? &*found : nullptr;
}

bool isInRanges(std::span<const CodePointRange> ranges, char32_t c) {
    const auto found = std::lower_bound(ranges.begin(), ranges.end(), c,
                                        [](const CodePointRange& range, char32_t key) { return range.last < key; });
    return found != ranges.end() && found->first <= c;
}

void appendMapped(char32_t c, std::span<const CaseMapping> table, std::string& out) {
    const CaseMapping* mapping = findMapping(table, c);
    if (mapping == nullptr) {
        appendUtf8(c, out);
    } else if (mapping->to < case_tables::sequence) {
        appendUtf8(mapping->to, out);
    } else {
        const auto counted = case_tables::sequencePool.subspan(mapping->to - case_tables::sequence);
        for (const char32_t m : counted.subspan(1, counted[0])) {
            appendUtf8(m, out);
        }
    }
}

// What a unit means to a capital sigma near it: one that a cased letter
// precedes and none follows ends a word and lowers to final sigma; units
// between are skipped when case-ignorable. Case-ignorable is asked first, as
// ICU does, so a character that is both is skipped. In a name '.' ends a
// word, though Unicode counts it case-ignorable: "ΟΔΟΣ.TXT" ends its word
// before the extension.
enum class SigmaContext { skipped, cased, wordBoundary };

SigmaContext sigmaContextOf(const NameUnit& unit) {
    if (!unit.valid || unit.codePoint == '.') {
        return SigmaContext::wordBoundary;
    }
    if (isInRanges(case_tables::caseIgnorableRanges, unit.codePoint)) {
        return SigmaContext::skipped;
    }
    return isInRanges(case_tables::casedRanges, unit.codePoint) ? SigmaContext::cased : SigmaContext::wordBoundary;
}

bool casedLetterFollows(std::string_view name, std::size_t at) {
    while (at < name.size()) {
        const NameUnit unit = decodeNameUnit(name, at, false);
        const SigmaContext context = sigmaContextOf(unit);
        if (context != SigmaContext::skipped) {
            return context == SigmaContext::cased;
        }
        at += unit.length;
    }
    return false;
}

// Whether a cased letter, case-ignorable characters skipped, comes before
// `end`; `from` is the start of the name or a cased letter, so what came
// before it does not matter.
bool casedLetterPrecedes(std::string_view name, std::size_t from, std::size_t end) {
    bool casedBefore = false;
    while (from < end) {
        const NameUnit unit = decodeNameUnit(name, from, false);
        if (const SigmaContext context = sigmaContextOf(unit); context != SigmaContext::skipped) {
            casedBefore = context == SigmaContext::cased;
        }
        from += unit.length;
    }
    return casedBefore;
}

// How one character of a name is mapped.
enum class CaseMap : unsigned char { keep, lower, upper, title };

std::span<const CaseMapping> tableOf(CaseMap map) {
    if (map == CaseMap::lower) {
        return case_tables::lowercaseMappings;
    }
    return map == CaseMap::upper ? case_tables::uppercaseMappings : case_tables::titlecaseMappings;
}

// The rest of a name from `at`, unit by unit, each mapped as `mapAt` says
// from its offset. What precedes a capital sigma is looked at only when
// one is lowered, and back to the one before at most, which is a cased
// letter itself: names without one pay nothing for it, and names full of
// them no more than once.
template <typename MapAt>
void appendConvertedFrom(std::string_view name, std::size_t at, MapAt mapAt, std::string& result) {
    std::size_t lastSigmaAt = 0;
    while (at < name.size()) {
        const NameUnit unit = decodeNameUnit(name, at, false);
        const CaseMap map = mapAt(at);
        if (map == CaseMap::keep) {
            result.append(name, at, unit.length);
        } else if (!unit.valid || unit.codePoint < 0x80) {
            // An ASCII letter's titlecase is its uppercase; an invalid byte
            // is never an ASCII letter: it is kept.
            result += toAsciiCase(name[at], map == CaseMap::lower);
        } else if (map == CaseMap::lower && unit.codePoint == capitalSigma) {
            const bool endsWord =
                casedLetterPrecedes(name, lastSigmaAt, at) && !casedLetterFollows(name, at + unit.length);
            appendUtf8(endsWord ? finalSigma : smallSigma, result);
            lastSigmaAt = at;
        } else {
            appendMapped(unit.codePoint, tableOf(map), result);
        }
        at += unit.length;
    }
}

}  // namespace

std::string convertCaseAllScripts(std::string_view name, bool toLower) {
    std::string result(name);
    // Nearly every name is ASCII and never leaves this loop.
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (byteAt(result, i) >= 0x80) {
            result.resize(i);
            const CaseMap map = toLower ? CaseMap::lower : CaseMap::upper;
            appendConvertedFrom(name, i, [map](std::size_t) { return map; }, result);
            return result;
        }
        result[i] = toAsciiCase(result[i], toLower);
    }
    return result;
}

std::string convertRunsToTitleCase(std::string_view name, std::span<const TitleCaseRun> runs) {
    std::string result;
    result.reserve(name.size());
    auto run = runs.begin();
    const auto mapAt = [&run, &runs](std::size_t at) {
        while (run != runs.end() && run->end <= at) {
            ++run;
        }
        if (run == runs.end() || at < run->begin) {
            return CaseMap::keep;
        }
        return at == run->begin && run->titleFirst ? CaseMap::title : CaseMap::lower;
    };
    appendConvertedFrom(name, 0, mapAt, result);
    return result;
}

char32_t simpleCaseFold(char32_t c) {
    if (c < 0x80) {
        return foldAsciiCase(c);
    }
    const CaseMapping* mapping = findMapping(case_tables::simpleCaseFolding, c);
    return mapping == nullptr ? c : mapping->to;
}

}  // namespace tocase
