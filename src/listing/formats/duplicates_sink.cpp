// The report of files with the same content. Rows are gathered as the scan
// or the replay hands them on; at the end only files that can have a twin
// are read: files alone in their size need nothing, small files are read
// whole at once, larger ones first at both ends, and only what is still
// together is read whole. Hashes a listing already carries are used as they
// are. Hard links of one file are one file. The reading shows its progress
// through the run's host and ends at its stop: the report then has the
// groups confirmed so far and says that it is incomplete.
#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"
#include "platform/content_hash.h"

namespace tf::listing {
namespace {

// Bytes read at each end of a file to tell it apart cheaply.
constexpr std::size_t kEdgeBytes = 4096;
// Files up to this size are read whole at once: no more reads than their
// two ends would take.
constexpr std::uint64_t kWholeAtOnce = 16 << 10;
// Files kept open from their ends' reading to their whole reading; past
// that many in one size, a file is opened again (and checked to be the
// same file).
constexpr std::size_t kKeptOpen = 256;
// Files opened and asked for at once before their ends are read.
constexpr std::size_t kOpenAhead = 32;
// Bytes of the next files asked for while one is read whole.
constexpr std::uint64_t kAskAhead = 16 << 20;

// A file that may have a twin: a few numbers, its name in one buffer for
// all (its listed digest right after it) and its folder by number.
struct Candidate {
    std::uint64_t size = 0;
    std::uint64_t inode = 0;  // with several links: the file they share
    std::uint64_t name = 0;   // where its name starts in names_
    std::uint32_t nameLength = 0;
    std::uint32_t folder = 0;  // in folders_
};

struct Group {
    std::uint64_t size = 0;
    std::string hash;                // "NAME:HEX"
    std::vector<std::string> paths;  // in order
    std::uint64_t Wasted() const { return size * (paths.size() - 1); }
};

class DuplicatesSink final : public ListingSink {
public:
    DuplicatesSink(ReportFormat format, const std::string& path) : format_(format), file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        separator_ = header.separator;
        bytes_ = Utf8Of(header.options.names);
        listed_ = header.options.hash;
        digestLength_ = platform::HashHexLength(listed_);
        empty_ = header.options.emptyDuplicates;
        source_ = header.options.source;
        host_ = header.host;
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        folder_ = folder.path;
        if (folder_.empty() || folder_.back() != separator_) folder_ += separator_;
        folderKept_ = false;
        return 0;
    }
    WriteError Row(const ListedFile& file) override {
        // Links, files that could not be read and (unless asked) empty
        // files have no twins to find.
        if (file.kind != EntryKind::kFile || file.unhashed != platform::ContentStatus::kRead) return 0;
        if (file.size == 0 && !empty_) return 0;
        // A hashed listing gives every file read its digest.
        if (digestLength_ && file.digest.size() != digestLength_) return 0;
        if (!folderKept_) {
            folders_.push_back(folder_);
            folderKept_ = true;
        }
        Candidate c;
        c.size = file.size;
        c.inode = file.links > 1 ? file.inode : 0;
        c.name = names_.size();
        c.nameLength = static_cast<std::uint32_t>(file.name.size());
        c.folder = static_cast<std::uint32_t>(folders_.size() - 1);
        names_.append(file.name);
        names_.append(file.digest);
        files_.push_back(c);
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

    std::string PathOf(const Candidate& c) const {
        return folders_[c.folder] + names_.substr(c.name, c.nameLength);
    }
    std::string_view ListedDigest(const Candidate& c) const {
        return std::string_view(names_).substr(c.name + c.nameLength, digestLength_);
    }

    // Whether the run was asked to stop; once it was, nothing more is read.
    bool Stop() {
        if (!stopped_ && host_) {
            host_->PumpEvents();
            stopped_ = host_->Stopped();
        }
        return stopped_;
    }
    void Show(const std::string& path) {
        if (host_ && progress_.files) host_->Comparing(progress_, path);
    }
    // A file that needs no more reading: its bytes not read count as done.
    void Settle(std::uint64_t size, std::uint64_t read = 0) {
        ++progress_.filesDone;
        progress_.bytesDone += size - std::min(read, size);
    }

    void FindGroups() {
        // By size, and in the order listed within one size.
        std::sort(files_.begin(), files_.end(),
                  [](const Candidate& a, const Candidate& b) { return std::tie(a.size, a.name) < std::tie(b.size, b.name); });
        // A run stopped before its close reads nothing more: listed hashes
        // still make their groups.
        Stop();
        // What is to be read is known now: every file that shares its size.
        if (!digestLength_) {
            ForEachSharedSize([&](std::size_t begin, std::size_t end) {
                progress_.files += end - begin;
                progress_.bytes += (end - begin) * files_[begin].size;
            });
        }
        Show(std::string());
        ForEachSharedSize([&](std::size_t begin, std::size_t end) { SameSize(begin, end); });
        Show(std::string());
        std::sort(groups_.begin(), groups_.end(), [](const Group& a, const Group& b) {
            if (a.Wasted() != b.Wasted()) return a.Wasted() > b.Wasted();
            return a.paths.front() < b.paths.front();
        });
        // Only the groups are written.
        files_ = std::vector<Candidate>();
        names_ = std::string();
        folders_ = std::vector<std::string>();
    }

    // Each run [begin, end) of two or more files of one size.
    template <typename Run>
    void ForEachSharedSize(Run run) {
        for (std::size_t i = 0; i < files_.size();) {
            std::size_t j = i;
            while (j < files_.size() && files_[j].size == files_[i].size) ++j;
            if (j - i > 1) run(i, j);
            i = j;
        }
    }

    // Files [begin, end) all have one size.
    void SameSize(std::size_t begin, std::size_t end) {
        // Of several links to one file the first path in byte order stands
        // for all, whatever order the folders were read in (the explorer
        // page's groups take the same one).
        InPathOrder(begin, end);
        // (file, whole digest) of the files that are one file each.
        std::vector<std::pair<std::size_t, std::string>> hashed;
        if (digestLength_) {
            // Hard links as the listing names them (it knows no devices).
            std::unordered_set<std::uint64_t> inodes;
            for (std::size_t k = begin; k < end; ++k) {
                const Candidate& c = files_[k];
                if (c.inode != 0 && !inodes.insert(c.inode).second) continue;
                hashed.emplace_back(k, std::string(ListedDigest(c)));
            }
        } else {
            ReadWhereNeeded(begin, end, hashed);
        }
        // By digest, each group's files staying in path order.
        std::sort(hashed.begin(), hashed.end(),
                  [](const auto& a, const auto& b) { return std::tie(a.second, a.first) < std::tie(b.second, b.first); });
        for (std::size_t i = 0; i < hashed.size();) {
            std::size_t j = i;
            while (j < hashed.size() && hashed[j].second == hashed[i].second) ++j;
            if (j - i > 1) {
                Group g;
                g.size = files_[begin].size;
                g.hash = std::string(platform::HashName(Algorithm())) + ":" + hashed[i].second;
                for (std::size_t k = i; k < j; ++k) g.paths.push_back(PathOf(files_[hashed[k].first]));
                groups_.push_back(std::move(g));
            }
            i = j;
        }
    }

    void InPathOrder(std::size_t begin, std::size_t end) {
        std::vector<std::pair<std::string, Candidate>> keyed;
        keyed.reserve(end - begin);
        for (std::size_t k = begin; k < end; ++k) keyed.emplace_back(PathOf(files_[k]), files_[k]);
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t k = begin; k < end; ++k) files_[k] = keyed[k - begin].second;
    }

