// The title form of names: where words begin and end, where a file's
// extension begins, and what changes without /A and with it. Every code
// point's titlecase against ICU is in unicode_oracle_test.cc.
#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>

#include "text/title_case.h"

namespace tocase {
namespace {

struct TitleRow {
    std::string name;
    bool isDirectory;
    std::string withoutAllScripts;
    std::string withAllScripts;  // empty: the same as without
};

void expectTitles(std::span<const TitleRow> rows) {
    for (const TitleRow& row : rows) {
        const std::string& withAll = row.withAllScripts.empty() ? row.withoutAllScripts : row.withAllScripts;
        EXPECT_EQ(titleCaseName(row.name, row.isDirectory, false), row.withoutAllScripts)
            << testing::PrintToString(row.name);
        EXPECT_EQ(titleCaseName(row.name, row.isDirectory, true), withAll) << testing::PrintToString(row.name) << " /A";
    }
}

constexpr bool file = false;
constexpr bool directory = true;

TEST(TitleCase, WordsBeginWithACapitalAndGoOnInLowercase) {
    const TitleRow rows[] = {
        {"DR. DRE - THE CHRONIC.MP3", file, "Dr. Dre - The Chronic.mp3", ""},
        {"ST. ELSEWHERE", file, "St. Elsewhere", ""},
        {"AC-DC_BACK_IN_BLACK.MP3", file, "Ac-Dc_Back_In_Black.mp3", ""},
        {"(LIVE) [2019] {HQ}.MKV", file, "(Live) [2019] {Hq}.mkv", ""},
        {"Q&A+NOTES,V2.TXT", file, "Q&A+Notes,V2.txt", ""},
        {"hello   wORLD", file, "Hello   World", ""},
        // A word that begins with a digit keeps its letters lowercase.
        {"4TH OF JULY.TXT", file, "4th Of July.txt", ""},
        {"01 - IT'S MY LIFE.MP3", file, "01 - It's My Life.mp3", ""},
        {"1A", file, "1a", ""},
        // One letter, digits alone, separators alone, nothing.
        {"a", file, "A", ""},
        {"2019", file, "2019", ""},
        {"- () [] _", file, "- () [] _", ""},
        {"", file, "", ""},
    };
    expectTitles(rows);
}

TEST(TitleCase, AnApostropheStaysInAWordOnlyBetweenTwoWordCharacters) {
    const TitleRow rows[] = {
        {"IT'S", file, "It's", ""},
        {"D'ARTAGNAN", file, "D'artagnan", ""},
        {"ROCK'N'ROLL", file, "Rock'n'roll", ""},
        {"ROCK\u2019N\u2019ROLL", file, "Rock\u2019n\u2019roll", ""},
        {"'TIS", file, "'Tis", ""},
        {"ROCKIN'", file, "Rockin'", ""},
        {"ROCKIN'.MP3", file, "Rockin'.mp3", ""},
        {"ROCKIN' ROLL", file, "Rockin' Roll", ""},
        {"A''B", file, "A''B", ""},
        {"\u2019TIS", file, "\u2019Tis", ""},
        // Any word character on either side, not only a letter.
        {"80'S", file, "80's", ""},
        {"ÉTÉ'ÉTÉ", file, "ÉtÉ'ÉtÉ", "Été'été"},
        {"A'\xFF" "B", file, "A'\xFF" "b", ""},
        // Other quotation marks separate words.
        {"A\u2018B", file, "A\u2018B", ""},
    };
    expectTitles(rows);
}

TEST(TitleCase, AFileHasAnExtensionOnlyWhereLettersAndDigitsFollowItsLastDot) {
    const TitleRow rows[] = {
        {"ARCHIVE.TAR.GZ", file, "Archive.Tar.gz", ""},
        {"TRACK.01", file, "Track.01", ""},
        {".PROFILE", file, ".Profile", ""},
        {".MP3", file, ".Mp3", ""},
        {"FILE.", file, "File.", ""},
        {"NOTES.TXT~", file, "Notes.Txt~", ""},
        {"A.B C", file, "A.B C", ""},
        {"MUSIC.MP3", directory, "Music.Mp3", ""},
        {"VOL. 2", directory, "Vol. 2", ""},
        {"...", file, "...", ""},
        // Unicode's letters and decimal digits, with or without /A; a mark,
        // another number or a byte that is not UTF-8 is neither.
        {"DOC.ÄÖ", file, "Doc.ÄÖ", "Doc.äö"},
        {"DOC.٣X", file, "Doc.٣x", ""},
        {"DOC.TXT²", file, "Doc.Txt²", ""},
        {"DOC.E\u0301", file, "Doc.E\u0301", ""},
        {"DOC.TXT\xFF", file, "Doc.Txt\xFF", ""},
    };
    expectTitles(rows);
    struct End {
        std::string name;
        bool isDirectory;
        std::size_t wordsEnd;
    };
    const End ends[] = {
        {"SONG.MP3", file, 4},   {"A.TAR.GZ", file, 5},    {".PROFILE", file, 8}, {"ST. ELSEWHERE", file, 13},
        {"FILE.", file, 5},      {"VOL.2", directory, 5},  {"X", file, 1},        {"DOC.Ä", file, 3},
        {"DOC.\xFF", file, 5},
    };
    for (const End& end : ends) {
        EXPECT_EQ(titleCaseWordsEnd(end.name, end.isDirectory), end.wordsEnd) << testing::PrintToString(end.name);
    }
}

TEST(TitleCase, LettersBeyondAsciiJoinWordsAndChangeOnlyWithAllScripts) {
    const TitleRow rows[] = {
        {"ÉCOLE.TXT", file, "École.txt", ""},
        {"éCOLE", file, "école", "École"},
        {"ÉTÉ ÉTÉ", file, "ÉtÉ ÉtÉ", "Été Été"},
        {"«LIVE» AT WEMBLEY.MP3", file, "«Live» At Wembley.mp3", ""},
        {"ISTANBUL", file, "Istanbul", ""},
        {"İSTANBUL", file, "İstanbul", ""},
        {"Iİ", file, "Iİ", "Ii\u0307"},
        // The full titlecase: a digraph takes its titlecase form, not its
        // capital, and a letter may become two.
        {"ǆX", file, "ǆx", "ǅx"},
        {"ǄX", file, "Ǆx", "ǅx"},
        {"XǄ", file, "XǄ", "Xǆ"},
        {"ßA ß", file, "ßa ß", "Ssa Ss"},
        {"ﬁLE", file, "ﬁle", "File"},
        {"აბ", file, "აბ", ""},
        {"ⅻB", file, "ⅻb", "Ⅻb"},
        {"МОСКВА.TXT", file, "МОСКВА.txt", "Москва.txt"},
        // A digit of another script begins a word too.
        {"٣ABC", file, "٣abc", ""},
        // A symbol separates words and keeps its case: circled letters.
        {"AⒶB", file, "AⒶB", ""},
        // A mark joins the word before it, and begins one after a separator.
        {"E\u0301COLE", file, "E\u0301cole", ""},
        {"A-\u0301BC", file, "A-\u0301bc", ""},
    };
    expectTitles(rows);
}

TEST(TitleCase, CapitalSigmaEndsAWordAsFinalSigma) {
    const TitleRow rows[] = {
        {"ΟΔΟΣ ΑΘΗΝΩΝ", file, "ΟΔΟΣ ΑΘΗΝΩΝ", "Οδος Αθηνων"},
        {"ΟΔΟΣ.TXT", file, "ΟΔΟΣ.txt", "Οδος.txt"},
        {"ΣΟΦΟΣ", file, "ΣΟΦΟΣ", "Σοφος"},
        {"Σ", file, "Σ", ""},
        {"σΣΑ", file, "σΣΑ", "Σσα"},
        {"ΑΣ'S", file, "ΑΣ's", "Ασ's"},
    };
    expectTitles(rows);
}

TEST(TitleCase, BytesThatAreNotUtf8AreCaselessWordCharacters) {
    const TitleRow rows[] = {
        {"\xFF" "ABC DEF", file, "\xFF" "abc Def", ""},
        {"AB\xFF" "CD", file, "Ab\xFF" "cd", ""},
        {"\xC3" "ABC.TXT", file, "\xC3" "abc.txt", ""},
        {"\xFF", file, "\xFF", ""},
        // An encoded surrogate, as a Windows name may hold.
        {"\xED\xA0\x80" "ABC", file, "\xED\xA0\x80" "abc", ""},
        {"AB\xED\xB0\x80" "CD \xED\xA0\x80", file, "Ab\xED\xB0\x80" "cd \xED\xA0\x80", ""},
    };
    expectTitles(rows);
}

// A name with a byte beyond ASCII takes the general path: a separator
// added beyond ASCII must not change the title of the rest.
TEST(TitleCase, AsciiNamesTitleAsTheGeneralPathDoes) {
    const char alphabet[] = "aZq09'' .-_";
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) {
        std::string name;
        for (int n = static_cast<int>(random() % 10); n > 0; --n) {
            name += alphabet[random() % (sizeof alphabet - 1)];
        }
        for (const bool allScripts : {false, true}) {
            const std::string beyond = "\u00B0";
            const std::string inFile = "-" + name;
            ASSERT_EQ(titleCaseName(name + beyond, directory, allScripts),
                      titleCaseName(name, directory, allScripts) + beyond);
            ASSERT_EQ(titleCaseName(beyond + inFile, file, allScripts),
                      beyond + titleCaseName(inFile, file, allScripts));
        }
    }
}

}  // namespace
}  // namespace tocase
