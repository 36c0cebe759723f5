#include "platform/console.h"

namespace tocase {

void Console::endLine() {
    pendingLine_ += "\r\n";
    if (!outputFailed_) {
        outputFailed_ = !writeStandardOutput(pendingLine_);
    }
    pendingLine_.clear();
}

void Console::errorLine(std::string_view text) {
    std::string line = "tocase: ";
    line.append(text).append(errorLineEnd);
    writeStandardError(line);
}

}  // namespace tocase
