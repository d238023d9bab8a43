// The report of files with the same content. Rows are gathered as the scan
// or the replay hands them on; at the end only files that can have a twin
// are read: files alone in their size need nothing, then a hash of each
// one's first and last bytes parts most of the rest, and only what is still
// together is read whole. Hashes a listing already carries are used as they
// are. Hard links of one file are one file.
#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"
#include "platform/content_hash.h"

namespace tf::listing {
namespace {

// Bytes read at each end of a file to tell it apart cheaply.
constexpr std::size_t kEdgeBytes = 4096;

struct Candidate {
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t inode = 0;  // with several links: the file they share
    std::string digest;       // the listing's hash, or made here
};

struct Group {
    std::uint64_t size = 0;
    std::string hash;  // "NAME:HEX"
    std::vector<const Candidate*> files;
    std::uint64_t Wasted() const { return size * (files.size() - 1); }
};

class DuplicatesSink final : public ListingSink {
public:
    DuplicatesSink(ReportFormat format, const std::string& path) : format_(format), file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        separator_ = header.separator;
        bytes_ = Utf8Of(header.options.names);
        listed_ = header.options.hash;
        empty_ = header.options.emptyDuplicates;
        source_ = header.options.source;
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        folder_ = folder.path;
        if (folder_.empty() || folder_.back() != separator_) folder_ += separator_;
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        // Links, files that could not be read and (unless asked) empty
        // files have no twins to find.
        if (file.kind != EntryKind::kFile || file.unhashed != platform::ContentStatus::kRead) return 0;
        if (file.size == 0 && !empty_) return 0;
        Candidate c;
        c.path = folder_;
        c.path += file.name;
        c.size = file.size;
        c.inode = file.links > 1 ? file.inode : 0;
        c.digest = file.digest;
        files_.push_back(std::move(c));
        return 0;
    }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord&) override { return 0; }
    WriteError FolderSkipped(const FolderRecord&) override { return 0; }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override {
        FindGroups();
        Write(file_.Pending());
        return file_.Commit();
    }

private:
    // The algorithm of the whole-file hashes: the listing's when it has
    // them, else the fast one.
    platform::HashAlgorithm Algorithm() const {
        return listed_ == platform::HashAlgorithm::kNone ? platform::HashAlgorithm::kXxh128 : listed_;
    }

    void FindGroups() {
        std::sort(files_.begin(), files_.end(), [](const Candidate& a, const Candidate& b) {
            return std::tie(a.size, a.path) < std::tie(b.size, b.path);
        });
        for (std::size_t i = 0; i < files_.size();) {
            std::size_t j = i;
            while (j < files_.size() && files_[j].size == files_[i].size) ++j;
            if (j - i > 1) SameSize(i, j);
            i = j;
        }
        std::sort(groups_.begin(), groups_.end(), [](const Group& a, const Group& b) {
            if (a.Wasted() != b.Wasted()) return a.Wasted() > b.Wasted();
            return a.files.front()->path < b.files.front()->path;
        });
    }

    // Files [begin, end) all have one size.
    void SameSize(std::size_t begin, std::size_t end) {
        std::vector<Candidate*> files;
        for (std::size_t k = begin; k < end; ++k) files.push_back(&files_[k]);
        const bool listedHashes =
            std::all_of(files.begin(), files.end(), [](const Candidate* c) { return !c->digest.empty(); });
        if (listedHashes) {
            // Hard links as the listing names them (it knows no devices): the
            // first path stands for all.
            std::map<std::uint64_t, bool> inodes;
            files.erase(std::remove_if(files.begin(), files.end(),
                                       [&](const Candidate* c) {
                                           return c->inode != 0 && !inodes.emplace(c->inode, true).second;
                                       }),
                        files.end());
        } else {
            // Files opened say their device and inode themselves.
            files = ReadWhereNeeded(files);
        }
        std::map<std::string, std::vector<const Candidate*>> byDigest;
        for (const Candidate* c : files) byDigest[c->digest].push_back(c);
        for (auto& [digest, same] : byDigest) {
            if (same.size() < 2) continue;
            Group g;
            g.size = same.front()->size;
            g.hash = std::string(platform::HashName(Algorithm())) + ":" + digest;
            g.files = std::move(same);
            groups_.push_back(std::move(g));
        }
    }

