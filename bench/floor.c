/* The least work the kernel allows for a recursive lowercase conversion:
 * one read of each directory through a directory descriptor, renameat2
 * relative to it, one write per listing line. Used as the benchmark floor.
 *
 *   floor ROOT
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

struct linux_dirent64 {
    unsigned long long d_ino;
    long long d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

static int allUppercase(const char* name) {
    int upper = 0;
    for (const char* c = name; *c; ++c) {
        if (*c >= 'a' && *c <= 'z') return 0;
        if (*c >= 'A' && *c <= 'Z') upper = 1;
    }
    return upper;
}

static void walk(int directoryFd) {
    /* Read the whole directory once. */
    size_t capacity = 1 << 16, used = 0;
    char* buffer = malloc(capacity);
    for (;;) {
        if (capacity - used < 32768) buffer = realloc(buffer, capacity *= 2);
        const long got = syscall(SYS_getdents64, directoryFd, buffer + used, capacity - used);
        if (got <= 0) break;
        used += (size_t)got;
    }
    for (size_t at = 0; at < used;) {
        struct linux_dirent64* entry = (struct linux_dirent64*)(buffer + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (entry->d_type == DT_DIR) {
            if (name[0] == '.') continue;
            const int child = openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0) {
                walk(child);
                close(child);
            }
            continue;
        }
        if (!allUppercase(name)) continue;
        char lower[256 + 32];
        size_t length = strlen(name);
        for (size_t i = 0; i <= length; ++i) {
            const char c = name[i];
            lower[i] = (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
        }
        const int renamed = renameat2(directoryFd, name, directoryFd, lower, RENAME_NOREPLACE) == 0;
        char line[600];
        const int n = snprintf(line, sizeof line, "  %s -> %s%s\r\n", name, lower,
                               renamed ? "" : " *** FAILED");
        if (write(1, line, (size_t)n) < 0) { /* output errors do not matter */ }
    }
    free(buffer);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    const int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        perror(argv[1]);
        return 2;
    }
    walk(root);
    return 0;
}
