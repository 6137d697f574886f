#include <dirent.h>

#include "tests/support/thread_count.h"

namespace bv::test {

int ThreadsOfThisProcess() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
    return count;
}

}  // namespace bv::test
