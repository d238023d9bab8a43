// File lists other tools read: the audit file of a hashing tool (size,
// SHA-256, name), a BSD mtree specification, and the EFU file list. Each
// is one line per entry, written as the rows come.
#include <string>

#include "listing/formats/record_text.h"
#include "listing/formats/report_file.h"
#include "listing/formats/report_sinks.h"

namespace tf::listing {
namespace {

// FILETIME ticks per second.
constexpr std::uint64_t kTicksPerSecond = 10000000;

class LineSink : public ListingSink {
public:
    explicit LineSink(const std::string& path) : file_(path) {}

    WriteError Begin(const RunHeader& header) override {
        separator_ = header.separator;
        source_ = header.options.source;
        host_ = header.host;
        Start(file_.Pending(), header);
        return file_.Create();
    }
    WriteError BeginSection(const FolderStart& folder) override {
        folder_ = folder.path;
        if (folder_.empty() || folder_.back() != separator_) folder_ += separator_;
        Section(file_.Pending(), folder);
        return file_.Step();
    }
    WriteError Row(const ListedFile& file) override {
        path_.assign(folder_);
        path_ += file.name;
        Line(file_.Pending(), path_, file);
        return file_.Step();
    }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord& folder) override {
        Folder(file_.Pending(), folder);
        return file_.Step();
    }
    WriteError FolderSkipped(const FolderRecord&) override { return 0; }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override { return file_.Commit(); }

protected:
    virtual void Start(std::string& out, const RunHeader& header) = 0;
    virtual void Section(std::string&, const FolderStart&) {}
    virtual void Line(std::string& out, const std::string& path, const ListedFile& file) = 0;
    virtual void Folder(std::string&, const FolderRecord&) {}

    // The part of `path` below the source, without its separator.
    std::string_view Relative(std::string_view path) const {
        if (path.size() <= source_.size()) return {};
        std::string_view rest = path.substr(source_.size());
        if (!rest.empty() && rest.front() == separator_) rest.remove_prefix(1);
        return rest;
    }
    char separator_ = '\\';
    CloseHost* host_ = nullptr;  // hears of files a format cannot hold

private:
    ReportFile file_;
    std::string source_;
    std::string folder_;
    std::string path_;
};

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// The audit file: "size,sha256,filename" under a two-line header, a line
// for each regular file. Names go as they are, like the tool's own files,
// so the same tree checks against it; a name with a line break cannot have
// a line of its own and is left out, and said to be.
class HashdeepSink final : public LineSink {
public:
    using LineSink::LineSink;

private:
    void Start(std::string& out, const RunHeader& header) override {
        out += "%%%% HASHDEEP-1.0\n%%%% size,sha256,filename\n## Invoked from: ";
        AppendLineText(out, header.options.source, NameBytes::kRaw);  // a comment: one line whatever the name
        out += "\n## \n";
    }
    void Line(std::string& out, const std::string& path, const ListedFile& file) override {
        // Files that could not be read are named as the scan meets them.
        if (file.digest.empty()) return;
        if (HasLineBreak(path)) {
            if (host_) host_->FileLeftOut(path, "a line break in its name");
            return;
        }
        out += std::to_string(file.size);
        out += ',';
        out += file.digest;
        out += ',';
        out += path;
        out += '\n';
    }
};

// A BSD mtree specification: every folder and file by its path below the
// source ("./a/b"), with type, size, modified time and SHA-256; links,
// FIFOs, sockets and devices by their own types.
class MtreeSink final : public LineSink {
public:
    using LineSink::LineSink;

private:
    void Start(std::string& out, const RunHeader&) override { out += "#mtree\n"; }
    void Section(std::string& out, const FolderStart& folder) override {
        AppendPath(out, Relative(folder.path));
        out += " type=dir\n";
    }
    void Line(std::string& out, const std::string& path, const ListedFile& file) override {
        AppendPath(out, Relative(path));
        if (file.kind == EntryKind::kLink) {
            out += " type=link";
            // The target as written, so that the tool checks where it leads.
            if (!file.target.empty()) {
                out += " link=";
                AppendEscaped(out, file.target, false);
            }
            out += '\n';
            return;
        }
        if (file.special != platform::SpecialFile::kNone) {
            out += " type=";
            out += TypeOf(file.special);
            AppendTime(out, file.modified);
            out += '\n';
            return;
        }
        out += " type=file size=" + std::to_string(file.size);
        AppendTime(out, file.modified);
        if (!file.digest.empty()) {
            out += " sha256digest=";
            out += file.digest;
        }
        out += '\n';
    }

