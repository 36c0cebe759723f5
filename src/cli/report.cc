#include "cli/report.h"

#include <algorithm>
#include <optional>

#include "cli/option_table.h"
#include "text/printable_name.h"
#include "text/utf8.h"

namespace tocase {
namespace {

const char* plural(std::uint32_t count, const char* one, const char* many) {
    return count == 1 ? one : many;
}

// 'name' as standard error names it.
std::string quoted(std::string_view text) {
    std::string quotedText = "'";
    appendPrintable(quotedText, text);
    return quotedText + "'";
}

const char* caseName(TargetCase target) {
    switch (target) {
        case TargetCase::lower: return "lowercase";
        case TargetCase::upper: return "uppercase";
        case TargetCase::title: return "title case";
    }
    return "";
}

}  // namespace

std::vector<std::string> helpScreenLines() {
    const std::string indent(26, ' ');
    return {
        "TOCASE v" TOCASE_VERSION " for Win32 and POSIX - file names to lowercase or uppercase",
        indent + "Every option, with examples: tocase --help",
        indent + "The manual: man tocase, or the README on Windows",
        "",
        "TOCASE converts filenames to uppercase or lowercase",
        "",
        "Syntax: tocase filespec [/D] [/L | /U] [/MIXED] [/R] [/?]",
        "",
        "  filespec  : any file or wildcards",
        "  /D        : converts directory names instead of file names",
        "  /L        : converts to lowercase (standard)",
        "  /U        : converts to uppercase",
        "  /MIXED    : converts also mixed filenames like \"AbCd.EfG\".",
        "              Attention: this can't be undone...",
        "  /R        : recurses subdirs",
        "  /?        : help (this page)",
    };
}

namespace {

// "  /N, --dry-run, --preview", then the description in its column, or on
// a line of its own where the forms reach it.
void appendOptionLines(std::vector<std::string>& lines, const OptionRow& row) {
    constexpr std::size_t descriptionColumn = 23;
    std::string forms = row.slashForm.empty() ? "    " : std::string(row.slashForm);
    for (const std::string_view name : row.longNames) {
        if (!name.empty()) {
            forms.append(row.slashForm.empty() && forms.size() == 4 ? "--" : ", --").append(name);
        }
    }
    std::string line = "  " + forms;
    if (line.size() + 1 > descriptionColumn) {
        lines.push_back(line);
        line.clear();
    }
    line.resize(descriptionColumn, ' ');
    lines.push_back(line.append(row.description));
}

}  // namespace

std::vector<std::string> longHelpLines() {
    std::vector<std::string> lines = {
        "Usage: tocase [OPTION]... FILESPEC",
        "  or:  tocase --undo [--dry-run]",
        "Rename the files, or with /D the directories, that match FILESPEC so that",
        "their names become all lowercase, all uppercase or title case, and list",
        "every rename.",
        "FILESPEC is a path whose last component may hold the wildcards * and ?,",
        "which match names whatever their case; quote it in a POSIX shell.",
        "",
    };
    for (const OptionRow& row : optionTable()) {
        appendOptionLines(lines, row);
    }
    lines.insert(lines.end(), {
        "      --               every argument after it is a file name",
        "",
        "Options may come before or after FILESPEC. After /, only the first letter",
        "counts (/Recurse is /R), /MIXED aside. After -, a word is one letter (-r),",
        "a bundle of letters (-rn is -r -n), -mixed, or a long option's name",
        "(-dry-run); any other is refused.",
        "",
        "Examples:",
        "  tocase --dry-run \"*.JPG\"         what lowering the .JPG names here would do",
        "  tocase -ER \"Photos/*\"            lower the extensions in Photos and below",
        "  tocase -UD \"*\"                   uppercase the names of the directories here",
        "  tocase -TR \"Music/*\"             title case for the files in Music and below",
        "  tocase --undo                    take the newest run back",
        "",
        "Exit status: 0 after --help and --version; 2 when an option is not",
        "understood, and nothing is renamed; otherwise 1, after every run.",
        "The manual: man tocase",
    });
    return lines;
}

std::vector<std::string> versionLines() {
    return {
        "tocase " TOCASE_VERSION,
        "MIT licence: free software, provided as is, without any warranty.",
    };
}

std::string summaryLine(const RunSettings& settings) {
    std::string line = std::to_string(settings.convertedCount);
    line += settings.directoryMode
                ? plural(settings.convertedCount, " directory", " directories")
                : plural(settings.convertedCount, " file", " files");
    line += " in ";
    line += std::to_string(settings.directoryCount);
    line += plural(settings.directoryCount, " directory", " directories");
    if (settings.takeBack) {
        return line + (settings.preview ? " would be put back." : " put back.");
    }
    line += settings.preview ? " would be converted to " : " converted to ";
    return line + caseName(settings.targetCase) + ".";
}

std::vector<std::string> failureNoticeLines(const RunSettings& settings) {
    const std::uint32_t failed = settings.failedCount;
    if (failed == 0 || settings.preview) {
        return {};
    }
    std::string first = "Process failed at " + std::to_string(failed);
    first += plural(failed, " file.", " files.");
    first += " Perhaps this ";
    first += plural(failed, "file is", "files are");
    first += " in process by another";
    return {"", first, "application. Close these applications and try again..."};
}

namespace {

// A file specification typed with a separator at its end names a
// directory and nothing in it: "Photos/".
bool namesDirectoryBySeparator(std::string_view fileSpec) {
    return !fileSpec.empty() && (fileSpec.back() == '/' || fileSpec.back() == '\\');
}

std::string directoryBySeparatorHint(std::string_view fileSpec) {
    std::string line = quoted(fileSpec) + " is a directory: " + quoted(std::string(fileSpec) + "*") +
                       " converts the names in it";
    const std::string_view directory = fileSpec.substr(0, fileSpec.find_last_not_of("/\\") + 1);
    const std::string_view last = directory.substr(std::min(directory.find_last_of("/\\") + 1, directory.size()));
    if (!last.empty() && last != "." && last != ".." && !last.ends_with(':')) {
        line += ", " + quoted("/D " + std::string(directory)) + " the directory's own name";
    }
    return line;
}

std::string directoryHint(std::string_view fileSpec) {
    // With the separator the user typed, or one every system reads.
    const std::size_t separator = fileSpec.find_last_of("/\\");
    const char joint = separator == std::string::npos ? '/' : fileSpec[separator];
    return quoted(fileSpec) + " is a directory: " + quoted(std::string(fileSpec) + joint + "*") +
           " converts the names in it, /D the directory's own name";
}

// Only files matched where directories were asked for, or the other way
// round; a directory named alone has its hint already.
std::optional<std::string> otherKindHint(const RunSettings& settings) {
    const RunFindings& found = settings.findings;
    if (settings.directoryMode && found.matchedFile && !found.matchedDirectory) {
        return "only files match " + quoted(settings.fileSpec) +
               ", and /D converts directories alone; without /D it converts the files";
    }
    if (!settings.directoryMode && found.matchedDirectory && !found.matchedFile && !found.namesDirectory) {
        return "only directories match " + quoted(settings.fileSpec) +
               ", and without /D only files are converted; /D converts the directories";
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> hintLines(const RunSettings& settings) {
    const RunFindings& found = settings.findings;
    std::vector<std::string> lines;
    if (found.namesDirectory) {
        lines.push_back(directoryHint(settings.fileSpec));
    }
    if (found.directoryListed && namesDirectoryBySeparator(settings.fileSpec)) {
        lines.push_back(directoryBySeparatorHint(settings.fileSpec));
    } else if (found.directoryListed && !found.matchedFile && !found.matchedDirectory) {
        lines.push_back("nothing matches " + quoted(settings.fileSpec) +
                        (settings.recurse ? ", in its directory or any below" : ""));
    }
    if (const std::optional<std::string> hint = otherKindHint(settings)) {
        lines.push_back(*hint);
    }
    if (found.allScriptsCount > 0) {
        // Where the run left them: in the other case, or out of title case.
        const TargetCase target = settings.targetCase;
        const char* left = target == TargetCase::title   ? "out of title case"
                           : target == TargetCase::lower ? "in uppercase"
                                                         : "in lowercase";
        lines.push_back(std::to_string(found.allScriptsCount) +
                        plural(found.allScriptsCount, " name keeps", " names keep") + " letters beyond A to Z " + left +
                        "; /A converts those too");
    }
    if (found.mixedCount > 0) {
        lines.push_back(std::to_string(found.mixedCount) +
                        plural(found.mixedCount, " name mixes both cases and was", " names mix both cases and were") +
                        " left; /MIXED converts those too");
    }
    return lines;
}

std::string unusedArgumentLine(const UnusedArgument& unused) {
    const std::string& argument = unused.argument;
    switch (unused.why) {
        case Unused::unknownLongOption:
            return "unknown option " + quoted(argument) + "; 'tocase --help' lists the options";
        case Unused::unknownDashWord: {
            // The same word after '/', which keeps the rule of its first letter.
            std::string slashWord = argument;
            slashWord.front() = '/';
            return "unknown option " + quoted(argument) + "; 'tocase --help' lists the options (" +
                   quoted(slashWord) + " reads its first letter alone)";
        }
        case Unused::lookAlikeDash: {
            const NameUnit dash = decodeNameUnit(argument, 0, false);
            return quoted(argument) + " looks like an option typed with " + quoted(argument.substr(0, dash.length)) +
                   ", a dash that is not '-'; '--' before it makes it a file name";
        }
        case Unused::unknownOption:
            return "ignored " + quoted(argument) + ": not an option";
        case Unused::extraFileSpec:
            break;
    }
    return argument.empty() ? "ignored an empty argument"
                            : "ignored " + quoted(argument) + ": only one file specification is taken";
}

std::string titleWithExtensionRefusal() {
    return "/T does not go with /E: title case is for the words of a name, and /E converts the extension alone";
}

std::string quoteWildcardAdvice() {
    return "quote a wildcard so that the shell leaves it to tocase: tocase '*.TXT'";
}

}  // namespace tocase
