#include "cli/tocase_main.h"

int main(int argc, char** argv) {
    const auto platform = tocase::makeNativePlatform();
    return tocase::tocaseMain(argc, argv, *platform);
}
