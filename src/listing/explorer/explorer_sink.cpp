#include "listing/explorer/explorer_sink.h"

#include "listing/explorer/explorer_format.h"
#include "listing/explorer/explorer_page.h"
#include "listing/scan/folder_scan.h"
#include "listing/formats/record_text.h"

namespace tf::listing {
namespace {

constexpr std::size_t kChunkAt = 256 * 1024;  // numbers and names of one data element
constexpr std::size_t kMaxExtensions = 1 << 16;  // beyond: types written out each time
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr char kChunkStart[] = "<script type=\"application/x-tallyfold-listing\">";
constexpr char kChunkEnd[] = "</script>\n";
constexpr char kHashesStart[] = "<script type=\"application/x-tallyfold-hashes\">";
constexpr char kDuplicatesStart[] = "<script type=\"application/x-tallyfold-duplicates\">";
constexpr char kChangesStart[] = "<script type=\"application/x-tallyfold-changes\">";

using namespace explorer_format;  // the records and digits, as format.js defines them

// The extension the page infers a type from: after the last dot that does
// not start the name, ASCII letters lowered.
std::string ExtensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

// A digit worth d that ends a number, or is one of a digest.
char LastDigit(std::uint64_t d) {
    return static_cast<char>(kFirstLastDigit + d + (kFirstLastDigit + d >= kNotADigit ? 1 : 0));
}

// A number in the digits of docs/explorer-format.md.
void AppendNumber(std::string& out, std::uint64_t value) {
    const std::uint64_t last = value % kLastBase;
    std::uint64_t more = value / kLastBase;
    char digits[16];
    int n = 0;
    while (more) {
        digits[n++] = static_cast<char>(kFirstMoreDigit + more % kMoreBase);
        more /= kMoreBase;
    }
    while (n) out += digits[--n];
    out += LastDigit(last);
}

// Bytes in base 85, four to five digits, most significant first; the
// digits are those of the numbers' last digit ('!'..'v' without '<').
static_assert(kHashBase <= 126 - kFirstLastDigit, "a digest's digits stay printable ASCII");
void AppendBase85(std::string& out, std::string_view bytes) {
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(bytes[i + k]);
        char digits[5];
        for (int k = 4; k >= 0; --k) {
            digits[k] = LastDigit(v % kHashBase);
            v /= kHashBase;
        }
        out.append(digits, 5);
    }
}

std::int64_t Seconds(platform::FileTicks ticks) { return static_cast<std::int64_t>(ticks / kTicksPerSecond); }

std::string_view LastName(const std::string& path, char separator, int depth) {
    if (depth == 0) return path;
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == separator) --end;
    const std::size_t slash = path.rfind(separator, end - 1);
    return slash == std::string::npos ? std::string_view(path).substr(0, end)
                                      : std::string_view(path).substr(slash + 1, end - slash - 1);
}

}  // namespace

void AppendExplorerNumber(std::string& out, std::uint64_t value) { AppendNumber(out, value); }

void ExplorerSink::Note(WriteError error) {
    if (error && !error_) error_ = error;
}

void ExplorerSink::Number(std::uint64_t value) { AppendNumber(numbers_, value); }

void ExplorerSink::Head(std::uint64_t head) { Number(head); }

// A time as the signed step from `base` in whole seconds, zigzag-coded.
void ExplorerSink::Time(platform::FileTicks ticks, std::int64_t& base) {
    const std::int64_t seconds = Seconds(ticks);
    const std::int64_t step = seconds - base;
    base = seconds;
    Number(step >= 0 ? static_cast<std::uint64_t>(step) * 2 : (static_cast<std::uint64_t>(-(step + 1)) * 2) + 1);
}

// A string slot of the names part: as it is, ended by '/', or, when it holds
// what the page's element or the slot cannot carry, as an empty slot and
// its percent-escaped form.
void ExplorerSink::Text(std::string_view text) {
    scratch_.clear();
    AppendUtf8Text(scratch_, text, bytes_);
    if (scratch_.find_first_of("</\r") == std::string::npos && !scratch_.empty()) {
        names_ += scratch_;
        names_ += '/';
        return;
    }
    names_ += '/';
    for (const char c : scratch_) {
        switch (c) {
            case '%': names_ += "%25"; break;
            case '/': names_ += "%2F"; break;
            case '<': names_ += "%3C"; break;
            case '\r': names_ += "%0D"; break;
            default: names_ += c;
        }
    }
    names_ += '/';
}

void ExplorerSink::EndRecord() {
    if (numbers_.size() + names_.size() >= kChunkAt) FlushChunk();
}

void ExplorerSink::FlushChunk() {
    if (numbers_.empty()) return;
    std::string& out = file_.Pending();
    out += kChunkStart;
    out += numbers_;
    out += '\n';
    out += names_;
    out += kChunkEnd;
    numbers_.clear();
    names_.clear();
    if (hash_ != platform::HashAlgorithm::kNone) {
        out += kHashesStart;
        out += hashes_;
        out += kChunkEnd;
        hashes_.assign(platform::HashName(hash_));
        hashes_ += ':';
    }
    Note(file_.Step());
}

WriteError ExplorerSink::Begin(const RunHeader& header) {
    if (!started_) {
        file_.Pending().assign(kExplorerPageHead, kExplorerPageHeadSize);
        if (const WriteError error = file_.Create()) return error_ = error;
        started_ = true;
        // A comparison page shows no hashes (nor duplicates across its two listings).
        if (!comparison_) hash_ = header.options.hash;
        if (hash_ != platform::HashAlgorithm::kNone) {
            hashes_.assign(platform::HashName(hash_));
            hashes_ += ':';
            duplicates_ = std::make_unique<DuplicateFinder>(hash_, false);
        }
        if (comparison_) {
            Head(kRecComparison);
            EndRecord();
        }
    }
    bytes_ = Utf8Of(header.options.names);
    separator_ = header.separator;
    Head(kRecListing);
    Number(static_cast<std::uint64_t>(Seconds(header.listedAt)));
    Number(static_cast<unsigned char>(separator_));
    Text(header.options.source);
    EndRecord();
    return Status();
}

