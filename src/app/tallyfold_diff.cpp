// tallyfold-diff: what changed between two JSON Lines listings of
// tallyfold-list, as text, JSON Lines or CSV.
#include <cstdio>
#include <string>
#include <vector>

#include "app/version_option.h"
#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "platform/command_line.h"
#include "platform/replacing_file.h"
#include "platform/tool_main.h"
#include "snapshot/compare_page.h"
#include "snapshot/snapshot_diff.h"

namespace {

using tf::listing::NameBytes;
using tf::snapshot::Change;
using tf::snapshot::DiffItem;
using tf::snapshot::DiffResult;
using tf::snapshot::EntryKind;

constexpr int kExitEqual = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

const char kUsage[] =
    "usage: tallyfold-diff [--format text|jsonl|csv|explorer] [--output FILE] [--] OLD.jsonl NEW.jsonl\n"
    "Compares two listings by the paths below their sources, so a folder can be\n"
    "compared with its copy elsewhere: what was added (+), removed (-), changed\n"
    "(~: size or modified time; !: the content, where both listings carry hashes),\n"
    "moved (>: same name, size, time and hash elsewhere, or a folder with the same\n"
    "content), each folder whose size changed, a summary\n"
    "and the total. A folder on one side only is one line.\n"
    "  --format FORMAT  text (default), jsonl, csv, or explorer: one page that\n"
    "                   browses both listings and shows what changed\n"
    "  --output FILE    where the changes go (default -, standard output); an\n"
    "                   earlier file there is replaced only when they are complete\n"
    "Options take their value as the next argument or after '=' (--format=csv);\n"
    "'--' ends the options.\n"
    "  -h, --help       show this help\n"
    "  --version        show the version\n"
    "Exit: 0 equal, 1 different, 2 bad arguments or a listing that cannot be read.\n";

std::string Signed(std::uint64_t before, std::uint64_t after) {
    return after >= before ? "+" + std::to_string(after - before) : "-" + std::to_string(before - after);
}

std::string SignedNumber(std::int64_t n) { return (n >= 0 ? "+" : "") + std::to_string(n); }

const char* KindText(EntryKind kind) {
    return kind == EntryKind::kFolder ? "folder" : kind == EntryKind::kLink ? "link" : "file";
}

const char* ChangeText(const DiffItem& item) {
    switch (item.change) {
        case Change::kAdded: return "added";
        case Change::kRemoved: return "removed";
        case Change::kChanged: return "changed";
        case Change::kMoved: return "moved";
        case Change::kFolderResized: return "folder";
        case Change::kContentChanged: return "content";
    }
    return "";
}

std::string Time(tf::platform::FileTicks ticks) {
    std::string out;
    tf::listing::AppendIsoTime(out, ticks);
    return out;
}

// Names reach every format as UTF-8; text lines stay one line each.
std::string Shown(const std::string& path) {
    std::string out;
    tf::listing::AppendUtf8Text(out, path.empty() ? std::string(".") : path, NameBytes::kUtf8);
    for (char& c : out)
        if (c == '\n' || c == '\r') c = '?';
    return out;
}

void WriteText(const DiffResult& r, tf::listing::ReportFile& report) {
    std::string& out = report.Pending();
    out += "old: " + Shown(r.oldSource) + "\n";
    out += "new: " + Shown(r.newSource) + "\n";
    for (const DiffItem& item : r.items) {
        const bool folder = item.kind == EntryKind::kFolder;
        const std::string slash = folder ? std::string(1, '/') : std::string();
        const std::string contents = folder ? "folder, " + std::to_string(item.files) + " files, " : std::string();
        switch (item.change) {
            case Change::kAdded:
                out += "+ " + Shown(item.path) + slash + " (" + contents + std::to_string(item.newSize) + " bytes)";
                break;
            case Change::kRemoved:
                out += "- " + Shown(item.path) + slash + " (" + contents + std::to_string(item.oldSize) + " bytes)";
                break;
            case Change::kMoved:
                out += "> " + Shown(item.from) + slash + " -> " + Shown(item.path) + slash + " (" + contents +
                       std::to_string(item.newSize) + " bytes)";
                break;
            case Change::kChanged:
                out += "~ " + Shown(item.path) + ":";
                if (item.oldSize != item.newSize)
                    out += " size " + std::to_string(item.oldSize) + " -> " + std::to_string(item.newSize) + " (" +
                           Signed(item.oldSize, item.newSize) + ")";
                if (item.oldModified != item.newModified)
                    out += " modified " + Time(item.oldModified) + " -> " + Time(item.newModified);
                // Neither moved: only a link's target can have.
                if (item.oldSize == item.newSize && item.oldModified == item.newModified) out += " target changed";
                break;
            case Change::kContentChanged:
                out += "! " + Shown(item.path) + ": content changed (" + std::to_string(item.newSize) + " bytes)";
                break;
            case Change::kFolderResized:
                out += "folder " + Shown(item.path) + ": " + std::to_string(item.oldSize) + " -> " +
                       std::to_string(item.newSize) + " bytes (" + Signed(item.oldSize, item.newSize) + ")";
                break;
        }
        out += '\n';
        report.Step();
    }
    if (!r.Different()) return;
    out += "summary: added " + std::to_string(r.added.count) + " files (" + std::to_string(r.added.bytes) +
           " bytes), removed " + std::to_string(r.removed.count) + " (" + std::to_string(r.removed.bytes) +
           " bytes), changed " + std::to_string(r.changed.count) + " (" + SignedNumber(r.changedGrowth) +
           " bytes), moved " + std::to_string(r.moved.count) + " (" + std::to_string(r.moved.bytes) +
           " bytes); folders new " + std::to_string(r.foldersAdded) + ", gone " + std::to_string(r.foldersRemoved) +
           ", moved " + std::to_string(r.foldersMoved);
    // Said only where hashes found one, so comparisons without them read as before.
    if (r.contentChanged.count)
        out += "; content changed " + std::to_string(r.contentChanged.count) + " files (" +
               std::to_string(r.contentChanged.bytes) + " bytes)";
    out += "\n";
    out += "total: " + std::to_string(r.oldTotal.bytes) + " -> " + std::to_string(r.newTotal.bytes) + " bytes (" +
           Signed(r.oldTotal.bytes, r.newTotal.bytes) + ")\n";
}

// A path as JSON: its text, and its exact bytes where it is not UTF-8.
void JsonPath(std::string& out, const char* key, const std::string& path) {
    out += ",\"";
    out += key;
    out += "\":";
    tf::listing::AppendJsonString(out, path, NameBytes::kUtf8);
    if (!tf::listing::IsValidUtf8(path)) {
        out += ",\"";
        out += key;
        out += "_bytes\":";
        tf::listing::AppendJsonString(out, tf::listing::EscapeBytes(path), NameBytes::kUtf8);
    }
}

void Field(std::string& out, const char* key, std::uint64_t value) {
    out += ",\"";
    out += key;
    out += "\":" + std::to_string(value);
}

void Field(std::string& out, const char* key, const std::string& text) {
    out += ",\"";
    out += key;
    out += "\":";
    tf::listing::AppendJsonString(out, text, NameBytes::kUtf8);
}

void WriteJson(const DiffResult& r, tf::listing::ReportFile& report) {
    std::string& out = report.Pending();
    for (const DiffItem& item : r.items) {
        out += "{\"change\":\"";
        out += ChangeText(item);
        out += '"';
        JsonPath(out, "path", item.path);
        if (item.change == Change::kMoved) JsonPath(out, "from", item.from);
        Field(out, "kind", KindText(item.kind));
        const bool before = item.change != Change::kAdded;
        const bool after = item.change != Change::kRemoved;
        const bool folder = item.kind == EntryKind::kFolder;
        if (folder && item.change != Change::kFolderResized) Field(out, "files", item.files);
        if (before) Field(out, folder ? "old_subtree_bytes" : "old_size", item.oldSize);
        if (after) Field(out, folder ? "new_subtree_bytes" : "new_size", item.newSize);
        if (!folder && before) Field(out, "old_modified", Time(item.oldModified));
        if (!folder && after) Field(out, "new_modified", Time(item.newModified));
        out += "}\n";
        report.Step();
    }
    if (!r.Different()) return;
    out += "{\"change\":\"summary\"";
    JsonPath(out, "old_source", r.oldSource);
    JsonPath(out, "new_source", r.newSource);
    Field(out, "added_files", r.added.count);
    Field(out, "added_bytes", r.added.bytes);
    Field(out, "removed_files", r.removed.count);
    Field(out, "removed_bytes", r.removed.bytes);
    Field(out, "changed_files", r.changed.count);
    out += ",\"changed_growth\":" + std::to_string(r.changedGrowth);
    Field(out, "moved_files", r.moved.count);
    Field(out, "moved_bytes", r.moved.bytes);
    Field(out, "folders_added", r.foldersAdded);
    Field(out, "folders_removed", r.foldersRemoved);
    Field(out, "folders_moved", r.foldersMoved);
    if (r.contentChanged.count) {
        Field(out, "content_changed_files", r.contentChanged.count);
        Field(out, "content_changed_bytes", r.contentChanged.bytes);
    }
    out += "}\n{\"change\":\"total\"";
    Field(out, "old_bytes", r.oldTotal.bytes);
    Field(out, "new_bytes", r.newTotal.bytes);
    Field(out, "old_files", r.oldTotal.count);
    Field(out, "new_files", r.newTotal.count);
    out += "}\n";
}

void WriteCsv(const DiffResult& r, tf::listing::ReportFile& report) {
    std::string& out = report.Pending();
    out += "change,path,from,kind,files,old_size,new_size,size_change,old_modified,new_modified\r\n";
    for (const DiffItem& item : r.items) {
        const bool before = item.change != Change::kAdded;
        const bool after = item.change != Change::kRemoved;
        const bool folder = item.kind == EntryKind::kFolder;
        out += ChangeText(item);
        out += ',';
        tf::listing::AppendCsvField(out, item.path, NameBytes::kUtf8);
        out += ',';
        tf::listing::AppendCsvField(out, item.from, NameBytes::kUtf8);
        out += ',';
        out += KindText(item.kind);
        out += ',';
        if (folder && item.change != Change::kFolderResized) out += std::to_string(item.files);
        out += ',' + (before ? std::to_string(item.oldSize) : std::string());
        out += ',' + (after ? std::to_string(item.newSize) : std::string());
        out += ',' + Signed(before ? item.oldSize : 0, after ? item.newSize : 0);
        out += ',' + (!folder && before ? Time(item.oldModified) : std::string());
        out += ',' + (!folder && after ? Time(item.newModified) : std::string());
        out += "\r\n";
        report.Step();
    }
}

// The page is the replay of both listings, marked as a comparison; the
// page works out the changes as this tool does.
int WritePage(const std::string& oldListing, const std::string& newListing, const std::string& output) {
    tf::listing::ReplayResult invalid;
    const tf::listing::RunOutcome outcome = tf::snapshot::WriteComparisonPage(oldListing, newListing, output, invalid);
    if (!invalid.ok) {
        std::fprintf(stderr, "tallyfold-diff: %s:%llu: not a valid listing: %s\n", invalid.source.c_str(),
                     static_cast<unsigned long long>(invalid.line), invalid.reason.c_str());
        return kExitTrouble;
    }
    if (!outcome.reportWritten) {
        std::fprintf(stderr, "tallyfold-diff: cannot write %s: %s\n", output.c_str(),
                     tf::platform::WriteErrorText(outcome.error).c_str());
        return kExitTrouble;
    }
    return kExitEqual;
}

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-diff")) return kExitEqual;
    std::string format = "text";
    std::string output = "-";
    std::vector<std::string> files;
    tf::platform::ArgumentReader reader(argc, argv);
    auto usageError = [](const std::string& problem) {
        std::fprintf(stderr, "tallyfold-diff: %s\n%s", problem.c_str(), kUsage);
        return kExitTrouble;
    };
    while (reader.Next()) {
        const std::string& arg = reader.Text();
        if (!reader.IsOption()) {
            files.push_back(arg);
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitEqual;
        } else if (arg == "--format" || arg == "--output") {
            if (!reader.Value(arg == "--format" ? format : output)) return usageError(reader.Problem());
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (format != "text" && format != "jsonl" && format != "csv" && format != "explorer")
        return usageError("bad --format: " + format + " (text, jsonl, csv or explorer)");
    if (files.size() != 2) return usageError("two listings are expected, OLD and NEW");
    const DiffResult result = tf::snapshot::DiffListings(files[0], files[1]);
    if (!result.ok) {
        std::fprintf(stderr, "tallyfold-diff: %s\n", result.error.c_str());
        return kExitTrouble;
    }
    // A copy checked against a listing of another hash would otherwise pass
    // unseen: say that its contents were not compared.
    if (!result.contentNotCompared.empty())
        std::fprintf(stderr, "tallyfold-diff: contents not compared: %s\n", result.contentNotCompared.c_str());
    if (format == "explorer") {
        const int written = WritePage(files[0], files[1], output);
        if (written != kExitEqual) return written;
        return result.Different() ? kExitDifferent : kExitEqual;
    }
    tf::listing::ReportFile report(output);
    int error = report.Create();
    if (!error) {
        if (format == "text")
            WriteText(result, report);
        else if (format == "jsonl")
            WriteJson(result, report);
        else
            WriteCsv(result, report);
        error = report.Commit();
    }
    if (error) {
        std::fprintf(stderr, "tallyfold-diff: cannot write %s: %s\n", output.c_str(),
                     tf::platform::WriteErrorText(error).c_str());
        return kExitTrouble;
    }
    return result.Different() ? kExitDifferent : kExitEqual;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-diff", kExitTrouble, [&] { return RunTool(argc, argv); });
}
