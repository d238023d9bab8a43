// tallyfold-skin as a skin author uses it: a dump rebuilds the same file, and
// a file the engine would refuse fails with the reason.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SkinTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/skin-tool-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    // Runs the tool; its output goes to out_ and err_.
    int Run(const std::string& args) {
        const std::string command =
            std::string(TALLYFOLD_SKIN_EXE) + " " + args + " >'" + dir_ + "/out' 2>'" + dir_ + "/err'";
        const int status = std::system(command.c_str());
        out_ = ReadFile(dir_ + "/out");
        err_ = ReadFile(dir_ + "/err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    }

    const std::string dor_ = std::string(TF_IMAGES_DIR) + "/DOR.Skin";
    std::string dir_, out_, err_;
};

TEST_F(SkinTool, DumpRebuildsTheSameFile) {
    ASSERT_EQ(Run("dump '" + dor_ + "' --picture '" + dir_ + "/picture.bmp'"), 0) << err_;
    WriteFile("description.txt", out_);
    ASSERT_EQ(Run("build '" + dir_ + "/description.txt' '" + dir_ + "/picture.bmp' '" + dir_ + "/again.Skin'"), 0)
        << err_;
    EXPECT_EQ(ReadFile(dir_ + "/again.Skin"), ReadFile(dor_));
    EXPECT_EQ(Run("check '" + dir_ + "/again.Skin'"), 0);
}

TEST_F(SkinTool, RefusedFilesFailWithTheReason) {
    const std::string skin = ReadFile(dor_);
    WriteFile("short.Skin", skin.substr(0, 1545));
    EXPECT_EQ(Run("dump '" + dir_ + "/short.Skin'"), 1);
    EXPECT_NE(err_.find("picture bag"), std::string::npos) << err_;
    EXPECT_EQ(out_, "");

    std::string piece = skin;
    piece[11 + 1030 + 8] = '\xFD';  // ClientPiece width: -3
    piece[11 + 1030 + 9] = piece[11 + 1030 + 10] = piece[11 + 1030 + 11] = '\xFF';
    WriteFile("piece.Skin", piece);
    EXPECT_EQ(Run("check '" + dir_ + "/piece.Skin'"), 1);
    EXPECT_NE(err_.find("(ClientPiece)"), std::string::npos) << err_;

    EXPECT_EQ(Run("dump '" + dir_ + "/missing.Skin'"), 1);
    EXPECT_NE(err_.find("cannot be read"), std::string::npos) << err_;
    EXPECT_EQ(Run("dump"), 2);
    EXPECT_EQ(Run("build a b"), 2);
}

TEST_F(SkinTool, PreviewSaysItNeedsWindows) {
    EXPECT_EQ(Run("preview '" + dor_ + "' --mdi"), 2);
    EXPECT_NE(err_.find("needs Windows"), std::string::npos) << err_;
}

}  // namespace
