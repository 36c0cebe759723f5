#include "cli/report.h"

namespace tocase {
namespace {

const char* plural(std::uint32_t count, const char* one, const char* many) {
    return count == 1 ? one : many;
}

}  // namespace

std::vector<std::string> helpScreenLines() {
    const std::string indent(26, ' ');
    return {
        "TOCASE v" TOCASE_VERSION " for Win32 and POSIX - file names to lowercase or uppercase",
        indent + "Free software, provided as is, without any warranty.",
        indent + "Report problems on the project's issue tracker.",
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

}  // namespace tocase
