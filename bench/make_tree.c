/* Makes a deterministic benchmark tree: DEPTH levels of FANOUT directories,
 * each directory at the last level holding FILES files, of which UPPER
 * percent have all-uppercase names (they need converting to lowercase) and
 * the rest all-lowercase names. Directory names are lowercase.
 *
 *   make_tree ROOT DEPTH FANOUT FILES UPPER_PERCENT
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static int filesPerDirectory;
static int upperPercent;
static unsigned long fileNumber;

static void fail(const char* what) {
    perror(what);
    exit(2);
}

static void fillDirectory(int directoryFd) {
    char name[64];
    for (int i = 0; i < filesPerDirectory; ++i, ++fileNumber) {
        /* Spread the uppercase names evenly: the first UPPER of each 100. */
        const int upper = (int)(fileNumber % 100) < upperPercent;
        snprintf(name, sizeof name, upper ? "FILE_%07lu.TXT" : "file_%07lu.txt", fileNumber);
        const int fd = openat(directoryFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) fail(name);
        close(fd);
    }
}

static void makeLevel(int directoryFd, int depthLeft, int fanout) {
    if (depthLeft == 0) {
        fillDirectory(directoryFd);
        return;
    }
    char name[32];
    for (int i = 0; i < fanout; ++i) {
        snprintf(name, sizeof name, "d%04d", i);
        if (mkdirat(directoryFd, name, 0755) != 0) fail(name);
        const int child = openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0) fail(name);
        makeLevel(child, depthLeft - 1, fanout);
        close(child);
    }
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: %s ROOT DEPTH FANOUT FILES UPPER_PERCENT\n", argv[0]);
        return 2;
    }
    if (mkdir(argv[1], 0755) != 0 && errno != EEXIST) fail(argv[1]);
    const int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) fail(argv[1]);
    filesPerDirectory = atoi(argv[4]);
    upperPercent = atoi(argv[5]);
    makeLevel(root, atoi(argv[2]), atoi(argv[3]));
    close(root);
    return 0;
}
