// tallyfold-skin: makes and inspects skin files.
//
//   tallyfold-skin build DESCRIPTION.txt PICTURE.bmp OUT.Skin
//   tallyfold-skin dump FILE.Skin [--picture OUT.bmp]
//   tallyfold-skin check FILE.Skin
//   tallyfold-skin preview FILE.Skin [--mdi [--maximised]] [--at X,Y]   (Windows)
//
// dump prints every member of the records, one per line, in the form that
// build reads; it and check read a file through the same checks as the
// skin engine, so a file the engine would refuse fails here with the reason.
// preview shows the skin on a window with a menu bar until it is closed.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "app/version_option.h"
#include "skin/format/bmp_image.h"
#include "skin/format/skin_builder.h"
#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"
#include "platform/tool_main.h"
#ifdef _WIN32
#include "app/skin_preview_win.h"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;  // a file could not be read, written or was refused
constexpr int kExitUsage = 2;

using Bytes = std::vector<std::uint8_t>;

const char kUsage[] =
    "usage: tallyfold-skin build DESCRIPTION.txt PICTURE.bmp OUT.Skin\n"
    "       tallyfold-skin dump FILE.Skin [--picture OUT.bmp]\n"
    "       tallyfold-skin check FILE.Skin\n"
    "       tallyfold-skin preview FILE.Skin [--mdi [--maximised]] [--at X,Y]\n"
    "       tallyfold-skin --help | --version\n"
    "preview (Windows only) shows the skin on a window with a menu bar until it is\n"
    "closed; --mdi on an MDI frame with two child windows, --maximised with the\n"
    "second child maximised, --at with the window's top left corner at X,Y.\n"
    "Exit: 0 done, 1 a file could not be read or written or was refused, 2 bad arguments\n"
    "(and preview anywhere but on Windows).\n";

void Usage() { std::cerr << kUsage; }

int Fail(const std::string& path, const std::string& reason) {
    std::cerr << "tallyfold-skin: " << path << ": " << reason << '\n';
    return kExitRefused;
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

int Build(const std::string& descriptionPath, const std::string& picturePath, const std::string& outPath) {
    Bytes description, picture, skin;
    if (!ReadFile(descriptionPath, description)) return Fail(descriptionPath, "cannot be read");
    if (!ReadFile(picturePath, picture)) return Fail(picturePath, "cannot be read");
    std::string error;
    if (!tf::skin::BuildSkin(std::string(description.begin(), description.end()), picture.data(), picture.size(),
                             skin, error)) {
        return Fail(descriptionPath, error);
    }
    if (!WriteFile(outPath, skin)) return Fail(outPath, "cannot be written");
    return kExitOk;
}

// Reads a skin file as the engine does; prints the reason when refused.
bool Load(const std::string& path, tf::skin::SkinFile& skin) {
    Bytes bytes;
    if (!ReadFile(path, bytes)) {
        Fail(path, "cannot be read");
        return false;
    }
    std::string where;
    const tf::skin::SkinFileError error = tf::skin::ReadSkinFile(bytes.data(), bytes.size(), skin, &where);
    if (error != tf::skin::SkinFileError::kNone) {
        Fail(path, std::string(tf::skin::ToString(error)) + (where.empty() ? "" : " (" + where + ")"));
        return false;
    }
    return true;
}

int Dump(const std::string& path, const std::string& picturePath) {
    tf::skin::SkinFile skin;
    if (!Load(path, skin)) return kExitRefused;
    std::cout << "# picture " << skin.picture.width << "x" << skin.picture.height << '\n'
              << tf::skin::DescribeSkin(skin.signature, skin.parameters);
    if (!picturePath.empty() && !WriteFile(picturePath, tf::skin::EncodeBmp24(skin.picture))) {
        return Fail(picturePath, "cannot be written");
    }
    return kExitOk;
}

int Check(const std::string& path) {
    tf::skin::SkinFile skin;
    if (!Load(path, skin)) return kExitRefused;
    std::cout << path << ": a valid skin, picture " << skin.picture.width << "x" << skin.picture.height << '\n';
    return kExitOk;
}

int Preview(const std::vector<std::string>& args) {
#ifdef _WIN32
    tf::app::PreviewOptions options;
    options.skin = args[1];
    for (std::size_t i = 2; i < args.size(); ++i) {
        char end = 0;
        if (args[i] == "--mdi") {
            options.mdi = true;
        } else if (args[i] == "--maximised") {
            options.maximised = true;
        } else if (args[i] == "--at" && i + 1 < args.size() &&
                   std::sscanf(args[i + 1].c_str(), "%d,%d%c", &options.x, &options.y, &end) == 2) {
            options.placed = true;
            ++i;
        } else {
            std::cerr << "tallyfold-skin: preview: " << args[i] << ": unknown option or bad value\n";
            Usage();
            return kExitUsage;
        }
    }
    if (options.maximised && !options.mdi) {
        std::cerr << "tallyfold-skin: preview: --maximised maximises an MDI child window and needs --mdi\n";
        return kExitUsage;
    }
    return tf::app::RunSkinPreview(options, std::cerr);
#else
    (void)args;
    std::cerr << "tallyfold-skin: preview shows a window and needs Windows\n";
    return kExitUsage;
#endif
}

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-skin")) return kExitOk;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        std::cout << kUsage;
        return kExitOk;
    }
    if (args.size() == 4 && args[0] == "build") return Build(args[1], args[2], args[3]);
    if (args.size() == 2 && args[0] == "dump") return Dump(args[1], "");
    if (args.size() == 4 && args[0] == "dump" && args[2] == "--picture") return Dump(args[1], args[3]);
    if (args.size() == 2 && args[0] == "check") return Check(args[1]);
    if (args.size() >= 2 && args[0] == "preview") return Preview(args);
    Usage();
    return kExitUsage;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-skin", 1, [&] { return RunTool(argc, argv); });
}
