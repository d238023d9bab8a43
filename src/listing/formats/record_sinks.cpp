// The machine-readable listings: CSV (RFC 4180, UTF-8, a header row, CR LF)
// and JSON Lines. One record per file or link, written as its folder's rows
// come, and one per folder once everything below it is known, so the
// folder's subtree total is exact and nothing is held beyond one row.
#include <string>
#include <string_view>

#include "listing/scan/folder_scan.h"
#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"

namespace tf::listing {
namespace {

const char* KindText(EntryKind kind) {
    switch (kind) {
        case EntryKind::kFile: return "file";
        case EntryKind::kFolder: return "folder";
        case EntryKind::kLink: return "link";
    }
    return "file";
}

// One record as the fields see it.
struct RecordView {
    std::string_view path, name, type;
    EntryKind kind = EntryKind::kFile;
    std::uint64_t size = 0, allocated = 0, inode = 0;
    std::uint32_t links = 1;
    platform::FileTicks created = 0, modified = 0;
    const FolderRecord* folder = nullptr;  // folders only
    platform::FileTicks listedAt = 0;      // the source folder's record only
    // The exact bytes of a path or name that is not UTF-8; empty otherwise.
    std::string pathBytes, nameBytes;
    std::string hash;  // "NAME:HEX", or empty
    platform::ContentStatus unhashed = platform::ContentStatus::kRead;
    std::string_view hashes;  // the source folder's: the algorithm of the listing's hashes
    std::string_view target;  // a link's
    std::string targetBytes;  // its exact bytes when they are not UTF-8
    std::string stamp;        // of a hashed file, for a later run's reuse; empty otherwise
};

struct FieldValue {
    enum Type { kAbsent, kText, kWord, kNumber, kTime } type = kAbsent;
    std::string_view text;
    std::uint64_t number = 0;
};

FieldValue Text(std::string_view t) { return {FieldValue::kText, t, 0}; }
FieldValue Word(std::string_view t) { return {FieldValue::kWord, t, 0}; }
FieldValue Number(std::uint64_t n) { return {FieldValue::kNumber, {}, n}; }
FieldValue Time(std::uint64_t ticks) { return {FieldValue::kTime, {}, ticks}; }
FieldValue Absent() { return {}; }

// Which fields are CSV columns (empty where they do not apply; JSON leaves
// such fields out); the hash column only when the run hashes.
enum class Column { kNo, kYes, kWithHashes };

struct Field {
    const char* key;
    Column csv;
    FieldValue (*value)(const RecordView&);
};

// The one list of what a record says. Fields after the CSV columns came
// later: JSON Lines carries them so that a saved listing loses nothing.
const Field kFields[] = {
    {"path", Column::kYes, [](const RecordView& r) { return Text(r.path); }},
    {"name", Column::kYes, [](const RecordView& r) { return Text(r.name); }},
    {"kind", Column::kYes, [](const RecordView& r) { return Word(KindText(r.kind)); }},
    {"type", Column::kYes, [](const RecordView& r) { return Text(r.type); }},
    {"size", Column::kYes, [](const RecordView& r) { return Number(r.size); }},
    {"created", Column::kYes, [](const RecordView& r) { return Time(r.created); }},
    {"modified", Column::kYes, [](const RecordView& r) { return Time(r.modified); }},
    {"files", Column::kYes, [](const RecordView& r) { return r.folder ? Number(r.folder->files) : Absent(); }},
    {"bytes", Column::kYes, [](const RecordView& r) { return r.folder ? Number(r.folder->bytes) : Absent(); }},
    {"subtree_bytes", Column::kYes,
     [](const RecordView& r) { return r.folder ? Number(r.folder->subtreeBytes) : Absent(); }},
    {"skipped", Column::kYes,
     [](const RecordView& r) {
         return r.folder && r.folder->skipped != SkipReason::kNone ? Text(SkipReasonText(r.folder->skipped))
                                                                   : Absent();
     }},
    {"hash", Column::kWithHashes, [](const RecordView& r) { return r.hash.empty() ? Absent() : Word(r.hash); }},
    {"unhashed", Column::kNo,
     [](const RecordView& r) {
         return r.unhashed == platform::ContentStatus::kRead ? Absent() : Word(ContentStatusText(r.unhashed));
     }},
    {"hashes", Column::kNo, [](const RecordView& r) { return r.hashes.empty() ? Absent() : Word(r.hashes); }},
    {"allocated", Column::kNo, [](const RecordView& r) { return r.folder ? Absent() : Number(r.allocated); }},
    {"inode", Column::kNo, [](const RecordView& r) { return r.links > 1 ? Number(r.inode) : Absent(); }},
    {"links", Column::kNo, [](const RecordView& r) { return r.links > 1 ? Number(r.links) : Absent(); }},
    {"path_bytes", Column::kNo,
     [](const RecordView& r) { return r.pathBytes.empty() ? Absent() : Text(r.pathBytes); }},
    {"name_bytes", Column::kNo,
     [](const RecordView& r) { return r.nameBytes.empty() ? Absent() : Text(r.nameBytes); }},
    // When the listing was made, so that a replay of it (a catalogue) can say so.
    {"listed_at", Column::kNo, [](const RecordView& r) { return r.listedAt ? Time(r.listedAt) : Absent(); }},
    {"target", Column::kNo,
     [](const RecordView& r) { return r.kind == EntryKind::kLink && !r.target.empty() ? Text(r.target) : Absent(); }},
    {"stamp", Column::kNo, [](const RecordView& r) { return r.stamp.empty() ? Absent() : Word(r.stamp); }},
    {"target_bytes", Column::kNo,
     [](const RecordView& r) { return r.targetBytes.empty() ? Absent() : Text(r.targetBytes); }},
};

class RecordSink : public ListingSink {
public:
    explicit RecordSink(const std::string& path) : file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        separator_ = header.separator;
        listedAt_ = header.listedAt;
        bytes_ = Utf8Of(header.options.names);
        hashName_ = platform::HashName(header.options.hash);
        source_ = header.options.source;
        Start(file_.Pending());
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        ++open_;
        folder_ = folder.path;
        if (folder_.empty() || folder_.back() != separator_) folder_ += separator_;
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        path_.assign(folder_);
        path_ += file.name;
        view_.path = path_;
        view_.name = file.name;
        view_.type = file.type;
        view_.kind = file.kind;
        view_.size = file.size;
        view_.allocated = file.allocated;
        view_.inode = file.inode;
        view_.links = file.links;
        view_.created = file.created;
        view_.modified = file.modified;
        view_.folder = nullptr;
        view_.listedAt = 0;
        view_.hash.clear();
        if (!file.digest.empty()) {
            view_.hash.assign(hashName_);
            view_.hash += ':';
            view_.hash += file.digest;
        }
        view_.unhashed = file.unhashed;
        view_.target = file.target;
        view_.stamp.clear();
        if (!file.digest.empty() && file.stamp.known) AppendStampText(view_.stamp, file.stamp);
        return Write();
    }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord& folder) override {
        --open_;
        return WriteFolder(folder, open_ == 0 ? listedAt_ : 0);
    }
    WriteError FolderSkipped(const FolderRecord& folder) override {
        return folder.skipped == SkipReason::kExcluded ? 0 : WriteFolder(folder, 0);
    }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override { return file_.Commit(); }

protected:
    virtual void Start(std::string& out) = 0;
    virtual void Record(std::string& out, const RecordView& record) = 0;
    bool IsColumn(const Field& field) const {
        return field.csv == Column::kYes || (field.csv == Column::kWithHashes && !hashName_.empty());
    }
    NameBytes bytes_ = NameBytes::kUtf8;
    std::string_view hashName_;  // empty when the run hashes nothing

private:
    WriteError WriteFolder(const FolderRecord& folder, platform::FileTicks listedAt) {
        view_.path = folder.path;
        view_.name = folder.facts.name;
        view_.type = folder.facts.type;
        view_.kind = EntryKind::kFolder;
        view_.size = 0;
        view_.allocated = view_.inode = 0;
        view_.links = 1;
        view_.created = folder.facts.created;
        view_.modified = folder.facts.modified;
        view_.folder = &folder;
        view_.listedAt = listedAt;
        view_.hash.clear();
        view_.unhashed = platform::ContentStatus::kRead;
        view_.target = {};
        view_.stamp.clear();
        view_.hashes = folder.path == source_ ? hashName_ : std::string_view();
        const WriteError error = Write();
        view_.hashes = {};
        return error;
    }
    WriteError Write() {
        const bool exact = bytes_ == NameBytes::kUtf8;
        view_.pathBytes = exact && !IsValidUtf8(view_.path) ? EscapeBytes(view_.path) : std::string();
        view_.nameBytes = exact && !IsValidUtf8(view_.name) ? EscapeBytes(view_.name) : std::string();
        view_.targetBytes = exact && !IsValidUtf8(view_.target) ? EscapeBytes(view_.target) : std::string();
        Record(file_.Pending(), view_);
        return file_.Step();
    }

