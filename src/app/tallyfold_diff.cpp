// tallyfold-diff: what changed between two JSON Lines listings of
// tallyfold-list, as text or as JSON Lines.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "app/version_option.h"
#include "snapshot/snapshot_diff.h"
#include "platform/tool_main.h"

namespace {

using tf::snapshot::ListedEntry;

constexpr int kExitEqual = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

const char kUsage[] =
    "usage: tallyfold-diff [--format text|jsonl] OLD.jsonl NEW.jsonl\n"
    "Lists what was added (+), removed (-) and changed (~: size or modified time),\n"
    "the size change of each folder, and the total. Exit: 0 equal, 1 different,\n"
    "2 bad arguments or a listing that cannot be read.\n"
    "  -h, --help   show this help\n"
    "  --version    show the version\n";

std::string Signed(std::uint64_t before, std::uint64_t after) {
    return after >= before ? "+" + std::to_string(after - before) : "-" + std::to_string(before - after);
}

class TextOutput final : public tf::snapshot::DiffSink {
public:
    void Added(const ListedEntry& e) override { Line("+ " + e.path + Size(e)); }
    void Removed(const ListedEntry& e) override { Line("- " + e.path + Size(e)); }
    void Changed(const ListedEntry& a, const ListedEntry& b) override {
        std::string line = "~ " + b.path + ":";
        if (a.size != b.size)
            line += " size " + std::to_string(a.size) + " -> " + std::to_string(b.size) + " (" +
                    Signed(a.size, b.size) + ")";
        if (a.modified != b.modified) line += " modified " + a.modified + " -> " + b.modified;
        Line(line);
    }
    void FolderResized(const ListedEntry& a, const ListedEntry& b) override {
        Line("folder " + b.path + ": " + std::to_string(a.subtreeBytes) + " -> " + std::to_string(b.subtreeBytes) +
             " bytes (" + Signed(a.subtreeBytes, b.subtreeBytes) + ")");
    }
    void Total(std::uint64_t before, std::uint64_t after) {
        Line("total: " + std::to_string(before) + " -> " + std::to_string(after) + " bytes (" +
             Signed(before, after) + ")");
    }

private:
    static std::string Size(const ListedEntry& e) {
        return e.kind == "folder" ? " (folder, " + std::to_string(e.subtreeBytes) + " bytes)"
                                  : " (" + std::to_string(e.size) + " bytes)";
    }
    static void Line(std::string line) {
        for (char& c : line)
            if (c == '\n' || c == '\r') c = '?';  // one line per change
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
};

class JsonOutput final : public tf::snapshot::DiffSink {
public:
    void Added(const ListedEntry& e) override { Emit(Entry("added", e)); }
    void Removed(const ListedEntry& e) override { Emit(Entry("removed", e)); }
    void Changed(const ListedEntry& a, const ListedEntry& b) override {
        Emit({{"change", "changed"}, {"path", b.path},         {"kind", b.kind},
              {"old_size", a.size},  {"new_size", b.size},     {"old_modified", a.modified},
              {"new_modified", b.modified}});
    }
    void FolderResized(const ListedEntry& a, const ListedEntry& b) override {
        Emit({{"change", "folder"},
              {"path", b.path},
              {"old_subtree_bytes", a.subtreeBytes},
              {"new_subtree_bytes", b.subtreeBytes}});
    }
    void Total(std::uint64_t before, std::uint64_t after) {
        Emit({{"change", "total"}, {"old_bytes", before}, {"new_bytes", after}});
    }

private:
    static nlohmann::json Entry(const char* change, const ListedEntry& e) {
        nlohmann::json j = {{"change", change}, {"path", e.path}, {"kind", e.kind}, {"size", e.size}};
        if (e.kind == "folder") j["subtree_bytes"] = e.subtreeBytes;
        return j;
    }
    static void Emit(const nlohmann::json& j) {
        const std::string line = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
};

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-diff")) return kExitEqual;
    std::string format = "text";
    std::string files[2];
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitEqual;
        }
        if (arg == "--format" && i + 1 < argc) {
            format = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "tallyfold-diff: unknown option %s\n%s", arg.c_str(), kUsage);
            return kExitTrouble;
        } else if (count < 2) {
            files[count++] = arg;
        } else {
            count = 3;
        }
    }
    if (count != 2 || (format != "text" && format != "jsonl")) {
        std::fprintf(stderr, "tallyfold-diff: two listings and a format of text or jsonl are expected\n%s", kUsage);
        return kExitTrouble;
    }

    TextOutput text;
    JsonOutput json;
    tf::snapshot::DiffSink& sink = format == "text" ? static_cast<tf::snapshot::DiffSink&>(text) : json;
    const tf::snapshot::DiffResult result = tf::snapshot::DiffListings(files[0], files[1], sink);
    if (!result.ok) {
        std::fflush(stdout);
        std::fprintf(stderr, "tallyfold-diff: %s\n", result.error.c_str());
        return kExitTrouble;
    }
    if (result.different) {
        if (format == "text")
            text.Total(result.oldBytes, result.newBytes);
        else
            json.Total(result.oldBytes, result.newBytes);
    }
    return result.different ? kExitDifferent : kExitEqual;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-diff", 2, [&] { return RunTool(argc, argv); });
}
