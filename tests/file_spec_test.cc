#include "engine/file_spec.h"

#include <gtest/gtest.h>

namespace tocase {
namespace {

struct SplitCase {
    const char* fileSpec;
    const char* prefix;
    const char* pattern;
};

TEST(SplitFileSpec, WithDriveLetters) {
    PlatformFacts windows;
    windows.hasDriveLetters = true;
    const SplitCase cases[] = {
        {"C:\\Data\\*.TXT", "C:\\Data\\", "*.TXT"}, {"*.TXT", "", "*.TXT"},
        {"C:*.TXT", "C:", "*.TXT"},               {"C:", "C:", ""},
        {"sub\\x", "sub\\", "x"},                 {"data/sub\\*.txt", "data/sub\\", "*.txt"},
        {"a/b/", "a/b/", ""},                     {"\\\\\\", "\\\\\\", ""},
        {"...", "", "..."},                       {"", "", ""},
        {"x:y:z", "x:", "y:z"},
    };
    for (const SplitCase& c : cases) {
        const FileSpecParts parts = splitFileSpec(c.fileSpec, windows);
        EXPECT_EQ(parts.directoryPrefix, c.prefix) << c.fileSpec;
        EXPECT_EQ(parts.namePattern, c.pattern) << c.fileSpec;
    }
}

TEST(SplitFileSpec, WithoutDriveLettersAColonIsAnOrdinaryByte) {
    const PlatformFacts posix;
    const FileSpecParts parts = splitFileSpec("C:*.TXT", posix);
    EXPECT_EQ(parts.directoryPrefix, "");
    EXPECT_EQ(parts.namePattern, "C:*.TXT");
    EXPECT_EQ(splitFileSpec("/mnt/usb/*.TXT", posix).directoryPrefix, "/mnt/usb/");
}

TEST(SplitFileSpec, StepsOverTheTrailByteOfADoubleByteCharacter) {
    PlatformFacts shiftJis;
    shiftJis.hasDriveLetters = true;
    for (int b = 0x81; b <= 0x9F; ++b) shiftJis.leadBytes[b] = true;
    // 0x95 0x5C is one character whose trail byte is the backslash code.
    const FileSpecParts parts = splitFileSpec("C:\\\x95\\*.TXT", shiftJis);
    EXPECT_EQ(parts.directoryPrefix, "C:\\");
    EXPECT_EQ(parts.namePattern, "\x95\\*.TXT");
    // Without the lead-byte table the same bytes split at the trail byte.
    PlatformFacts plain;
    EXPECT_EQ(splitFileSpec("C:\\\x95\\*.TXT", plain).namePattern, "*.TXT");
}

TEST(SplitFileSpec, KeepsVeryLongFileSpecsWhole) {
    const std::string directory(100000, 'd');
    const FileSpecParts parts = splitFileSpec(directory + "/" + std::string(300, 'n'), PlatformFacts{});
    EXPECT_EQ(parts.directoryPrefix.size(), 100001u);
    EXPECT_EQ(parts.namePattern.size(), 300u);
}

}  // namespace
}  // namespace tocase