    ReportFile file_;
    std::string source_;
    char separator_ = '\\';
    platform::FileTicks listedAt_ = 0;
    int open_ = 0;        // folders entered and not yet ended; 0 again after the source's
    std::string folder_;  // the section's path with a separator at its end
    std::string path_;    // scratch: the path of the row being written
    RecordView view_;
};

class CsvSink final : public RecordSink {
public:
    using RecordSink::RecordSink;

private:
    void Start(std::string& out) override {
        bool first = true;
        for (const Field& field : kFields) {
            if (!IsColumn(field)) continue;
            if (!first) out += ',';
            out += field.key;
            first = false;
        }
        out += "\r\n";
    }
    void Record(std::string& out, const RecordView& record) override {
        bool first = true;
        for (const Field& field : kFields) {
            if (!IsColumn(field)) continue;
            if (!first) out += ',';
            first = false;
            const FieldValue v = field.value(record);
            switch (v.type) {
                case FieldValue::kAbsent: break;
                case FieldValue::kText: AppendCsvField(out, v.text, bytes_); break;
                case FieldValue::kWord: out += v.text; break;
                case FieldValue::kNumber: out += std::to_string(v.number); break;
                case FieldValue::kTime: AppendIsoTime(out, v.number); break;
            }
        }
        out += "\r\n";
    }
};

class JsonlSink final : public RecordSink {
public:
    using RecordSink::RecordSink;

private:
    void Start(std::string&) override {}
    void Record(std::string& out, const RecordView& record) override {
        char open = '{';
        for (const Field& field : kFields) {
            const FieldValue v = field.value(record);
            if (v.type == FieldValue::kAbsent) continue;
            out += open;
            open = ',';
            out += '"';
            out += field.key;
            out += "\":";
            switch (v.type) {
                case FieldValue::kAbsent: break;
                case FieldValue::kText: AppendJsonString(out, v.text, bytes_); break;
                case FieldValue::kWord:
                    out += '"';
                    out += v.text;
                    out += '"';
                    break;
                case FieldValue::kNumber: out += std::to_string(v.number); break;
                case FieldValue::kTime:
                    out += '"';
                    AppendIsoTime(out, v.number);
                    out += '"';
                    break;
            }
        }
        out += "}\n";
    }
};

}  // namespace

std::unique_ptr<ListingSink> MakeCsvSink(const std::string& path) { return std::make_unique<CsvSink>(path); }
std::unique_ptr<ListingSink> MakeJsonlSink(const std::string& path) { return std::make_unique<JsonlSink>(path); }

}  // namespace tf::listing
