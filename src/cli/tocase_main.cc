#include "cli/tocase_main.h"

#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "cli/report.h"
#include "engine/convert_entry.h"
#include "journal/run_journal.h"
#include "engine/shell_expansion.h"
#include "engine/take_back.h"
#include "engine/walk_tree.h"
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

// An option the tool does not understand may be one that asks it to rename
// less, or nothing at all (--dry-run misspelt): no run goes ahead. Nor
// does one that asks for title case and the extension alone, which have
// no word to title between them.
bool reportRefusedArguments(Platform& platform, const RunSettings& settings, const std::vector<UnusedArgument>& unused) {
    bool found = false;
    for (const UnusedArgument& argument : unused) {
        if (stopsTheRun(argument.why)) {
            platform.writeErrorLine(unusedArgumentLine(argument));
            found = true;
        }
    }
    if (settings.targetCase == TargetCase::title && settings.extensionOnly) {
        platform.writeErrorLine(titleWithExtensionRefusal());
        found = true;
    }
    return found;
}

// Before anything is renamed, so that a run that does less than was typed
// says so while it can still be stopped. Advice on quoting only where the
// extra names are what a shell makes of a wildcard.
void reportUnused(Platform& platform, const RunSettings& settings, const std::vector<UnusedArgument>& unused) {
    std::vector<std::string> extraFileSpecs;
    for (const UnusedArgument& argument : unused) {
        platform.writeErrorLine(unusedArgumentLine(argument));
        if (argument.why == Unused::extraFileSpec && !argument.argument.empty()) {
            extraFileSpecs.push_back(argument.argument);
        }
    }
    if (!extraFileSpecs.empty() && platform.facts().shellExpandsWildcards &&
        looksLikeShellExpansion(settings.fileSpec, extraFileSpecs, platform)) {
        platform.writeErrorLine(quoteWildcardAdvice());
    }
}

// A run, or a take-back, in this user's turn: runs of one user never
// rename at the same time. False when there was nothing to take back.
bool renameInTurn(RunSettings& settings, Platform& platform) {
    JournalStore journals;
    Failure failure;
    const bool turnHeld = settings.preview || waitForOtherRuns(journals, platform, failure);
    bool ran = true;
    if (settings.takeBack) {
        if (turnHeld) {
            ran = takeBackNewestRun(settings, platform, journals);
        } else {
            platform.writeErrorLine("no run can be taken back: " + describe(failure));
            ran = false;
        }
    } else {
        RunJournal journal{journals, turnHeld ? JournalState::none : JournalState::unlocked};
        journal.unlockedBy = failure;
        walkFileSpec(settings.fileSpec, settings, convertEntry, platform, journal);
    }
    endTurn(journals);
    return ran;
}

}  // namespace

int tocaseMain(int argumentCount, const char* const* arguments, Platform& platform) {
    RunSettings settings;
    CommandLine commandLine;
    parseCommandLine(settings, argumentCount, arguments, platform.facts(), commandLine);
    if (reportRefusedArguments(platform, settings, commandLine.unused)) {
        return usageErrorStatus;
    }
    if (commandLine.longHelp || commandLine.version) {
        printLines(platform, commandLine.longHelp ? longHelpLines() : versionLines());
        platform.endOutputLine();
        return longHelpStatus;
    }
    reportUnused(platform, settings, commandLine.unused);
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
        if (const Failure problem = platform.whyWorkingDirectoryIsUnknown(); problem.failed()) {
            std::string text = "nothing is renamed: ";
            appendPrintable(text, describe(problem));
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
