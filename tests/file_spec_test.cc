#include "engine/file_spec.h"

#include <gtest/gtest.h>

namespace tocase {
namespace {

TEST(SplitFileSpec, PrefixEndsAfterTheLastSeparatorOrTheDrive) {
    PlatformFacts windows;
    windows.hasDriveLetters = true;
    // Shift JIS: 0x95 0x5C is one character whose second byte is the code of "\".
    PlatformFacts shiftJis = windows;
    for (int b = 0x81; b <= 0x9F; ++b) shiftJis.leadBytes[b] = true;
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
        {posix, "/mnt/usb/*.TXT", "/mnt/usb/"},     {shiftJis, "C:\\\x95\\*.TXT", "C:\\"},
        {windows, "C:\\\x95\\*.TXT", "C:\\\x95\\"}, {shiftJis, "C:\\\x95", "C:\\"},
        {posix, std::string(100000, 'd') + "/" + std::string(300, 'n'), std::string(100000, 'd') + "/"},
    };
    for (const Row& row : rows) {
        const FileSpecParts parts = splitFileSpec(row.fileSpec, row.facts);
        EXPECT_EQ(parts.directoryPrefix, row.prefix) << row.fileSpec.substr(0, 40);
        EXPECT_EQ(parts.directoryPrefix + parts.namePattern, row.fileSpec) << row.fileSpec.substr(0, 40);
    }
}

}  // namespace
}  // namespace tocase