    // Gives each file [begin, end) that may have a twin its whole-file
    // digest; leaves out files that cannot be read or changed, further hard
    // links found on opening, and, after a stop, files not read whole.
    void ReadWhereNeeded(std::size_t begin, std::size_t end, std::vector<std::pair<std::size_t, std::string>>& hashed) {
        struct Opened {
            std::size_t index;
            std::unique_ptr<platform::ContentFile> file;  // while few are open
            platform::ContentIdentity identity;
            std::string edges;
        };
        const std::uint64_t size = files_[begin].size;
        // Small files are settled by one reading.
        const bool whole = size <= kWholeAtOnce;
        std::vector<Opened> opened;
        std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
        for (std::size_t k = begin; k < end && !stopped_;) {
            // A few files are opened and their bytes asked for before the
            // first is read: a cold disk then fetches them side by side.
            std::vector<Opened> batch;
            for (const std::size_t last = std::min(end, k + kOpenAhead); k < last && !Stop(); ++k) {
                Opened o{k, nullptr, {}, {}};
                platform::ContentStatus status = platform::OpenContentFile(PathOf(files_[k]), o.file);
                if (status == platform::ContentStatus::kRead && o.file->Size() != size)
                    status = platform::ContentStatus::kChanged;
                if (status != platform::ContentStatus::kRead) {
                    ++unread_;
                    Settle(size);
                    continue;
                }
                o.identity = o.file->Identity();
                if (!seen.emplace(o.identity.device, o.identity.inode).second) {
                    Settle(size);
                    continue;
                }
                if (whole) {
                    o.file->WillRead(0, size);
                } else {
                    o.file->WillRead(0, kEdgeBytes);
                    o.file->WillRead(size - kEdgeBytes, kEdgeBytes);
                }
                batch.push_back(std::move(o));
            }
            for (Opened& o : batch) {
                if (Stop()) break;
                Show(PathOf(files_[o.index]));
                const platform::ContentStatus status =
                    whole ? platform::HashWhole(*o.file, Algorithm(), nullptr, o.edges)
                          : platform::HashEdges(*o.file, Algorithm(), kEdgeBytes, o.edges);
                if (status != platform::ContentStatus::kRead) {
                    ++unread_;
                    Settle(size);
                    continue;
                }
                if (whole) {
                    Settle(size);
                    hashed.emplace_back(o.index, std::move(o.edges));
                    continue;
                }
                if (opened.size() >= kKeptOpen) o.file.reset();
                opened.push_back(std::move(o));
            }
        }
        if (whole || stopped_) return;
        std::unordered_map<std::string, int> edgeCount;
        for (const Opened& o : opened) ++edgeCount[o.edges];
        // Files with ends of their own are told apart already.
        opened.erase(std::remove_if(opened.begin(), opened.end(),
                                    [&](const Opened& o) {
                                        if (edgeCount[o.edges] > 1) return false;
                                        Settle(size);
                                        return !Stop();
                                    }),
                     opened.end());
        // The next files' bytes are asked for while one is read, up to a
        // bound, from the files still open.
        std::size_t ahead = 0;
        std::uint64_t asked = 0, done = 0;
        for (Opened& o : opened) {
            if (Stop()) return;
            for (; ahead < opened.size() && asked <= done + kAskAhead; ++ahead) {
                if (opened[ahead].file) opened[ahead].file->WillRead(0, std::min(size, kAskAhead));
                asked += std::min(size, kAskAhead);
            }
            done += std::min(size, kAskAhead);
            const std::string path = PathOf(files_[o.index]);
            Show(path);
            platform::ContentStatus status = platform::ContentStatus::kRead;
            if (!o.file) {
                status = platform::OpenContentFile(path, o.file);
                // Another file put in its place since: not the one compared.
                if (status == platform::ContentStatus::kRead &&
                    (o.file->Size() != size || o.file->Identity().device != o.identity.device ||
                     o.file->Identity().inode != o.identity.inode))
                    status = platform::ContentStatus::kChanged;
            }
            std::uint64_t read = 0;
            std::string digest;
            if (status == platform::ContentStatus::kRead)
                status = platform::HashWhole(*o.file, Algorithm(), [&](std::uint64_t bytes) {
                    read += bytes;
                    progress_.bytesDone += bytes;
                    Show(path);
                    return !Stop();
                }, digest);
            o.file.reset();
            if (status == platform::ContentStatus::kStopped) {
                // Not settled: what it read is taken back.
                progress_.bytesDone -= read;
                return;
            }
            Settle(size, read);
            if (status != platform::ContentStatus::kRead) {
                ++unread_;
                continue;
            }
            hashed.emplace_back(o.index, std::move(digest));
        }
    }

