#include "files/dirscan.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/atomic_write.h"

char fileNames[FILE_NAMES][FILE_NAME_SIZE];

namespace {

int endsWith(const char *name, const char *suffix) {
    const size_t length = strlen(name), suffixLength = strlen(suffix);
    return length >= suffixLength && memcmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

// The file type from the directory entry when it tells, from stat otherwise.
int isRegularFile(DIR *directory, const dirent *entry) {
    if (entry->d_type == DT_REG) return 1;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return 0;
    struct stat st;
    return fstatat(dirfd(directory), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

int isListed(DIR *directory, const dirent *entry, const char *pattern) {
    const char *name = entry->d_name;
    return name[0] != '.' && strlen(name) < FILE_NAME_SIZE && endsWith(name, pattern) &&
           isRegularFile(directory, entry);
}

int byteOrder(const std::string &a, const std::string &b) { return strcmp(a.c_str(), b.c_str()) < 0; }

}  // namespace

int listMatchingFiles(const char *directory, const char *pattern, char (*names)[FILE_NAME_SIZE],
                      int capacity, char *reason) {
    DIR *stream = opendir(directory);
    if (!stream) {
        setReason(reason, "cannot list %s: %s", directory, strerror(errno));
        return -1;
    }
    std::vector<std::string> found;
    while (const dirent *entry = readdir(stream))
        if (isListed(stream, entry, pattern ? pattern : "")) found.push_back(entry->d_name);
    closedir(stream);
    std::sort(found.begin(), found.end(), byteOrder);
    const int count = std::min((int)found.size(), std::max(capacity, 0));
    for (int i = 0; i < count; ++i) snprintf(names[i], FILE_NAME_SIZE, "%s", found[i].c_str());
    return count;
}

int SCAN_FOR_IMAGES(const char *pattern) {
    char reason[FILE_ERROR_SIZE];
    const int count = listMatchingFiles(".", pattern, fileNames, FILE_NAMES, reason);
    if (count < 0) fprintf(stderr, "quorvex: %s\n", reason);
    if (count <= 0) {
        fileNames[0][0] = '\0';
        return 0;
    }
    return count - 1;
}
