/* The least work any crash-safe replacement of a tree of files must do, with
 * no cipher, as a floor to time tessarin against: in each folder every file
 * is copied to a temporary beside it, one syncfs makes the folder's copies
 * durable, they are renamed to "<name>.aes", one fsync of the folder makes
 * the new names durable, and only then are the originals unlinked. A crash
 * at any moment leaves each file whole under its own name or as its copy.
 * It is a measuring tool: a failure stops it and leaves the folder as is.
 *
 *   durable_floor DIR...     (bench/compare.sh builds and runs it)
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int Fail(const char* what, const char* path)
{
    fprintf(stderr, "durable_floor: %s '%s': %s\n", what, path, strerror(errno));
    return 1;
}

static int Copy(int dir, const char* from, const char* to)
{
    static char buf[1 << 16];
    ssize_t n = -1;
    int in = openat(dir, from, O_RDONLY | O_CLOEXEC);
    int out = in < 0 ? -1 : openat(dir, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    while (out >= 0 && (n = read(in, buf, sizeof buf)) > 0)
        if (write(out, buf, (size_t)n) != n) { n = -1; break; }
    int err = errno;
    if (in >= 0) close(in);
    if (out >= 0 && close(out) == 0 && n == 0) return 0;
    if (out >= 0) unlinkat(dir, to, 0);  /* leave no half copy behind */
    errno = err;
    return -1;
}

/* Settles an entry's type once, before anything is renamed: DT_REG for a
 * file to replace, DT_DIR for a folder to descend into, DT_UNKNOWN for the
 * rest (links, devices, "." and ".."), which are left alone. */
static void Settle(int dir, struct dirent* e)
{
    struct stat st;
    if (e->d_type == DT_UNKNOWN && fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        e->d_type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
    if ((e->d_type != DT_REG && e->d_type != DT_DIR) || !strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
        e->d_type = DT_UNKNOWN;
}

static int Folder(int parent, const char* name, const char* path)
{
    char child[PATH_MAX], tmp[NAME_MAX + 8], out[NAME_MAX + 8];
    struct dirent** list;
    int dir = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC), bad = 0;
    int n = dir < 0 ? -1 : scandirat(dir, ".", &list, NULL, NULL);
    if (n < 0) return Fail("cannot read the folder", path);
    for (int i = 0; i < n; ++i) Settle(dir, list[i]);
    for (int pass = 0; pass < 4 && !bad; ++pass) {  /* copy, rename, unlink, descend */
        if (pass == 1 && syncfs(dir) != 0) bad = Fail("cannot sync the file system of", path);
        if (pass == 2 && fsync(dir) != 0) bad = Fail("cannot sync the folder", path);
        for (int i = 0; i < n && !bad; ++i) {
            const char* f = list[i]->d_name;
            int file = list[i]->d_type == DT_REG, sub = list[i]->d_type == DT_DIR;
            snprintf(child, sizeof child, "%s/%s", path, f);
            snprintf(tmp, sizeof tmp, "%s.floor~", f);
            snprintf(out, sizeof out, "%s.aes", f);
            if (file && pass == 0 && Copy(dir, f, tmp) != 0) bad = Fail("cannot copy", child);
            if (file && pass == 1 && renameat(dir, tmp, dir, out) != 0) bad = Fail("cannot rename the copy of", child);
            if (file && pass == 2 && unlinkat(dir, f, 0) != 0) bad = Fail("cannot unlink", child);
            if (sub && pass == 3) bad = Folder(dir, f, child);
        }
    }
    for (int i = 0; i < n; ++i) free(list[i]);
    free(list);
    close(dir);
    return bad;
}

int main(int argc, char** argv)
{
    int bad = 0;
    if (argc < 2) {
        fputs("usage: durable_floor DIR...\n", stderr);
        return 2;
    }
    for (int i = 1; i < argc; ++i) bad |= Folder(AT_FDCWD, argv[i], argv[i]);
    return bad;
}
