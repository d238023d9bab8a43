#include "snapshot/diff_writers.h"

#include "listing/formats/record_text.h"

namespace tf::snapshot {
namespace {

using listing::NameBytes;

std::string Signed(std::uint64_t before, std::uint64_t after) {
    return after >= before ? "+" + std::to_string(after - before) : "-" + std::to_string(before - after);
}

std::string SignedNumber(std::int64_t n) { return (n >= 0 ? "+" : "") + std::to_string(n); }

std::string Time(platform::FileTicks ticks) {
    std::string out;
    listing::AppendIsoTime(out, ticks);
    return out;
}

const char* SideText(Side side) { return side == Side::kOld ? "old" : side == Side::kNew ? "new" : "both"; }

std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What the other listing holds where one could not read.
std::string NotReadText(const DiffItem& item) {
    if (item.side == Side::kBoth) return "not read in either listing (" + item.reason + ")";
    const char* other = item.side == Side::kNew ? "old" : "new";
    std::string out = std::string("not read in the ") + SideText(item.side) + " listing (" + item.reason + "); the " +
                      other + " listing ";
    if (!item.otherHeld && item.otherFiles == 0) return out + "has nothing there";
    return out + "holds " + Count(item.otherFiles, "file", "files") + ", " + std::to_string(item.otherBytes) +
           " bytes";
}

}  // namespace

std::string TextName(const std::string& path) {
    std::string text;
    listing::AppendUtf8Text(text, path.empty() ? std::string(".") : path, NameBytes::kUtf8);
    bool quote = !text.empty() && text[0] == '"';
    quote = quote || text.find(" -> ") != std::string::npos || text.find(" <- ") != std::string::npos;
    for (unsigned char c : text) quote = quote || c < 0x20 || c == 0x7f;
    if (!quote) return text;
    std::string out = "\"";
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void WriteDiffText(const DiffResult& r, listing::ReportFile& report) {
    std::string& out = report.Pending();
    out += "old: " + TextName(r.oldSource) + "\n";
    out += "new: " + TextName(r.newSource) + "\n";
    for (const DiffItem& item : r.items) {
        const bool folder = item.kind == EntryKind::kFolder;
        const std::string slash = folder ? std::string(1, '/') : std::string();
        const std::string contents = folder ? "folder, " + std::to_string(item.files) + " files, " : std::string();
        // Inside a moved folder: where it is now, and where it was.
        const std::string moved = item.InsideMove() ? " <- " + TextName(item.from) : std::string();
        const std::string name = TextName(item.path) + slash + (moved.empty() ? "" : moved + slash);
        switch (item.change) {
            case Change::kAdded: out += "+ " + name + " (" + contents + std::to_string(item.newSize) + " bytes)"; break;
            case Change::kRemoved:
                out += "- " + name + " (" + contents + std::to_string(item.oldSize) + " bytes)";
                break;
            case Change::kMoved:
                out += "> " + TextName(item.from) + slash + " -> " + TextName(item.path) + slash + " (" + contents +
                       std::to_string(item.newSize) + " bytes)";
                break;
            case Change::kChanged:
                out += "~ " + name + ":";
                if (item.oldSize != item.newSize)
                    out += " size " + std::to_string(item.oldSize) + " -> " + std::to_string(item.newSize) + " (" +
                           Signed(item.oldSize, item.newSize) + ")";
                if (item.oldModified != item.newModified)
                    out += " modified " + Time(item.oldModified) + " -> " + Time(item.newModified);
                // Neither moved: only a link's target can have.
                if (item.oldSize == item.newSize && item.oldModified == item.newModified) out += " target changed";
                break;
            case Change::kContentChanged:
                out += "! " + name + ": content changed (" + std::to_string(item.newSize) + " bytes)";
                break;
            case Change::kContentNotCompared: out += "? " + name + ": content not compared: " + item.reason; break;
            case Change::kNotRead: out += "x " + name + ": " + NotReadText(item); break;
            case Change::kFolderResized:
                out += "folder " + TextName(item.path) + moved + ": " + std::to_string(item.oldSize) + " -> " + std::to_string(item.newSize) +
                       " bytes (" + Signed(item.oldSize, item.newSize) + ")";
                break;
        }
        out += '\n';
        report.Step();
    }
    if (!r.contentNotComparedNote.empty()) out += "contents not compared: " + r.contentNotComparedNote + "\n";
    if (r.items.empty()) return;
    out += "summary: added " + std::to_string(r.added.count) + " files (" + std::to_string(r.added.bytes) +
           " bytes), removed " + std::to_string(r.removed.count) + " (" + std::to_string(r.removed.bytes) +
           " bytes), changed " + std::to_string(r.changed.count) + " (" + SignedNumber(r.changedGrowth) +
           " bytes), moved " + std::to_string(r.moved.count) + " (" + std::to_string(r.moved.bytes) +
           " bytes); folders new " + std::to_string(r.foldersAdded) + ", gone " + std::to_string(r.foldersRemoved) +
           ", moved " + std::to_string(r.foldersMoved);
    // Said only where there are some, so plain comparisons read as before.
    if (r.contentChanged.count)
        out += "; content changed " + std::to_string(r.contentChanged.count) + " files (" +
               std::to_string(r.contentChanged.bytes) + " bytes)";
    if (r.contentNotCompared) out += "; content not compared " + std::to_string(r.contentNotCompared) + " files";
    if (r.notRead) out += "; not read " + std::to_string(r.notRead) + " folders";
    out += "\n";
    out += "total: " + std::to_string(r.oldTotal.bytes) + " -> " + std::to_string(r.newTotal.bytes) + " bytes (" +
           Signed(r.oldTotal.bytes, r.newTotal.bytes) + ")\n";
}

namespace {

// A path as JSON: its text, and its exact bytes where it is not UTF-8.
void JsonPath(std::string& out, const char* key, const std::string& path) {
    out += ",\"";
    out += key;
    out += "\":";
    listing::AppendJsonString(out, path, NameBytes::kUtf8);
    if (!listing::IsValidUtf8(path)) {
        out += ",\"";
        out += key;
        out += "_bytes\":";
        listing::AppendJsonString(out, listing::EscapeBytes(path), NameBytes::kUtf8);
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
    listing::AppendJsonString(out, text, NameBytes::kUtf8);
}

}  // namespace

void WriteDiffJsonl(const DiffResult& r, listing::ReportFile& report) {
    std::string& out = report.Pending();
    for (const DiffItem& item : r.items) {
        out += "{\"change\":\"";
        out += ChangeText(item.change);
        out += '"';
        JsonPath(out, "path", item.path);
        if (!item.from.empty() || item.change == Change::kMoved) JsonPath(out, "from", item.from);
        Field(out, "kind", KindText(item.kind));
        const bool folder = item.kind == EntryKind::kFolder;
        if (item.change == Change::kNotRead) {
            Field(out, "unread_in", SideText(item.side));
            Field(out, "reason", item.reason);
            if (item.side != Side::kBoth) {
                Field(out, "other_files", item.otherFiles);
                Field(out, "other_bytes", item.otherBytes);
            }
            out += "}\n";
            report.Step();
            continue;
        }
        if (item.change == Change::kContentNotCompared) {
            Field(out, "unhashed_in", SideText(item.side));
            Field(out, "reason", item.reason);
        }
        const bool before = item.change != Change::kAdded;
        const bool after = item.change != Change::kRemoved;
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
    if (r.contentNotCompared) Field(out, "content_not_compared_files", r.contentNotCompared);
    if (r.notRead) Field(out, "not_read_folders", r.notRead);
    if (!r.contentNotComparedNote.empty()) Field(out, "contents_not_compared", r.contentNotComparedNote);
    out += "}\n{\"change\":\"total\"";
    Field(out, "old_bytes", r.oldTotal.bytes);
    Field(out, "new_bytes", r.newTotal.bytes);
    Field(out, "old_files", r.oldTotal.count);
    Field(out, "new_files", r.newTotal.count);
    out += "}\n";
}

void WriteDiffCsv(const DiffResult& r, listing::ReportFile& report) {
    std::string& out = report.Pending();
    out += "change,path,from,kind,files,old_size,new_size,size_change,old_modified,new_modified,reason\r\n";
    for (const DiffItem& item : r.items) {
        const bool unread = item.change == Change::kNotRead;
        const bool before = item.change != Change::kAdded && !unread;
        const bool after = item.change != Change::kRemoved && !unread;
        const bool folder = item.kind == EntryKind::kFolder;
        out += ChangeText(item.change);
        out += ',';
        listing::AppendCsvField(out, item.path, NameBytes::kUtf8);
        out += ',';
        listing::AppendCsvField(out, item.from, NameBytes::kUtf8);
        out += ',';
        out += KindText(item.kind);
        out += ',';
        if (folder && item.change != Change::kFolderResized && !unread) out += std::to_string(item.files);
        out += ',' + (before ? std::to_string(item.oldSize) : std::string());
        out += ',' + (after ? std::to_string(item.newSize) : std::string());
        out += ',' + (unread ? std::string() : Signed(before ? item.oldSize : 0, after ? item.newSize : 0));
        out += ',' + (!folder && before ? Time(item.oldModified) : std::string());
        out += ',' + (!folder && after ? Time(item.newModified) : std::string());
        out += ',';
        if (unread) listing::AppendCsvField(out, NotReadText(item), NameBytes::kUtf8);
        if (item.change == Change::kContentNotCompared) listing::AppendCsvField(out, item.reason, NameBytes::kUtf8);
        out += "\r\n";
        report.Step();
    }
}

}  // namespace tf::snapshot
