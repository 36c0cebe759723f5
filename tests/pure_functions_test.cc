// The tables of the pure functions: the same on every system.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "cli/parse_command_line.h"
#include "cli/report.h"
#include "engine/case_mapping.h"
#include "engine/split_path.h"
#include "journal/journal_format.h"
#include "journal/journal_reading.h"
#include "journal/run_journal.h"
#include "engine/name_match.h"
#include "platform/platform.h"
#include "text/printable_name.h"

namespace tocase {
namespace {

RunSettings settingsFor(bool toLower, bool mixed, bool allScripts = false, bool extensionOnly = false) {
    RunSettings settings;
    settings.targetCase = toLower ? TargetCase::lower : TargetCase::upper;
    settings.mixed = mixed;
    settings.allScripts = allScripts;
    settings.extensionOnly = extensionOnly;
    return settings;
}

TEST(ConvertedName, FollowsTheDecisionTable) {
    // Whether each name is converted to lowercase, to uppercase, and the
    // same with /MIXED; then all four again with /A. Without /A, bytes from
    // 0x80 up are not letters: they neither block a conversion nor cause
    // one. With it, every cased letter counts, the titlecase one in both
    // directions, and bytes that are not UTF-8 still not at all.
    const std::pair<const char*, const char*> rows[] = {
        {"README.TXT", "10101010"}, {"readme.txt", "01010101"}, {"ReadMe.txt", "00110011"}, {"123.45", "00000000"},
        {"..", "00000000"},         {"@[`{", "00000000"},       {"A", "10101010"},          {"z", "01010101"},
        {"\xC3\x84PFEL.TXT", "10101010"}, {"\xC3\xA4\xFF", "00000101"}, {"\xC3\x84pfel.txt", "01010011"},
        {"\xC7\x85", "00000011"}, {"stra\xC3\x9F" "e", "01010101"}, {"STRA\xC3\x9F" "E", "10100011"},
        {"\xFF\xFE", "00000000"},
    };
    for (const auto& [name, expected] : rows) {
        std::string got;
        for (const bool allScripts : {false, true}) {
            for (const bool mixed : {false, true}) {
                for (const bool toLower : {true, false}) {
                    got += convertedName(name, settingsFor(toLower, mixed, allScripts)) ? '1' : '0';
                }
            }
        }
        EXPECT_EQ(got, expected) << name;
    }
}

TEST(ConvertedName, GivesTheNewName) {
    struct Row {
        std::string name;
        RunSettings settings;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        // The codes either side of each range of letters, and bytes from 0x80 up.
        {"@AZ[`az{\x01\x7F\x80\xC3\x84\xFF", settingsFor(true, true), "@az[`az{\x01\x7F\x80\xC3\x84\xFF"},
        {"@AZ[`az{\x01\x7F\x80\xC3\xA4\xFF", settingsFor(false, true), "@AZ[`AZ{\x01\x7F\x80\xC3\xA4\xFF"},
        {"\xC3\x9C" "BER.TXT", settingsFor(true, false, true), "\xC3\xBC" "ber.txt"},
        {"\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.TXT", settingsFor(true, false, true), "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82.txt"},
        {"stra\xC3\x9F" "e", settingsFor(false, false, true), "STRASSE"},
        {"\xEF\xAC\x81le", settingsFor(false, false, true), "FILE"},
        {"\xFF" "A", settingsFor(true, false, true), "\xFF" "a"},
        // The extension alone: after the last dot, unless it begins the name.
        {"IMG_1234.JPG", settingsFor(true, false, false, true), "IMG_1234.jpg"},
        {"ARCHIVE.TAR.GZ", settingsFor(true, false, false, true), "ARCHIVE.TAR.gz"},
        {"Mixed.TXT", settingsFor(true, false, false, true), "Mixed.txt"},
        {"NAME.Txt", settingsFor(true, false, false, true), std::nullopt},
        {"NAME.Txt", settingsFor(true, true, false, true), "NAME.txt"},
        {"README", settingsFor(true, true, false, true), std::nullopt},
        {".PROFILE", settingsFor(true, true, false, true), std::nullopt},
        {"\xCE\xA3.\xCE\xA3", settingsFor(true, false, true, true), "\xCE\xA3.\xCF\x83"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(convertedName(row.name, row.settings), row.expected) << row.name;
    }
}

TEST(SplitFileSpec, PrefixEndsAfterTheLastSeparatorOrTheDrive) {
    PlatformFacts windows;
    windows.hasDriveLetters = true;
    const PlatformFacts posix;
    struct Row {
        const PlatformFacts& facts;
        std::string fileSpec, prefix;
    };
    const Row rows[] = {
        {windows, "C:\\Data\\*.TXT", "C:\\Data\\"}, {windows, "*.TXT", ""},
        {windows, "C:*.TXT", "C:"},                 {windows, "C:", "C:"},
        {windows, "data/sub\\*.txt", "data/sub\\"}, {windows, "a/b/", "a/b/"},
        {windows, "\\\\\\", "\\\\\\"},              {windows, "", ""},
        {windows, "x:y:z", "x:"},                   {posix, "C:*.TXT", ""},
        {posix, "/mnt/usb/*.TXT", "/mnt/usb/"},     {windows, "C:\\\x95\\*.TXT", "C:\\\x95\\"},
        {posix, std::string(100000, 'd') + "/" + std::string(300, 'n'), std::string(100000, 'd') + "/"},
    };
    for (const Row& row : rows) {
        const FileSpecParts parts = splitFileSpec(row.fileSpec, row.facts);
        EXPECT_EQ(parts.directoryPrefix, row.prefix) << row.fileSpec.substr(0, 40);
        EXPECT_EQ(parts.directoryPrefix + parts.namePattern, row.fileSpec) << row.fileSpec.substr(0, 40);
    }
}

TEST(MatchesNamePattern, WildcardsAndCase) {
    struct Row {
        std::string pattern;
        std::string name;
        bool matches;
        MatchRules rules = {};
    };
    const MatchRules all{true, false};
    const MatchRules allWithSurrogates{true, true};
    const std::string surrogate = "\xED\xA0\x80";
    const Row rows[] = {
        {"*.TXT", "readme.txt", true},      {"*.TXT", "readme.txt.bak", false}, {"*.TXT", "a.txt.TXT", true},
        {"README.TXT", "readme.txt", true}, {"README.TXT", "readme.tx", false}, {"?.c", "a.c", true},
        {"?.c", "ab.c", false},             {"?.c", ".c", false},               {"*", ".hidden", true},
        {"*.*", "noextension", true},       {"*.*", ".", true},                 {"README.*", "README", true},
        {"README.*", "readme.md", true},    {"README.*", "READMEX", false},     {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},           {"*a", "bbbba", true},              {"**", "", true},
        {"", "x", false},                   {".", "..", false},                 {"[a]", "[A]", true},
        {"@[`{", "@[`{", true},             {"@", "`", false},                  {"[", "{", false},
        // A star matches only what comes after the text before it.
        {"XA*AY", "XAY", false},
        // Bytes 0x80 and up compare exactly, never folded, and `?` takes one.
        {"\xC3\x84*", "\xC3\x84pfel", true}, {"\xC3\xA4*", "\xC3\x84pfel", false}, {"?", "\xC3\xA4", false},
        // With /A, `?` takes one character of any length, or one invalid byte.
        {"?", "ä", true, all},              {"?", "€", true, all},              {"?", "😀", true, all},
        {"??", "ä", false, all},            {"?", "\xFF", true, all},           {"?", "\xE2\x82", false, all},
        {"??", "\xE2\x82", true, all},      {"?.txt", "ä.TXT", true, all},      {"?", surrogate, false, all},
        {"???", surrogate, true, all},      {"?", surrogate, true, allWithSurrogates},
        {"???", surrogate, false, allWithSurrogates},
        // Letters match after simple folding.
        {"Σ", "ς", true, all},              {"ς", "σ", true, all},              {"σ", "Σ", true, all},
        {"ẞ", "ß", true, all},              {"ß", "ss", false, all},            {"K", "\u212A", true, all},
        {"ÄPFEL", "äpfel", true, all},      {"ä", "a", false, all},             {"*.TXT", "ΟΔΟΣ.txt", true, all},
        {"*.txt", "ΟΔΟΣ.TXT.bak", false, all}, {"οδοσ.*", "ΟΔΟΣ", true, all},
        // Invalid bytes match only themselves, never a character.
        {"\xFF", "\xFF", true, all},        {"\xFF", "\xFE", false, all},       {"\xC3", "\xC3\xA4", false, all},
        {"\xC3*", "\xC3\xA4", false, all},  {"\xC3\xA4", "\xC3", false, all},  {"*\xFF*", "ab\xFF" "cd", true, all},
        // A star backtracks over whole characters, never into one.
        {"*ä", "ääää", true, all},          {"*äb", "äääb", true, all},         {"*€x", "€€€€x", true, all},
        {"α*β*γ", "αxβy", false, all},      {"*\xA4", "ä", false, all},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(matchesNamePattern(row.pattern, row.name, row.rules), row.matches)
            << testing::PrintToString(row.pattern) << " " << testing::PrintToString(row.name) << row.rules.allScripts;
    }
}

TEST(MatchesNamePattern, StaysFastOnHostilePatterns) {
    // Exponential backtracking would never finish on these.
    const std::string pattern = std::string(50, '*') + "b";
    EXPECT_FALSE(matchesNamePattern(pattern, std::string(100000, 'a')));
    EXPECT_TRUE(matchesNamePattern(pattern, std::string(100000, 'a') + "B"));
    std::string alphas;
    for (int i = 0; i < 20000; ++i) alphas += "α";
    const std::string beta = std::string(50, '*') + "β";
    EXPECT_FALSE(matchesNamePattern(beta, alphas, {true}));
    EXPECT_TRUE(matchesNamePattern(beta, alphas + "Β", {true}));
    EXPECT_FALSE(matchesNamePattern(beta, std::string(20000, '\xFF'), {true}));
}

// The options a parse leaves set: L, U or T, then M (/MIXED), D, R, N, A, E,
// Z, H (help), G (--help) and V (--version); then each argument left unused,
// with "?" after an unknown option, "!" after an unknown long option, "~"
// after a - word refused, "^" after a dash that is not '-', and "+" after a
// second file specification.
std::string optionLetters(const RunSettings& s, const CommandLine& c) {
    std::string letters(1, "LUT"[static_cast<int>(s.targetCase)]);
    for (const auto& [set, letter] : {std::pair{s.mixed, 'M'}, {s.directoryMode, 'D'}, {s.recurse, 'R'},
                                      {s.preview, 'N'}, {s.allScripts, 'A'}, {s.extensionOnly, 'E'},
                                      {s.takeBack, 'Z'}, {s.showHelp, 'H'}, {c.longHelp, 'G'}, {c.version, 'V'}}) {
        if (set) letters += letter;
    }
    for (const UnusedArgument& argument : c.unused) letters += " " + argument.argument + "?!~^+"[static_cast<int>(argument.why)];
    return letters;
}

TEST(ParseCommandLine, OptionsGoByTheirLetterAndTheFirstOtherArgumentIsTheFilespec) {
    struct Row {
        std::vector<std::string> arguments;
        std::string fileSpec;
        std::string options;
        bool posix = true;
    };
    const Row rows[] = {
        {{}, "", "L"},
        {{"*.TXT", "/u", "/l"}, "*.TXT", "L"},       {{"*.TXT", "/l", "/u"}, "*.TXT", "U"},
        {{"/R", "/d", "*.*"}, "*.*", "LDR"},         {{"a.txt", "b.txt", "", "c"}, "a.txt", "L b.txt+ + c+"},
        {{"", "a.txt"}, "a.txt", "L"},               {{"-?"}, "", "LH"},
        {{"/N", "-n", "+n"}, "+n", "LN"},            {{"/Nothing", "-quiet"}, "", "LN -quiet~"},
        {{"+?"}, "", "LH"},                          {{"/H"}, "", "LH"},
        {{"-help", "+hx", "x"}, "x", "LH"},          {{"/?", "*.txt"}, "*.txt", "LH"},
        {{"+x"}, "+x", "L"},                         {{"+r"}, "+r", "L"},
        {{"+MIXED"}, "+MIXED", "L"},                 {{"+"}, "+", "L"},
        {{"/Mixed", "f"}, "f", "LM"},                {{"-mIxEd", "f"}, "f", "LM"},
        {{"/Mix", "/MIXEDX", "/Mixer", "/Xixed", "f"}, "f", "L /Mix? /MIXEDX? /Mixer? /Xixed?"},  {{"-", "/X", "f"}, "f", "L -? /X?"},
        {{"/Recurse", "-r", "/r.txt"}, "", "LR"},    {{"/lower", "/upper"}, "", "U"},
        {{"/dirs"}, "", "LD"},                       {{"-u", "f", "-L"}, "f", "L"},
        {{"/All", "-e", "f"}, "f", "LAE"},           {{"-a", "/Ext"}, "", "LAE"},
        {{"/Z", "-zap"}, "", "LZ -zap~"},
        // After -, several letters are a bundle, each applied in order.
        {{"-Rn", "f"}, "f", "LRN"},                  {{"-nr", "-u"}, "", "URN"},
        {{"-lu"}, "", "U"},                          {{"-uL"}, "", "L"},
        {{"-Rt", "/u", "/Title"}, "", "TR"},         {{"-title", "-tl"}, "", "L"},
        {{"-Zn"}, "", "LNZ"},                        {{"-under"}, "", "UDRNE"},
        // Or a long option's name, exactly; or refused; help comes first.
        {{"-dry-run", "-preview", "-undo", "-recursive", "-upper", "-directories", "-extension", "-all-scripts",
          "-lower", "-MIXED", "-version"}, "", "LMDRNAEZV"},
        {{"-DRY-RUN", "-dirs", "-Recurse", "-r.txt", "-x1", "-\xC3\xA9", "-mixedx"}, "",
         "L -DRY-RUN~ -dirs~ -Recurse~ -r.txt~ -x1~ -\xC3\xA9? -mixedx~"},
        {{"-hello", "-?x", "-dirs"}, "", "LH -dirs~"},
        // A dash other than '-' begins no option, and after -- a file name.
        {{"\u2014dry-run", "\u2212R", "\u2010x", "\uFF0Dn", "--", "\u2014f"}, "\u2014f",
         "L \u2014dry-run^ \u2212R^ \u2010x^ \uFF0Dn^"},
        // GNU long options by their exact names, "--" ending the options.
        {{"--dry", "--Help", "--help", "--", "-r", "--x", "/*"}, "-r", "LG --dry! --Help! --x+ /*+"},
        {{"/D", "--", "--"}, "--", "LD"},            {{"---", "--help=x", "--version", "--Z"}, "", "LV ---! --help=x! --Z!"},
        // An absolute path holds a second separator; no option does.
        {{"/home/me/*.TXT"}, "/home/me/*.TXT", "L"}, {{"/R", "/mnt\\x", "/D"}, "/mnt\\x", "LDR"},
        {{"/DATA", "/*.TXT"}, "", "LD /*.TXT?"},             {{"/home/me/*.TXT"}, "", "LH", false},
        // Nothing is cut short.
        {{std::string(100000, 'x')}, std::string(100000, 'x'), "L"},
        {{"/" + std::string(100000, 'm')}, "", std::string("L /").append(100000, 'm').append("?")},
    };
    // The facts this system's platform gives, against those of one where a
    // slash never begins a path.
    const PlatformFacts posix = Platform().facts();
    for (const Row& row : rows) {
        std::vector<const char*> pointers = {"tocase"};
        for (const std::string& argument : row.arguments) pointers.push_back(argument.c_str());
        const PlatformFacts facts = row.posix ? posix : PlatformFacts{};
        // Leftovers from an earlier run must not survive the parse.
        RunSettings settings;
        settings.convertedCount = settings.directoryCount = settings.failedCount = 7;
        settings.fileSpec = "stale";
        settings.targetCase = TargetCase::title;
        settings.mixed = settings.directoryMode = settings.recurse = settings.preview = settings.allScripts =
            settings.extensionOnly = settings.takeBack = settings.showHelp = true;
        CommandLine commandLine{true, true, {{"stale"}}};
        parseCommandLine(settings, static_cast<int>(pointers.size()), pointers.data(), facts, commandLine);
        const std::string label = testing::PrintToString(row.arguments).substr(0, 60);
        EXPECT_EQ(settings.fileSpec, row.fileSpec) << label;
        EXPECT_EQ(optionLetters(settings, commandLine), row.options) << label;
        EXPECT_EQ(settings.convertedCount + settings.directoryCount + settings.failedCount, 0u) << label;
    }
}

// The one table of options: each long name, after one dash or two, does
// what the option's / form does, and --help lists exactly the table's.
TEST(OptionTable, LongNamesDoWhatTheirLettersDoAndHelpListsThemAll) {
    const auto parsed = [](const std::vector<std::string>& arguments) {
        std::vector<const char*> pointers = {"tocase"};
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        RunSettings settings;
        CommandLine commandLine;
        parseCommandLine(settings, static_cast<int>(pointers.size()), pointers.data(), {}, commandLine);
        return optionLetters(settings, commandLine);
    };
    std::string helpText;
    for (const std::string& line : longHelpLines()) helpText += line + "\n";
    std::set<std::string> tableNames;
    for (const OptionRow& row : optionTable()) {
        const std::string slash(row.slashForm.substr(0, row.slashForm.find(',')));
        for (const std::string_view name : row.longNames) {
            if (name.empty()) continue;
            const std::string dashed = "--" + std::string(name);
            tableNames.insert(dashed);
            EXPECT_EQ(parsed({dashed}).find(' '), std::string::npos) << dashed;
            // -help is the short help, as every -h word always was.
            if (row.action != OptionAction::longHelp) {
                EXPECT_EQ(parsed({dashed}), parsed({dashed.substr(1)})) << dashed;
            }
            if (!slash.empty()) {
                EXPECT_EQ(parsed({dashed}), parsed({slash})) << dashed;
            }
        }
    }
    // Every --word --help names, examples included.
    std::set<std::string> helpNames;
    for (std::size_t at = helpText.find("--"); at != std::string::npos; at = helpText.find("--", at + 2)) {
        const std::size_t end = helpText.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        if (end > at + 2) helpNames.insert(helpText.substr(at, end - at));
    }
    EXPECT_EQ(helpNames, tableNames);
}

}  // namespace
}  // namespace tocase

namespace tocase {
namespace {

// Every byte but NUL and "/" in a name, read back exactly from a field
// that holds no space, no line end, and shows UTF-8 as it is.
TEST(JournalFormat, FieldsCarryEveryByteAndSplitNothing) {
    // In a row of every byte no sequence is UTF-8: all but the plain
    // printable ASCII ones are escaped.
    std::string everyByte, everyByteField;
    for (int b = 1; b < 256; ++b) {
        everyByte += static_cast<char>(b);
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
        everyByteField += b > 0x20 && b < 0x7F && b != '\\' ? std::string(1, static_cast<char>(b)) : escaped;
    }
    const std::pair<std::string, std::string> rows[] = {
        {"README.TXT", "README.TXT"}, {"über ßig", "über\\x20ßig"}, {"a\\b\n", "a\\x5Cb\\x0A"},
        {"\xFF\xC3", "\\xFF\\xC3"},   {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          {"", "\\e"},
        {everyByte, everyByteField},
    };
    for (const auto& [name, field] : rows) {
        EXPECT_EQ(journalField(name), field) << name;
        EXPECT_EQ(fromJournalField(field), name) << field;
        EXPECT_EQ(field.find_first_of(" \n\r"), std::string::npos) << field;
    }
    for (const char* bad : {"\\x4", "\\xZZ", "a\\", "\\q", ""}) {
        EXPECT_EQ(fromJournalField(bad), std::nullopt) << bad;
    }
}

// Numbers are sorted by comparing in a small directory and by their 16-bit
// digits in a large one: both find the entries that share one.
TEST(RenamePlan, MarksTheEntriesThatShareTheirNumber) {
    for (const std::size_t size : {10, 5000}) {
        const auto numberOf = [](std::size_t i) { return (i + 1) * 0x9E3779B97F4A7C15U; };
        DirectoryListing listing;
        for (std::size_t i = 0; i < size; ++i) {
            const std::string name = std::string("F").append(std::to_string(i));
            FoundEntry file;
            file.name = name;
            file.fileId = numberOf(i == size - 2 ? 3 : i);
            listing.add(file);
        }
        // A directory never shares its number with a link.
        FoundEntry directory;
        directory.name = "D";
        directory.fileId = numberOf(5);
        directory.isDirectory = true;
        listing.add(directory);
        RenamePlan plan;
        for (const FoundEntry& entry : listing) {
            plan.add(entry, "new");
        }
        plan.markSharedNumbers(listing);
        std::vector<std::string_view> marked;
        for (const PlannedRename& rename : plan.renames) {
            if (rename.sharesNumber) {
                marked.push_back(rename.entry->name);
            }
        }
        EXPECT_EQ(marked, (std::vector<std::string_view>{"F3", std::string("F").append(std::to_string(size - 2))})) << size;
    }
}

// Names are looked at eight bytes at a time: each byte, at each place of a
// word and beside letters or bytes beyond ASCII, is taken as itself alone.
TEST(NameBytes, EachIsJudgedAloneWhereverItStands) {
    const auto escaped = [](unsigned char byte) {
        char text[5];
        std::snprintf(text, sizeof text, "\\x%02X", byte);
        return std::string(text);
    };
    const auto caseOf = [](std::string name, bool toLower) {
        for (char& c : name) {
            c = toLower && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32)
                : !toLower && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32)
                                                    : c;
        }
        return name;
    };
    for (const char filler : {'A', 'z', '\xFF'}) {
        for (std::size_t place = 0; place <= 16; ++place) {
            for (int value = 1; value < 256; ++value) {
                const auto byte = static_cast<unsigned char>(value);
                const std::string before(place, filler), after(3, filler);
                const std::string name = before + static_cast<char>(byte) + after;
                std::string printable;
                appendPrintable(printable, name);
                const bool control = byte < 0x20 || byte == 0x7F;
                EXPECT_EQ(printable, before + (control ? escaped(byte) : std::string(1, name[place])) + after) << value;
                const auto field = [&](char c) {
                    const auto b = static_cast<unsigned char>(c);
                    return b > 0x20 && b < 0x7F && b != '\\' ? std::string(1, c) : escaped(b);
                };
                std::string fields;
                for (const char c : name) {
                    fields += field(c);
                }
                EXPECT_EQ(journalField(name), fields) << value;
                for (const bool toLower : {true, false}) {
                    const std::string converted = caseOf(name, toLower);
                    EXPECT_EQ(convertedName(name, settingsFor(toLower, true)),
                              converted == name ? std::nullopt : std::optional<std::string>(converted))
                        << value << " at " << place;
                }
            }
        }
    }
}

// Directories come back the last written first, each with its renames the
// last written first; one that does not read is said, the rest go on.
TEST(JournalFormat, DirectoriesAreReadBackNewestFirst) {
    const auto directoryLine = [](std::string_view identity, std::string_view prefix,
                                  const std::vector<std::string>& names) {
        std::string line;
        appendJournalDirectory(line, identity, prefix, names);
        return line;
    };
    std::string text = journalStartLines({"1:2", "/home/me", "1733.5", true}) + directoryLine("1:3", "", {"a b", "c"});
    appendJournalRename(text, 'd', false, "7", "X", "x");
    appendJournalRename(text, 'l', false, "8", "Y", "y");
    appendJournalWhole(text, "1734.25");
    text += directoryLine("1:4", "data/", {}) + "rename f 9 Z\n" + directoryLine("1:2", "", {});
    appendJournalRename(text, 'f', true, "6", "A", "a");
    const std::optional<JournalHead> head = readJournalHead(text);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->version, 2);
    EXPECT_EQ(head->start.path, "/home/me");
    EXPECT_EQ(head->start.time, "1733.5");
    EXPECT_TRUE(head->start.directoryMode);
    // Each directory as "identity [prefix] names, kind and new name of each
    // rename (* where it shared its number), then what it was listed by, or
    // "cut" where its record is not whole.
    const auto seen = [](const std::string& journal, JournalLeftovers& leftovers) {
        std::vector<std::string> lines;
        forEachDirectoryNewestFirst(journal, *readJournalHead(journal),
                                    [&lines](const JournalDirectory& directory, bool unreadable) {
            std::string line = unreadable ? "unreadable" : directory.identity + " [" + directory.prefix + "]";
            for (const std::string& name : directory.names) line += " " + name;
            for (const JournalRename& rename : directory.renames) {
                line += std::string(" ") + rename.kind + (rename.sharesNumber ? "*" : "") + std::string(rename.newName);
            }
            lines.push_back(line + " " + (directory.whole ? directory.listedBy : "cut"));
        }, leftovers);
        return lines;
    };
    JournalLeftovers leftovers;
    EXPECT_EQ(seen(text, leftovers), (std::vector<std::string>{"1:2 [] f*a cut", "unreadable ", "1:3 [] a b c ly dx 1734.25"}));
    EXPECT_EQ(leftovers.unusedLines, 0u);
    EXPECT_EQ(leftovers.unreadableRecords, 1u);
    // A journal of the first version has no "whole": its records are whole.
    std::string first = text;
    first.replace(0, journalFirstLine.size(), journalFirstLineOfVersion1);
    EXPECT_EQ(seen(first, leftovers).front(), "1:2 [] f*a ");
    // Lines that belong to no record, or that a "cut" leaves out, and a
    // last line without its end, are counted as unused.
    leftovers = {};
    seen(journalStartLines({"1:2", "/", "1", false}) + "rename f 1 A a\nwhat\n" + directoryLine("1:2", "", {}) +
             "rename f 2 B b\nwhole 5\nrename f 3 C\ncut\ngone 1\ngone x\nrename f",
         leftovers);
    EXPECT_EQ(leftovers.unusedLines, 5u);
    // What became of each rename: made (+), not made (-), unknown where the
    // run stopped first (?), gone for good (!); a line cut short is left out.
    const std::string ends = "directory 1:2 \\e\nrename f 1 A a\nrename f 2 B b\nunmade 1\n"
                             "directory 1:2 \\e\nrename f 3 C c\nrename f 4 D d\nrename f 5 E";
    const auto endsSeen = [](const std::string& records) {
        const std::string journal = journalStartLines({"1:2", "/", "1", false}) + records;
        std::string line;
        JournalLeftovers ignored;
        forEachDirectoryNewestFirst(journal, *readJournalHead(journal), [&line](const JournalDirectory& directory, bool unreadable) {
            line += unreadable ? "unreadable " : "";
            for (const JournalRename& rename : directory.renames) {
                line += std::string(rename.newName) + (rename.gone ? "!" : rename.end == RenameEnd::made ? "+" : rename.end == RenameEnd::notMade ? "-" : "?");
            }
            line += " ";
        }, ignored);
        return line;
    };
    EXPECT_EQ(endsSeen(ends), "d?c? b-a+ ");
    const std::size_t startLength = journalStartLines({"1:2", "/", "1", false}).size();
    EXPECT_EQ(endsSeen(ends + "\ncut\ngone " + std::to_string(startLength + ends.find("rename f 3")) + "\n"), "d?c! b-a+ ");
    for (const char* damaged : {"unmade x\n", "unmade 2\n", "unmade 0\nrename f 3 C c\n", "whole \\q\n",
                                "unmade 0\nwhole 1\n", "whole 1\nrename f 3 C c\n"}) {
        EXPECT_EQ(endsSeen("directory 1:2 \\e\nrename f 1 A a\nrename f 2 B b\n" + std::string(damaged)), "unreadable  ")
            << damaged;
    }
    for (const char* damaged : {"tocase journal 3\nstart 1:2 /home/me 1733.5\nmode files\n",
                                "tocase journal 1\nstart 1:2 /home/me\nmode files\n",
                                "tocase journal 1\nbegin 1:2 /home/me 1733.5\nmode files\n",
                                "tocase journal 1\nstart 1:2 /home/me 1733.5\nmode sideways\n",
                                "tocase journal 1\nstart 1:2 /home/\\q 1733.5\nmode files\n",
                                "tocase journal 1\nstart 1:2 /home/me 1733.5\nmode files"}) {
        EXPECT_EQ(readJournalHead(damaged), std::nullopt) << damaged;
    }
    // Each of those but one thing is the start of a journal an earlier build wrote.
    const std::optional<JournalHead> earlier = readJournalHead("tocase journal 1\nstart 1:2 /home/me 1733.5\nmode files\n");
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->version, 1);
    // Each way a rename line can be damaged makes its directory unreadable.
    for (const char* damaged : {"rename f 9 Z z extra", "rename fd 9 Z z", "rename x 9 Z z", "rename f 9 \\q z",
                                "rename f** 9 Z z"}) {
        EXPECT_EQ(endsSeen("directory 1:2 \\e\n" + std::string(damaged) + "\n"), "unreadable  ") << damaged;
    }
}

}  // namespace
}  // namespace tocase
