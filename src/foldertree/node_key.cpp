#include "foldertree/node_key.h"

namespace tf::foldertree {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

bool IsClassIdPath(std::string_view text) { return text.substr(0, 3) == "::{"; }

bool IsDriveRootPath(std::string_view text) {
    return text.size() == 3 && IsAsciiLetter(text[0]) && text[1] == ':' && text[2] == '\\';
}

bool ZipNameTest::Test(std::string_view displayName) const {
    return displayName.find(".zip") != std::string_view::npos || EndsWith(displayName, "ZIP");
}

std::string ComputerChildKey(const std::string& path) {
    if (IsClassIdPath(path)) return path;
    if (IsDriveRootPath(path)) return path.substr(0, 2);
    return path;
}

SourceFolder SourceFolderForKey(const std::string& key) {
    SourceFolder source{key, key};
    // Only upper-case letters: a lower-case drive root stays as it is.
    if (key.size() == 3 && key[0] >= 'A' && key[0] <= 'Z' && key[1] == ':' && key[2] == '\\') {
        source.dir = source.status = key.substr(0, 2);
    }
    if (IsClassIdPath(key)) source.dir.clear();
    return source;
}

}  // namespace tf::foldertree
