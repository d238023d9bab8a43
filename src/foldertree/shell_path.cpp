#include "foldertree/shell_path.h"

#include "foldertree/node_key.h"

namespace tf::foldertree {

std::string CanonicalShellPath(std::string path) {
    for (std::size_t at = path.find("::{"); at != std::string::npos; at = path.find("::{", at + 3)) {
        for (std::size_t i = at + 3; i < path.size() && path[i] != '}'; ++i) {
            if (path[i] >= 'a' && path[i] <= 'z') path[i] = static_cast<char>(path[i] - 'a' + 'A');
        }
    }
    if (path.size() > 1 && path.back() == '\\' && !IsDriveRootPath(path)) path.pop_back();
    return path;
}

}  // namespace tf::foldertree
