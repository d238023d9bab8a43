// The export format of disk-usage browsers (major 1, minor 2): the version
// numbers, a metadata object, then the source as an array of its info object
// followed by its children, each folder again an array. Written in
// pre-order as the scan goes; a folder's array closes after its subtree.
#include <string>

#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"

namespace tf::listing {
namespace {

const char* ExcludedText(SkipReason reason) {
    switch (reason) {
        case SkipReason::kExcluded: return "pattern";
        case SkipReason::kOtherFileSystem: return "otherfs";
        case SkipReason::kPseudoFileSystem: return "kernfs";
        default: return nullptr;
    }
}

class NcduSink final : public ListingSink {
public:
    explicit NcduSink(const std::string& path) : file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        source_ = header.options.source;
        separator_ = header.separator;
        // Names go out as their bytes are: the format allows any bytes.
        bytes_ = header.options.names == platform::NameEncoding::kUtf8 ? NameBytes::kRaw : NameBytes::kCodePage;
        file_.Pending() = "[1,2,{\"progname\":\"tallyfold-list\",\"progver\":\"1\"}";
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        std::string& out = file_.Pending();
        out += ",\n[{\"name\":";
        AppendJsonString(out, open_ == 0 ? std::string_view(folder.path) : platform::LastName(folder.path, separator_), bytes_);
        if (IsReadFailure(folder.unread)) out += ",\"read_error\":true";
        out += '}';
        ++open_;
        rooted_ = true;
        return file_.Step();
    }
    WriteError Row(const ListedFile& file) override {
        std::string& out = file_.Pending();
        out += ",\n{\"name\":";
        AppendJsonString(out, file.name, bytes_);
        if (file.size) out += ",\"asize\":" + std::to_string(file.size);
        if (file.allocated) out += ",\"dsize\":" + std::to_string(file.allocated);
        // A link has its own size and times; hard links count for files only.
        if (file.links > 1 && file.kind == EntryKind::kFile) {
            out += ",\"ino\":" + std::to_string(file.inode);
            out += ",\"nlink\":" + std::to_string(file.links);
            out += ",\"hlnkc\":true";
        }
        if (file.kind == EntryKind::kLink) out += ",\"notreg\":true";
        out += ",\"mtime\":" + std::to_string(UnixSeconds(file.modified));
        out += '}';
        return file_.Step();
    }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord&) override {
        if (open_ == 0) return 0;
        --open_;
        file_.Pending() += ']';
        return file_.Step();
    }
    WriteError FolderSkipped(const FolderRecord& folder) override {
        std::string& out = file_.Pending();
        out += ",\n[{\"name\":";
        AppendJsonString(out, platform::LastName(folder.path, separator_), bytes_);
        if (const char* excluded = ExcludedText(folder.skipped)) {
            out += ",\"excluded\":\"";
            out += excluded;
            out += '"';
        }
        out += "}]";
        return file_.Step();
    }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override {
        std::string& out = file_.Pending();
        // A run stopped before the source was read still names it.
        if (!rooted_) {
            out += ",\n[{\"name\":";
            AppendJsonString(out, source_, bytes_);
            out += "}]";
        }
        for (; open_ > 0; --open_) out += ']';
        out += "]\n";
        return file_.Commit();
    }

private:
    ReportFile file_;
    std::string source_;
    char separator_ = '/';
    NameBytes bytes_ = NameBytes::kRaw;
    int open_ = 0;  // folder arrays not closed yet
    bool rooted_ = false;  // the source's array is written
};

}  // namespace

std::unique_ptr<ListingSink> MakeNcduSink(const std::string& path) { return std::make_unique<NcduSink>(path); }

}  // namespace tf::listing
