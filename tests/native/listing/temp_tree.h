#pragma once
// A temporary folder tree on the real file system, removed again afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tf::testing {

class TempTree {
public:
    TempTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tallyfold-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    std::string Path(const std::string& relative = "") const {
        return relative.empty() ? root_.string() : (root_ / relative).string();
    }
    void Folder(const std::string& relative) const { std::filesystem::create_directories(root_ / relative); }
    void File(const std::string& relative, const std::string& content = "") const {
        std::ofstream(root_ / relative, std::ios::binary) << content;
    }

private:
    std::filesystem::path root_;
};

}  // namespace tf::testing