    // Gives each file that may have a twin its whole-file digest; leaves
    // out files that cannot be read or changed, and further hard links
    // found on opening.
    std::vector<Candidate*> ReadWhereNeeded(const std::vector<Candidate*>& files) {
        struct Opened {
            Candidate* file;
            platform::ContentIdentity identity;
            std::string edges;
        };
        std::vector<Opened> opened;
        std::map<std::pair<std::uint64_t, std::uint64_t>, bool> seen;
        const std::uint64_t size = files.front()->size;
        for (Candidate* c : files) {
            std::unique_ptr<platform::ContentFile> f;
            Opened o{c, {}, {}};
            platform::ContentStatus status = platform::OpenContentFile(c->path, f);
            if (status == platform::ContentStatus::kRead && f->Size() != size) status = platform::ContentStatus::kChanged;
            if (status == platform::ContentStatus::kRead) {
                o.identity = f->Identity();
                if (!seen.emplace(std::make_pair(o.identity.device, o.identity.inode), true).second) continue;
                status = platform::HashEdges(*f, Algorithm(), kEdgeBytes, o.edges);
            }
            if (status != platform::ContentStatus::kRead) {
                ++unread_;
                continue;
            }
            opened.push_back(std::move(o));
        }
        // Files that small were read whole already.
        const bool whole = size <= 2 * kEdgeBytes;
        std::map<std::string, int> edgeCount;
        for (const Opened& o : opened) ++edgeCount[o.edges];
        std::vector<Candidate*> hashed;
        for (Opened& o : opened) {
            if (edgeCount[o.edges] < 2) continue;
            if (whole) {
                o.file->digest = o.edges;
                hashed.push_back(o.file);
                continue;
            }
            std::unique_ptr<platform::ContentFile> f;
            platform::ContentStatus status = platform::OpenContentFile(o.file->path, f);
            // Another file put in its place since: not the one compared.
            if (status == platform::ContentStatus::kRead &&
                (f->Size() != size || f->Identity().device != o.identity.device ||
                 f->Identity().inode != o.identity.inode))
                status = platform::ContentStatus::kChanged;
            if (status == platform::ContentStatus::kRead)
                status = platform::HashWhole(*f, Algorithm(), nullptr, o.file->digest);
            if (status != platform::ContentStatus::kRead) {
                ++unread_;
                continue;
            }
            hashed.push_back(o.file);
        }
        return hashed;
    }

    void Write(std::string& out) const {
        std::uint64_t files = 0, wasted = 0;
        for (const Group& g : groups_) {
            files += g.files.size();
            wasted += g.Wasted();
        }
        if (format_ == ReportFormat::kCsv) out += "group,size,count,wasted,hash,path\r\n";
        if (format_ == ReportFormat::kText) {
            out += "Duplicates in ";
            AppendUtf8Text(out, source_, bytes_);
            out += "\n";
        }
        std::size_t number = 0;
        for (const Group& g : groups_) {
            ++number;
            const std::string facts = std::to_string(g.size) + "," + std::to_string(g.files.size()) + "," +
                                      std::to_string(g.Wasted()) + "," + g.hash + ",";
            switch (format_) {
                case ReportFormat::kCsv:
                    for (const Candidate* c : g.files) {
                        out += std::to_string(number) + "," + facts;
                        AppendCsvField(out, c->path, bytes_);
                        out += "\r\n";
                    }
                    break;
                case ReportFormat::kJsonl: {
                    out += "{\"group\":" + std::to_string(number) + ",\"size\":" + std::to_string(g.size) +
                           ",\"count\":" + std::to_string(g.files.size()) +
                           ",\"wasted\":" + std::to_string(g.Wasted()) + ",\"hash\":\"" + g.hash + "\",\"paths\":[";
                    char comma = ' ';
                    for (const Candidate* c : g.files) {
                        if (comma == ',') out += ',';
                        comma = ',';
                        AppendJsonString(out, c->path, bytes_);
                    }
                    out += "]}\n";
                    break;
                }
                default:
                    out += "\n" + std::to_string(g.files.size()) + " files of " + std::to_string(g.size) +
                           " bytes, " + std::to_string(g.Wasted()) + " bytes wasted, " + g.hash + "\n";
                    for (const Candidate* c : g.files) {
                        out += "  ";
                        AppendUtf8Text(out, c->path, bytes_);
                        out += "\n";
                    }
                    break;
            }
        }
        if (format_ == ReportFormat::kText) {
            out += "\nGroups: " + std::to_string(groups_.size()) + "  Files: " + std::to_string(files) +
                   "  Wasted: " + std::to_string(wasted) + " bytes";
            if (unread_) out += "  Unread: " + std::to_string(unread_);
            out += "\n";
        }
    }

    const ReportFormat format_;
    ReportFile file_;
    char separator_ = '\\';
    NameBytes bytes_ = NameBytes::kUtf8;
    platform::HashAlgorithm listed_ = platform::HashAlgorithm::kNone;
    bool empty_ = false;
    std::string source_;
    std::string folder_;
    std::vector<Candidate> files_;
    std::vector<Group> groups_;
    std::uint64_t unread_ = 0;
};

}  // namespace

std::unique_ptr<ListingSink> MakeDuplicatesSink(ReportFormat format, const std::string& path) {
    return std::make_unique<DuplicatesSink>(format, path);
}

}  // namespace tf::listing
