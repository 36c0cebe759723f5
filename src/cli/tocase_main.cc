#include "cli/tocase_main.h"

#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "cli/report.h"
#include "engine/convert_entry.h"
#include "engine/run_journal.h"
#include "engine/take_back.h"
#include "engine/walk_file_spec.h"
#include "text/printable_name.h"

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

// Before anything is renamed, so that a run that does less than was typed
// says so while it can still be stopped.
void reportUnused(Platform& platform, const std::vector<UnusedArgument>& unused) {
    bool fileSpecIgnored = false;
    for (const UnusedArgument& argument : unused) {
        if (argument.argument.empty()) {
            platform.writeErrorLine("ignored an empty argument");
            continue;
        }
        std::string text = "ignored '";
        appendPrintable(text, argument.argument);
        text += argument.looksLikeOption ? "': not an option" : "': only one file specification is taken";
        platform.writeErrorLine(text);
        fileSpecIgnored = fileSpecIgnored || !argument.looksLikeOption;
    }
    if (fileSpecIgnored && platform.facts().shellExpandsWildcards) {
        platform.writeErrorLine("quote a wildcard so that the shell leaves it to tocase: tocase '*.TXT'");
    }
}

// A run, or a take-back, in this user's turn: runs of one user never
// rename at the same time. False when there was nothing to take back.
bool renameInTurn(RunSettings& settings, Platform& platform) {
    if (!settings.preview) {
        waitForOtherRuns(platform);
    }
    bool ran = true;
    if (settings.takeBack) {
        ran = takeBackNewestRun(settings, platform);
    } else {
        walkFileSpec(settings.fileSpec, settings, convertEntry, platform);
    }
    endTurn(platform);
    return ran;
}

}  // namespace

int tocaseMain(int argumentCount, const char* const* arguments, Platform& platform) {
    RunSettings settings;
    std::vector<UnusedArgument> unused;
    parseCommandLine(settings, argumentCount, arguments, platform.facts(), unused);
    reportUnused(platform, unused);
    if (settings.showHelp || (settings.fileSpec.empty() && !settings.takeBack)) {
        printLines(platform, helpScreenLines());
    } else {
        if (settings.takeBack && !settings.fileSpec.empty()) {
            std::string text = "ignored '";
            appendPrintable(text, settings.fileSpec);
            platform.writeErrorLine(text + "': /Z takes back a whole run, not a file specification");
        }
        if (!renameInTurn(settings, platform)) {
            return 1;
        }
        printReport(platform, settings);
    }
    platform.endOutputLine();
    // A stop signal that came while the report was written.
    platform.stopIfAsked();
    return 1;
}

}  // namespace tocase
