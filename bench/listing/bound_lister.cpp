// bound_lister ROOT: the least a single-threaded listing can do, as the
// yardstick for the listing benchmark. One directory read per folder, one
// statx per entry, one line (path, size, modification time) per file into a
// large output buffer; links followed, nothing sorted, no cycle check.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

char gBuffer[1 << 16];

void List(std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return;
    const int fd = dirfd(dir);
    std::vector<std::string> folders;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0))) continue;
        struct statx sx {};
        if (statx(fd, e->d_name, AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) != 0) continue;
        if (S_ISDIR(sx.stx_mode)) {
            folders.emplace_back(e->d_name);
            continue;
        }
        std::printf("%s/%s %llu %lld\n", path.c_str(), e->d_name, static_cast<unsigned long long>(sx.stx_size),
                    static_cast<long long>(sx.stx_mtime.tv_sec));
    }
    closedir(dir);
    const std::size_t length = path.size();
    for (const std::string& name : folders) {
        path.append(1, '/').append(name);
        List(path);
        path.resize(length);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bound_lister ROOT\n");
        return 2;
    }
    std::setvbuf(stdout, gBuffer, _IOFBF, sizeof gBuffer);
    std::string root = argv[1];
    List(root);
    return 0;
}
