// tallyfold-png run as a program: its property lines, the escaping that keeps
// file text from forging them, its exit codes and the BMP it writes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_streams.h"

namespace tf::png {
namespace {

using test::PngWriter;
using Data = std::vector<std::uint8_t>;

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

std::string TempPath(const std::string& name) { return ::testing::TempDir() + name; }

std::string Save(const std::string& name, const Data& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

ToolRun Tool(const std::string& args) {
    ToolRun run;
    std::FILE* pipe = ::popen((std::string(TF_PNG_TOOL) + " " + args + " 2>/dev/null").c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

Data Bytes(const std::string& text) { return Data(text.begin(), text.end()); }

TEST(TallyfoldPngTool, PropertiesPrintOneLineEachWithTextEscaped) {
    PngWriter w;
    w.Header(2, 1, 8, 0).Chunk("gAMA", Data{0x07, 0x5B, 0xCD, 0x15});  // 123456789
    w.Chunk("tEXt", Bytes(std::string("Title\0a\nErrorNumber: 0|\\\t\r\x01\x7F", 28)));
    w.ImageData({0, 1, 2}).End();
    const ToolRun run = Tool(Save("tf_cli_text.png", w.bytes()));
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<std::string> lines = Lines(run.out);
    int errorLines = 0;
    for (const std::string& line : lines) errorLines += line.rfind("ErrorNumber:", 0) == 0;
    EXPECT_EQ(errorLines, 1) << run.out;
    EXPECT_NE(run.out.find("\nText: Title|a\\nErrorNumber: 0\\|\\\\\\t\\r\\x01\\x7F|\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\ngama: 1234.56789\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nWidth: 2\nHeight: 1\n"), std::string::npos) << run.out;
}

TEST(TallyfoldPngTool, ExitCodesSeparateUsageFromFailedFiles) {
    PngWriter w;
    w.Header(1, 1, 8, 0).Chunk("gAMA", Data{0, 0, 0xB1, 0x8F}).ImageData({0, 9}).End();
    const std::string good = Save("tf_cli_good.png", w.bytes());
    const ToolRun ok = Tool("--background 00ff80 " + good);
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_NE(ok.out.find("\ngama: 0.45455\n"), std::string::npos) << ok.out;

    EXPECT_EQ(Tool("").exitCode, 2);
    EXPECT_EQ(Tool("--frobnicate " + good).exitCode, 2);
    for (const char* colour : {"+12345", "0x1234", " 12345", "12345G", "1234567", "12345"}) {
        EXPECT_EQ(Tool(std::string("--background '") + colour + "' " + good).exitCode, 2) << colour;
    }
    const ToolRun notPng = Tool(Save("tf_cli_not.png", Bytes("plain text, not a picture")));
    EXPECT_EQ(notPng.exitCode, 1);
    EXPECT_EQ(notPng.out.rfind("ErrorNumber: 1\n", 0), 0u) << notPng.out;
}

Data ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(TallyfoldPngTool, BlackBackgroundIsHonouredOverBkgd) {
    // One fully transparent grey pixel whose file asks for a white background.
    PngWriter w;
    w.Header(1, 1, 8, 0).Chunk("bKGD", Data{0, 255}).Chunk("tRNS", Data{0, 5}).ImageData({0, 5}).End();
    const std::string png = Save("tf_cli_black.png", w.bytes());
    const std::string bmp = TempPath("tf_cli_black.bmp");
    ASSERT_EQ(Tool("--out " + bmp + " " + png).exitCode, 0);
    Data file = ReadAll(bmp);
    ASSERT_EQ(file.size(), 54u + 4);
    EXPECT_EQ((Data{file[54], file[55], file[56]}), (Data{255, 255, 255}));
    ASSERT_EQ(Tool("--background 000000 --out " + bmp + " " + png).exitCode, 0);
    file = ReadAll(bmp);
    ASSERT_EQ(file.size(), 54u + 4);
    EXPECT_EQ((Data{file[54], file[55], file[56]}), (Data{0, 0, 0}));
    std::remove(bmp.c_str());
}

TEST(TallyfoldPngTool, BmpOver2GiBIsRefusedBeforeAnythingIsWritten) {
    // 30000 x 24000 at one bit decodes in 180 MB, but as 24-bit BGR it is 2.16 GB.
    PngWriter w;
    w.Header(30000, 24000, 1, 0).Chunk("IDAT", test::ZlibZeros(std::size_t{3751} * 24000)).End();
    const std::string png = Save("tf_cli_wide.png", w.bytes());
    const std::string bmp = TempPath("tf_cli_wide.bmp");
    std::remove(bmp.c_str());
    const ToolRun run = Tool("--out " + bmp + " " + png);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("ErrorNumber: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Error: a 30000x24000 BMP would take"), std::string::npos) << run.out;
    EXPECT_FALSE(std::ifstream(bmp).good());
    std::remove(png.c_str());
}

}  // namespace
}  // namespace tf::png
