#ifndef TOCASE_CLI_REPORT_H
#define TOCASE_CLI_REPORT_H

#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "engine/run_settings.h"

namespace tocase {

// The texts the driver prints, each line without its line end.
std::vector<std::string> helpScreenLines();
// What --help and --version print.
std::vector<std::string> longHelpLines();
std::vector<std::string> versionLines();
std::string summaryLine(const RunSettings& settings);
// Empty when no rename failed, or none was made.
std::vector<std::string> failureNoticeLines(const RunSettings& settings);
// One line for standard error for each thing the run met that suggests it
// did less than was meant, and what would do it.
std::vector<std::string> hintLines(const RunSettings& settings);

// What standard error says of an argument left unused, or refused.
std::string unusedArgumentLine(const UnusedArgument& argument);
// Why a run asked for title case and the extension alone stops.
std::string titleWithExtensionRefusal();
// Said after extra file specifications that look like a shell's expansion
// of a wildcard.
std::string quoteWildcardAdvice();

}  // namespace tocase

#endif