void ExplorerSink::Folder(std::string_view name) {
    ++entries_;
    Head(kRecOpen);
    Text(name);
    EndRecord();
}

WriteError ExplorerSink::BeginSection(const FolderStart& folder) {
    if (duplicates_) {
        // Paths as the duplicates report makes them.
        std::string path = folder.path;
        if (path.empty() || path.back() != separator_) path += separator_;
        duplicates_->Folder(path);
    }
    Folder(LastName(folder.path, separator_, folder.depth));
    return Status();
}

std::uint64_t ExplorerSink::TypeRef(std::string_view name, std::string_view type) {
    scratch_.clear();
    AppendUtf8Text(scratch_, type, bytes_);
    std::uint32_t id = 0;
    if (!scratch_.empty()) {
        const auto found = types_.find(scratch_);
        if (found != types_.end()) {
            id = found->second;
        } else {
            id = static_cast<std::uint32_t>(types_.size() + 1);
            types_.emplace(scratch_, id);
            Head(kRecType);
            Text(type);
        }
    }
    scratch_.clear();
    AppendUtf8Text(scratch_, name, bytes_);
    std::string ext = ExtensionOf(scratch_);
    const auto inferred = typeOfExtension_.find(ext);
    if ((inferred == typeOfExtension_.end() ? 0 : inferred->second) == id) return 0;
    if (inferred != typeOfExtension_.end()) inferred->second = id;
    else if (typeOfExtension_.size() < kMaxExtensions) typeOfExtension_.emplace(std::move(ext), id);
    return id + 1;
}

WriteError ExplorerSink::Row(const ListedFile& file) {
    const std::uint64_t type = TypeRef(file.name, file.type);
    Head(type * kRecordKinds + (file.kind == EntryKind::kLink ? kRecLink : kRecFile));
    Number(file.size);
    Time(file.modified, lastTime_);
    std::int64_t modified = Seconds(file.modified);
    Time(file.created, modified);
    Text(file.name);
    if (file.kind != EntryKind::kLink && hash_ != platform::HashAlgorithm::kNone) Hash(file);
    ++entries_;
    EndRecord();
    return Status();
}

// A file's item in the chunk's hashes; the finder keeps those that may
// have a twin, by the page's number for them.
void ExplorerSink::Hash(const ListedFile& file) {
    digest_.clear();
    const std::size_t bytes = platform::HashHexLength(hash_) / 2;
    if (file.unhashed != platform::ContentStatus::kRead || !DigestBytes(file.digest, bytes, digest_)) {
        hashes_ += static_cast<char>(kNoHash);
        return;
    }
    AppendBase85(hashes_, digest_);
    duplicates_->Add(file, entries_);
}

// The groups: their count, then for each its files' count and entry numbers.
void ExplorerSink::WriteDuplicates() {
    duplicates_->Find(nullptr, nullptr);
    std::string& out = file_.Pending();
    out += kDuplicatesStart;
    AppendNumber(out, duplicates_->Groups().size());
    for (const DuplicateGroup& g : duplicates_->Groups()) {
        AppendNumber(out, g.files.size());
        for (const std::size_t c : g.files) AppendNumber(out, duplicates_->KeyOf(c));
        if (out.size() >= kChunkAt) Note(file_.Step());
    }
    out += kChunkEnd;
    Note(file_.Step());
    duplicates_.reset();
}

WriteError ExplorerSink::EndSection(const SectionTotals&) { return Status(); }

void ExplorerSink::Closed(const FolderRecord& folder) {
    const bool skipped = folder.skipped != SkipReason::kNone;
    Head(skipped ? kRecordKinds + kRecClose : kRecClose);
    Number(folder.files);
    Number(folder.bytes);
    Number(folder.subtreeBytes);
    Time(folder.facts.modified, lastTime_);
    std::int64_t modified = Seconds(folder.facts.modified);
    Time(folder.facts.created, modified);
    if (skipped) Text(SkipReasonText(folder.skipped));
    EndRecord();
}

WriteError ExplorerSink::EndFolder(const FolderRecord& folder) {
    Closed(folder);
    return Status();
}

WriteError ExplorerSink::FolderSkipped(const FolderRecord& folder) {
    if (folder.skipped == SkipReason::kExcluded) return Status();  // left out, as the other listings do
    Folder(LastName(folder.path, separator_, 1));
    Closed(folder);
    return Status();
}

WriteError ExplorerSink::Totals(const RunTotals& totals) {
    Head(kRecTotals);
    Number(totals.totalFolders);
    Number(totals.totalFiles);
    Number(totals.totalBytes);
    Number(totals.skippedFolders);
    EndRecord();
    return Status();
}

WriteError ExplorerSink::Close() {
    if (closed_ || !started_) return Status();
    closed_ = true;
    FlushChunk();
    if (duplicates_) WriteDuplicates();
    if (!changes_.empty()) {
        std::string& out = file_.Pending();
        out += kChangesStart;
        out += changes_;
        out += kChunkEnd;
        Note(file_.Step());
    }
    file_.Pending().append(kExplorerPageTail, kExplorerPageTailSize);
    Note(file_.Commit());
    return Status();
}

}  // namespace tf::listing
