#include "cli/tocase_main.h"

#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "cli/report.h"
#include "engine/convert_entry.h"
#include "engine/walk_file_spec.h"

namespace tocase {
namespace {

void printLines(Platform& platform, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        platform.writeOutput(line);
        platform.endOutputLine();
    }
}

void printReport(Platform& platform, const RunSettings& settings) {
    platform.endOutputLine();
    platform.writeOutput(summaryLine(settings));
    platform.endOutputLine();
    printLines(platform, failureNoticeLines(settings));
}

}  // namespace

int tocaseMain(int argumentCount, const char* const* arguments, Platform& platform) {
    RunSettings settings;
    parseCommandLine(settings, argumentCount, arguments, platform.facts());
    if (settings.fileSpec.empty() || settings.showHelp) {
        printLines(platform, helpScreenLines());
    } else {
        walkFileSpec(settings.fileSpec, settings, convertEntry, platform);
        printReport(platform, settings);
    }
    platform.endOutputLine();
    return 1;
}

}  // namespace tocase