    static const char* TypeOf(platform::SpecialFile special) {
        switch (special) {
            case platform::SpecialFile::kFifo: return "fifo";
            case platform::SpecialFile::kSocket: return "socket";
            case platform::SpecialFile::kCharDevice: return "char";
            case platform::SpecialFile::kBlockDevice: return "block";
            case platform::SpecialFile::kNone: break;
        }
        return "file";
    }

    // Seconds and nanoseconds since 1970, as far as the ticks tell: the
    // tool compares below the second. A saved listing keeps whole seconds,
    // so a replay's specification has those.
    static void AppendTime(std::string& out, platform::FileTicks ticks) {
        out += " time=" + std::to_string(UnixSeconds(ticks)) + ".";
        const std::string nanoseconds = std::to_string((ticks % kTicksPerSecond) * 100);
        out += std::string(9 - nanoseconds.size(), '0') + nanoseconds;
    }

    // "." then each name; bytes that are not printable ASCII, blanks, and
    // the characters the format gives a meaning ('\\', '#', patterns) as
    // octal escapes.
    void AppendPath(std::string& out, std::string_view relative) const {
        out += '.';
        if (relative.empty()) return;
        out += '/';
        AppendEscaped(out, relative, true);
    }
    // Text in the escaped form, its separators as '/' where `path`.
    void AppendEscaped(std::string& out, std::string_view text, bool path) const {
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (path && ch == separator_) {
                out += '/';
            } else if (c <= 0x20 || c >= 0x7F || ch == '\\' || ch == '#' || ch == '*' || ch == '?' || ch == '[' ||
                       ch == ']') {
                out += '\\';
                out += static_cast<char>('0' + (c >> 6));
                out += static_cast<char>('0' + ((c >> 3) & 7));
                out += static_cast<char>('0' + (c & 7));
            } else {
                out += ch;
            }
        }
    }
};

// The EFU file list: CSV with "Filename,Size,Date Modified,Date Created,
// Attributes"; times as FILETIME ticks, attributes as the Windows bits
// (docs/efu-format.md).
class EfuSink final : public LineSink {
public:
    using LineSink::LineSink;

private:
    static constexpr unsigned kDirectory = 0x10;
    static constexpr unsigned kArchive = 0x20;
    static constexpr unsigned kReparsePoint = 0x400;

    void Start(std::string& out, const RunHeader& header) override {
        bytes_ = Utf8Of(header.options.names);
        out += "Filename,Size,Date Modified,Date Created,Attributes\r\n";
    }
    void Line(std::string& out, const std::string& path, const ListedFile& file) override {
        Write(out, path, std::to_string(file.size), file.modified, file.created,
              file.kind == EntryKind::kLink ? kArchive | kReparsePoint : kArchive);
    }
    void Folder(std::string& out, const FolderRecord& folder) override {
        Write(out, folder.path, std::to_string(folder.subtreeBytes), folder.facts.modified, folder.facts.created,
              kDirectory);
    }
    void Write(std::string& out, std::string_view path, const std::string& size, platform::FileTicks modified,
               platform::FileTicks created, unsigned attributes) const {
        // Always quoted: the list's own files quote every name.
        out += '"';
        std::string name;
        AppendUtf8Text(name, path, bytes_);
        for (char c : name) {
            if (c == '"') out += '"';
            out += c;
        }
        out += "\",";
        out += size;
        out += ',' + std::to_string(modified) + ',' + std::to_string(created) + ',' + std::to_string(attributes);
        out += "\r\n";
    }
    NameBytes bytes_ = NameBytes::kUtf8;
};

}  // namespace

std::unique_ptr<ListingSink> MakeHashdeepSink(const std::string& path) { return std::make_unique<HashdeepSink>(path); }
std::unique_ptr<ListingSink> MakeMtreeSink(const std::string& path) { return std::make_unique<MtreeSink>(path); }
std::unique_ptr<ListingSink> MakeEfuSink(const std::string& path) { return std::make_unique<EfuSink>(path); }

}  // namespace tf::listing