    void Write(std::string& out) const {
        std::uint64_t files = 0, wasted = 0;
        for (const Group& g : groups_) {
            files += g.paths.size();
            wasted += g.Wasted();
        }
        if (format_ == ReportFormat::kCsv) out += "group,size,count,wasted,hash,path\r\n";
        if (format_ == ReportFormat::kText) {
            out += "Duplicates in ";
            AppendUtf8Text(out, source_, bytes_);
            out += "\n";
            if (stopped_)
                out += "Incomplete: the run was stopped; the groups confirmed before the stop\n";
        }
        std::size_t number = 0;
        for (const Group& g : groups_) {
            ++number;
            const std::string facts = std::to_string(g.size) + "," + std::to_string(g.paths.size()) + "," +
                                      std::to_string(g.Wasted()) + "," + g.hash + ",";
            switch (format_) {
                case ReportFormat::kCsv:
                    for (const std::string& path : g.paths) {
                        out += std::to_string(number) + "," + facts;
                        AppendCsvField(out, path, bytes_);
                        out += "\r\n";
                    }
                    break;
                case ReportFormat::kJsonl: {
                    out += "{\"group\":" + std::to_string(number) + ",\"size\":" + std::to_string(g.size) +
                           ",\"count\":" + std::to_string(g.paths.size()) +
                           ",\"wasted\":" + std::to_string(g.Wasted()) + ",\"hash\":\"" + g.hash + "\",\"paths\":[";
                    char comma = ' ';
                    for (const std::string& path : g.paths) {
                        if (comma == ',') out += ',';
                        comma = ',';
                        AppendJsonString(out, path, bytes_);
                    }
                    out += "]}\n";
                    break;
                }
                default:
                    out += "\n" + std::to_string(g.paths.size()) + " files of " + std::to_string(g.size) +
                           " bytes, " + std::to_string(g.Wasted()) + " bytes wasted, " + g.hash + "\n";
                    for (const std::string& path : g.paths) {
                        out += "  ";
                        AppendUtf8Text(out, path, bytes_);
                        out += "\n";
                    }
                    break;
            }
        }
        if (format_ == ReportFormat::kText) {
            out += "\nGroups: " + std::to_string(groups_.size()) + "  Files: " + std::to_string(files) +
                   "  Wasted: " + std::to_string(wasted) + " bytes";
            if (unread_) out += "  Unread: " + std::to_string(unread_);
            if (stopped_)
                out += "  Not compared: " + std::to_string(progress_.files - progress_.filesDone) + "  (stopped)";
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
    std::size_t digestLength_ = 0;  // of the listed hashes; 0: none listed
    CloseHost* host_ = nullptr;
    std::string folder_;
    bool folderKept_ = false;  // folder_ is the last of folders_
    std::vector<std::string> folders_;
    std::string names_;
    std::vector<Candidate> files_;
    std::vector<Group> groups_;
    std::uint64_t unread_ = 0;
    CompareProgress progress_;
    bool stopped_ = false;
};

}  // namespace

std::unique_ptr<ListingSink> MakeDuplicatesSink(ReportFormat format, const std::string& path) {
    return std::make_unique<DuplicatesSink>(format, path);
}

}  // namespace tf::listing
