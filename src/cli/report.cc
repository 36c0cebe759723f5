#include "cli/report.h"

#include "text/printable_name.h"

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

std::vector<std::string> longHelpLines() {
    return {
        "Usage: tocase [OPTION]... FILESPEC",
        "  or:  tocase --undo [--dry-run]",
        "Rename the files, or with /D the directories, that match FILESPEC so that",
        "their names become all lowercase or all uppercase, and list every rename.",
        "FILESPEC is a path whose last component may hold the wildcards * and ?,",
        "which match names whatever their case; quote it in a POSIX shell.",
        "",
        "  /L, --lower          convert to lowercase (the default)",
        "  /U, --upper          convert to uppercase",
        "  /D, --directories    rename directories instead of files",
        "  /MIXED, --mixed      also convert names that mix both cases, like ReadMe.Txt",
        "  /R, --recursive      also in every subdirectory that is not hidden",
        "  /N, --dry-run, --preview",
        "                       list what would be renamed, and rename nothing",
        "  /A, --all-scripts    letters of every script have a case, not only A to Z",
        "  /E, --extension      judge and convert the extension alone",
        "  /Z, --undo           take back the newest run started in this directory",
        "  /?, /H               the short help screen",
        "      --help           this help (it wins over /? and --version)",
        "      --version        the version",
        "      --               every argument after it is a file name",
        "",
        "Options may come before or after FILESPEC and also begin with -. Only the",
        "letter after / or - counts (-r and /Recurse are /R), /MIXED aside.",
        "",
        "Examples:",
        "  tocase --dry-run \"*.JPG\"         what lowering the .JPG names here would do",
        "  tocase -E -R \"Photos/*\"          lower the extensions in Photos and below",
        "  tocase -U -D \"*\"                 uppercase the names of the directories here",
        "  tocase --undo                    take the newest run back",
        "",
        "Exit status: 0 after --help and --version; 2 when an argument beginning",
        "with -- is no option, and nothing is renamed; otherwise 1, after every run.",
        "The manual: man tocase",
    };
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
    line += settings.toLower ? "lowercase." : "uppercase.";
    return line;
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

std::vector<std::string> hintLines(const RunSettings& settings) {
    const RunFindings& found = settings.findings;
    std::vector<std::string> lines;
    if (found.namesDirectory) {
        // With the separator the user typed, or one every system reads.
        const std::size_t separator = settings.fileSpec.find_last_of("/\\");
        const char joint = separator == std::string::npos ? '/' : settings.fileSpec[separator];
        lines.push_back(quoted(settings.fileSpec) + " is a directory: " + quoted(settings.fileSpec + joint + "*") +
                        " converts the names in it, /D the directory's own name");
    }
    if (found.directoryListed && !found.matchedAny) {
        lines.push_back("nothing matches " + quoted(settings.fileSpec) +
                        (settings.recurse ? ", in its directory or any below" : ""));
    }
    if (found.allScriptsCount > 0) {
        lines.push_back(std::to_string(found.allScriptsCount) +
                        plural(found.allScriptsCount, " name keeps", " names keep") + " letters beyond A to Z in " +
                        (settings.toLower ? "uppercase" : "lowercase") + "; /A converts those too");
    }
    // Only where nothing was converted: a run that converted some is more
    // likely to have left the rest on purpose.
    if (found.mixedCount > 0 && settings.convertedCount + settings.failedCount == 0) {
        lines.push_back(std::to_string(found.mixedCount) +
                        plural(found.mixedCount, " name mixes both cases and was", " names mix both cases and were") +
                        " left; /MIXED converts those too");
    }
    return lines;
}

}  // namespace tocase
