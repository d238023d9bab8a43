// Writes a deterministic folder tree for the listing benchmark:
//   make_tree ROOT FOLDERS FILES_PER_FOLDER
// Folders nest up to four levels; files get assorted extensions and sizes
// (some sparse files above 4 GiB), so type names and large sizes are used.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kExtensions[] = {"txt", "log", "cpp", "h", "png", "zip", "tar.gz", "", "JPG", "dat", "html"};

// A small fixed linear congruential generator: the same tree on every machine.
struct Random {
    unsigned long long state;
    unsigned Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(state >> 33);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_tree ROOT FOLDERS FILES_PER_FOLDER\n");
        return 2;
    }
    const std::string root = argv[1];
    const int folders = std::atoi(argv[2]);
    const int filesPerFolder = std::atoi(argv[3]);
    Random random{42};
    mkdir(root.c_str(), 0755);
    std::vector<std::string> made{root};
    for (int f = 0; f < folders; ++f) {
        // Parents are picked among earlier folders, mostly shallow ones.
        const std::string& parent = made[random.Next() % std::min<std::size_t>(made.size(), 1 + made.size() / 4)];
        const std::string folder = parent + "/folder" + std::to_string(f);
        if (mkdir(folder.c_str(), 0755) != 0) return 1;
        made.push_back(folder);
        for (int i = 0; i < filesPerFolder; ++i) {
            const char* ext = kExtensions[random.Next() % (sizeof kExtensions / sizeof *kExtensions)];
            std::string name = folder + "/file" + std::to_string(i) + (*ext ? "." : "") + ext;
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) return 1;
            const unsigned pick = random.Next() % 1000;
            // Sizes set by truncation: sparse, so the tree is cheap to make.
            const off_t size = pick == 0 ? (off_t{5} << 30) + pick : static_cast<off_t>(random.Next() % 200000);
            if (ftruncate(fd, size) != 0) return 1;
            close(fd);
        }
    }
    return 0;
}
