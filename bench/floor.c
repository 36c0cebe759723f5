/* The least work the kernel allows for a recursive lowercase conversion:
 * one read of each directory through a directory descriptor, renameat2
 * relative to it, one write per listing line. Used as the benchmark floor.
 *
 *   floor ROOT
 *   floor --inode-order ROOT
 *
 * The second renames each directory's entries in the order of their inode
 * numbers rather than the order the directory is read in: what a renamer
 * that sorts its names gains on a file system that writes a file's inode
 * on each rename (see BENCHMARKS.md).
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

static int inodeOrder;

struct pending {
    unsigned long long inode;
    const char* name;
};

static int byInode(const void* a, const void* b) {
    const unsigned long long x = ((const struct pending*)a)->inode, y = ((const struct pending*)b)->inode;
    return x < y ? -1 : x > y;
}

static void renameAndList(int directoryFd, const char* name) {
    char lower[256 + 32];
    size_t length = strlen(name);
    for (size_t i = 0; i <= length; ++i) {
        const char c = name[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
    }
    const int renamed = renameat2(directoryFd, name, directoryFd, lower, RENAME_NOREPLACE) == 0;
    char line[600];
    const int n = snprintf(line, sizeof line, "  %s -> %s%s\r\n", name, lower, renamed ? "" : " *** FAILED");
    if (write(1, line, (size_t)n) < 0) { /* output errors do not matter */ }
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
    struct pending* pending = NULL;
    size_t count = 0, room = 0;
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
        if (!inodeOrder) {
            renameAndList(directoryFd, name);
            continue;
        }
        if (count == room) pending = realloc(pending, (room = room ? 2 * room : 1024) * sizeof *pending);
        pending[count].inode = entry->d_ino;
        pending[count++].name = name;
    }
    if (count > 0) qsort(pending, count, sizeof *pending, byInode);
    for (size_t i = 0; i < count; ++i) renameAndList(directoryFd, pending[i].name);
    free(pending);
    free(buffer);
}

int main(int argc, char** argv) {
    inodeOrder = argc == 3 && strcmp(argv[1], "--inode-order") == 0;
    if (argc != 2 + inodeOrder) {
        fprintf(stderr, "usage: %s [--inode-order] ROOT\n", argv[0]);
        return 2;
    }
    const char* rootPath = argv[1 + inodeOrder];
    const int root = open(rootPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        perror(rootPath);
        return 2;
    }
    walk(root);
    return 0;
}
