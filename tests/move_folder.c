/* Another Windows program that tries to move a folder: exits 0 when it
   could. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    return argc == 3 && MoveFileW(argv[1], argv[2]) ? 0 : 1;
}
