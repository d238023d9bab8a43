// The report of files with the same content: the groups the duplicate
// finder confirms, and the files it could not read, as text, CSV or JSON
// Lines. Rows are handed to the finder as the scan or the replay gives
// them; the reading, its progress and its stop happen at the close. After
// a stop the report has the groups confirmed so far and says so.
#include <memory>
#include <string>

#include "listing/duplicates/duplicate_finder.h"
#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"
#include "platform/work_ahead.h"

namespace tf::listing {
namespace {

class DuplicatesSink final : public ListingSink {
public:
    DuplicatesSink(ReportFormat format, const std::string& path, const DuplicatesReport& report)
        : format_(format), report_(report), file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        separator_ = header.separator;
        bytes_ = Utf8Of(header.options.names);
        source_ = header.options.source;
        host_ = header.host;
        files_ = header.files;
        finder_ = std::make_unique<DuplicateFinder>(header.options.hash, report_.emptyFiles);
        finder_->ReadAheadOn(platform::ContentHelpers(header.options.readAhead));
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        std::string path = folder.path;
        if (path.empty() || path.back() != separator_) path += separator_;
        finder_->Folder(path);
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        finder_->Add(file);
        return 0;
    }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord&) override { return 0; }
    WriteError FolderSkipped(const FolderRecord&) override { return 0; }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override {
        std::unique_ptr<platform::FileSystem> own;
        if (!files_) own = platform::CreateFileSystem();
        finder_->Find(files_ ? files_ : own.get(), host_);
        Write(file_.Pending());
        finder_.reset();
        return file_.Commit();
    }

private:
    // The exact bytes of a path that is not UTF-8, for the machine-readable
    // forms; empty for one that is.
    std::string ExactBytes(const std::string& path) const {
        return bytes_ == NameBytes::kUtf8 && !IsValidUtf8(path) ? EscapeBytes(path) : std::string();
    }

    void Write(std::string& out) const {
        const DuplicateFinder& f = *finder_;
        std::uint64_t files = 0, wasted = 0;
        for (const DuplicateGroup& g : f.Groups()) {
            files += g.files.size();
            wasted += g.Wasted();
        }
        if (format_ == ReportFormat::kCsv) out += "group,size,count,wasted,hash,path,path_bytes\r\n";
        if (format_ == ReportFormat::kText) {
            out += "Duplicates in ";
            AppendLineText(out, source_, bytes_);
            out += "\n";
            if (f.Stopped()) out += "Incomplete: the run was stopped; the groups confirmed before the stop\n";
        }
        std::size_t number = 0;
        std::vector<std::string> paths;
        for (const DuplicateGroup& g : f.Groups()) {
            ++number;
            paths.clear();
            for (const std::size_t file : g.files) paths.push_back(f.PathOf(file));
            const std::string facts = std::to_string(g.size) + "," + std::to_string(g.files.size()) + "," +
                                      std::to_string(g.Wasted()) + "," + g.hash + ",";
            switch (format_) {
                case ReportFormat::kCsv:
                    for (const std::string& path : paths) {
                        out += std::to_string(number) + "," + facts;
                        CsvPath(out, path);
                    }
                    break;
                case ReportFormat::kJsonl: {
                    out += "{\"group\":" + std::to_string(number) + ",\"size\":" + std::to_string(g.size) +
                           ",\"count\":" + std::to_string(g.files.size()) +
                           ",\"wasted\":" + std::to_string(g.Wasted()) + ",\"hash\":\"" + g.hash + "\",\"paths\":";
                    JsonPaths(out, paths, false);
                    // Parallel to "paths", where one of them is not UTF-8.
                    bool exact = false;
                    for (const std::string& path : paths) exact = exact || !ExactBytes(path).empty();
                    if (exact) {
                        out += ",\"path_bytes\":";
                        JsonPaths(out, paths, true);
                    }
                    out += "}\n";
                    break;
                }
                default:
                    out += "\n" + std::to_string(g.files.size()) + " files of " + std::to_string(g.size) +
                           " bytes, " + std::to_string(g.Wasted()) + " bytes wasted, " + g.hash + "\n";
                    for (const std::string& path : paths) {
                        out += "  ";
                        AppendLineText(out, path, bytes_);
                        out += "\n";
                    }
                    break;
            }
        }
        // The files that could not be read: named on the host's error list,
        // counted here in every form.
        for (const UnreadFile& u : f.Unread()) {
            if (format_ == ReportFormat::kCsv) {
                out += "unread," + std::to_string(u.size) + ",,,,";
                CsvPath(out, u.path);
            } else if (format_ == ReportFormat::kJsonl) {
                out += "{\"unread\":\"";
                out += platform::ContentStatusText(u.status);
                out += "\",\"size\":" + std::to_string(u.size) + ",\"path\":";
                AppendJsonString(out, u.path, bytes_);
                if (const std::string exact = ExactBytes(u.path); !exact.empty()) {
                    out += ",\"path_bytes\":";
                    AppendJsonString(out, exact, NameBytes::kUtf8);
                }
                out += "}\n";
            }
        }
        const std::uint64_t notCompared = f.Progress().files - f.Progress().filesDone;
        if (format_ == ReportFormat::kText) {
            out += "\nGroups: " + std::to_string(f.Groups().size()) + "  Files: " + std::to_string(files) +
                   "  Wasted: " + std::to_string(wasted) + " bytes";
            if (!f.Unread().empty()) out += "  Unread: " + std::to_string(f.Unread().size());
            if (f.Stopped()) out += "  Not compared: " + std::to_string(notCompared) + "  (stopped)";
            out += "\n";
        } else if (format_ == ReportFormat::kJsonl) {
            out += "{\"groups\":" + std::to_string(f.Groups().size()) + ",\"files\":" + std::to_string(files) +
                   ",\"wasted\":" + std::to_string(wasted) + ",\"unread\":" + std::to_string(f.Unread().size());
            if (f.Stopped()) out += ",\"stopped\":true,\"not_compared\":" + std::to_string(notCompared);
            out += "}\n";
        }
    }

    // The last two fields of a CSV row: the path and its exact bytes.
    void CsvPath(std::string& out, const std::string& path) const {
        AppendCsvField(out, path, bytes_);
        out += ',';
        AppendCsvField(out, ExactBytes(path), NameBytes::kUtf8);
        out += "\r\n";
    }
    // The paths as a JSON array, or their exact bytes (the UTF-8 ones
    // escaped the same way, so the two arrays stay parallel).
    void JsonPaths(std::string& out, const std::vector<std::string>& paths, bool exact) const {
        out += '[';
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (i) out += ',';
            if (exact) AppendJsonString(out, EscapeBytes(paths[i]), NameBytes::kUtf8);
            else AppendJsonString(out, paths[i], bytes_);
        }
        out += ']';
    }

    const ReportFormat format_;
    const DuplicatesReport report_;
    ReportFile file_;
    char separator_ = '\\';
    NameBytes bytes_ = NameBytes::kUtf8;
    std::string source_;
    CloseHost* host_ = nullptr;
    platform::FileSystem* files_ = nullptr;
    std::unique_ptr<DuplicateFinder> finder_;
};

}  // namespace

std::unique_ptr<ListingSink> MakeDuplicatesSink(ReportFormat format, const std::string& path,
                                               const DuplicatesReport& report) {
    return std::make_unique<DuplicatesSink>(format, path, report);
}

}  // namespace tf::listing
