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

// A run and the short help screen end with 1 whatever happened, as they
// always have; what only the GNU forms ask for ends as GNU tools do.
constexpr int runStatus = 1;
constexpr int longHelpStatus = 0;
constexpr int usageErrorStatus = 2;

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

// A long option the tool does not know may be one that asks it to rename
// less, or nothing at all (--dry-run misspelt): no run goes ahead.
bool reportUnknownLongOptions(Platform& platform, const std::vector<UnusedArgument>& unused) {
    bool found = false;
    for (const UnusedArgument& argument : unused) {
        if (argument.why == Unused::unknownLongOption) {
            std::string text = "unknown option '";
            appendPrintable(text, argument.argument);
            platform.writeErrorLine(text + "'; 'tocase --help' lists the options");
            found = true;
        }
    }
    return found;
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
        const bool isOption = argument.why == Unused::unknownOption;
        std::string text = "ignored '";
        appendPrintable(text, argument.argument);
        text += isOption ? "': not an option" : "': only one file specification is taken";
        platform.writeErrorLine(text);
        fileSpecIgnored = fileSpecIgnored || !isOption;
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
    CommandLine commandLine;
    parseCommandLine(settings, argumentCount, arguments, platform.facts(), commandLine);
    if (reportUnknownLongOptions(platform, commandLine.unused)) {
        return usageErrorStatus;
    }
    if (commandLine.longHelp || commandLine.version) {
        printLines(platform, commandLine.longHelp ? longHelpLines() : versionLines());
        platform.endOutputLine();
        return longHelpStatus;
    }
    reportUnused(platform, commandLine.unused);
    std::vector<std::string> hints;
    if (settings.showHelp || (settings.fileSpec.empty() && !settings.takeBack)) {
        printLines(platform, helpScreenLines());
    } else {
        if (settings.takeBack && !settings.fileSpec.empty()) {
            std::string text = "ignored '";
            appendPrintable(text, settings.fileSpec);
            platform.writeErrorLine(text + "': /Z takes back a whole run, not a file specification");
        }
        // Where it is not known to run where it was run from, it renames
        // nothing, not even what a full path names: the run would be
        // recorded as started where it was not.
        if (const std::string problem = platform.whyWorkingDirectoryIsUnknown(); !problem.empty()) {
            std::string text = "nothing is renamed: ";
            appendPrintable(text, problem);
            platform.writeErrorLine(text);
            return runStatus;
        }
        if (!renameInTurn(settings, platform)) {
            return runStatus;
        }
        printReport(platform, settings);
        if (!settings.takeBack) {
            hints = hintLines(settings);
        }
    }
    platform.endOutputLine();
    // After the whole report, which they leave as it is.
    for (const std::string& hint : hints) {
        platform.writeErrorLine(hint);
    }
    // A stop signal that came while the report was written.
    platform.stopIfAsked();
    return runStatus;
}

}  // namespace tocase
