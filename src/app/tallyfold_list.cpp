// tallyfold-list: the listing run from the command line, for scripts and
// for checking reports.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/output_check.h"
#include "app/version_option.h"
#include "listing/formats/format_table.h"
#include "listing/listing_run.h"
#include "listing/volume/file_table_choice.h"
#include "listing/volume/volume_file_system.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/folder_volume.h"
#include "platform/replacing_file.h"
#include "platform/tool_main.h"

namespace {

using namespace tf;

constexpr int kExitOk = 0;
constexpr int kExitReportFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;

// The usage text; the formats' lines come from the table of formats.
std::string Usage() {
    std::string usage =
        "usage: tallyfold-list [OPTION]... SOURCE\n"
        "       tallyfold-list [OPTION]... --from LISTING.jsonl\n"
        "       tallyfold-list [OPTION]... --volume FILE [FOLDER]\n"
        "Options take their value as the next argument or after '=' (--format=csv);\n"
        "'--' ends the options.\n"
        "  --filter PATTERNS   files to list, ';'-separated wildcards (default *)\n"
        "  --exclude PATTERN   leave out files and folders whose names match (repeatable)\n"
        "  --max-depth N       enter at most N levels of folders below SOURCE\n"
        "  --record LIST       comma list of type,size,created,modified, or none (default type,size)\n"
        "  --order ORDER       none (default), name, type, size, created or modified\n"
        "  --format FORMAT     one of:\n";
    for (const listing::FormatEntry& format : listing::Formats()) {
        std::string line = "      ";
        line += format.name;
        line.resize(std::max<std::size_t>(line.size() + 1, 22), ' ');
        usage += line + format.help + "\n";
    }
    usage +=
        "  --output FILE       the listing (default Tallyfold.txt, .html, .csv, .jsonl, .ncdu.json,\n"
        "                      .explorer.html; - for standard output); an earlier file there is\n"
        "                      replaced only when the listing is complete\n"
        "  --from LISTING      write the report of a saved jsonl listing instead of a folder\n"
        "                      (repeated with --format explorer: a catalogue of listings)\n"
        "  --volume FILE       list an NTFS volume (a partition or an image file) from its file\n"
        "                      table, without mounting it: the whole volume, or FOLDER in it\n"
        "                      ('/'-separated from its root); contents are not read, so no\n"
        "                      hashes, duplicates, hashdeep or mtree, and links are not followed\n"
        "  --walk              walk SOURCE's folders, never its volume's file table\n"
        "  --mft               read SOURCE from its NTFS volume's file table or fail (Windows,\n"
        "                      as administrator); by default SOURCE on a local NTFS volume is\n"
        "                      read so when it can be and the options allow, else walked\n"
        "  --errors FILE       list the folders that could not be listed there, not on stderr\n"
        "  --follow-links      enter links to folders (each folder is still listed once)\n"
        "  --one-file-system   do not enter folders on other file systems\n"
        "  --read-ahead N      threads that read folders ahead of the listing (0: none, and\n"
        "                      file contents are read in turn; default one per processor,\n"
        "                      at most 4)\n"
        "  --hash [ALGORITHM]  every file's content hash in csv, jsonl and explorer:\n"
        "                      xxh128 (default) or sha256\n"
        "  --reuse LISTING     with hashes: take a file's hash from this earlier jsonl listing\n"
        "                      where the file provably did not change since\n"
        "  --duplicates        a report of files with the same content (" +
        listing::FormatNames(", ", true) +
        ")\n"
        "                      instead of a listing\n"
        "  --empty-files       with --duplicates: empty files are duplicates of each other\n"
        "  --list-formats      print the formats, a line each: name, a tab, what it writes\n"
        "  -h, --help          show this help\n"
        "  --version           show the version\n"
        "Exit: 0 done, 1 the listing could not be written, 2 bad arguments, SOURCE or LISTING,\n"
        "3 some folders (or, with hashes, files) could not be read, 128+N stopped by signal N.\n";
    return usage;
}

struct Arguments {
    Arguments() { options.readAhead = listing::DefaultReadAhead(); }
    listing::ListingOptions options;
    std::string output;
    std::string errors;
    std::vector<std::string> from;  // saved listings to write the report of
    std::string reuse;              // an earlier listing whose hashes are taken where files did not change
    bool emptyFiles = false;        // with --duplicates
    std::string volume;             // an NTFS volume to read instead of a folder
    std::string volumeFolder;       // the folder in it, from its root
    listing::volume::ListingWay way = listing::volume::ListingWay::kAutomatic;
    bool help = false;
    bool listFormats = false;
};

bool ParseRecord(const std::string& list, listing::ListingOptions& options) {
    options.recordType = options.recordSize = options.recordCreated = options.recordModified = false;
    if (list == "none") return true;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        if (item == "type") options.recordType = true;
        else if (item == "size") options.recordSize = true;
        else if (item == "created") options.recordCreated = true;
        else if (item == "modified") options.recordModified = true;
        else return false;
        start = comma + 1;
    }
    return true;
}

bool ParseOrder(const std::string& text, int& order) {
    static const char* const kNames[] = {"name", "type", "size", "created", "modified"};
    if (text == "none") {
        order = listing::kNoOrder;
        return true;
    }
    for (int i = 0; i < listing::kColumnCount; ++i) {
        if (text == kNames[i]) {
            order = i;
            return true;
        }
    }
    return false;
}

// "*.txt;*.log": one pattern goes to the search itself, several are matched
// by the scan on every name.
bool ParseFilter(const std::string& text, listing::ListingOptions& options) {
    std::vector<std::string> patterns;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t semicolon = std::min(text.find(';', start), text.size());
        if (semicolon > start) patterns.push_back(text.substr(start, semicolon - start));
        start = semicolon + 1;
    }
    if (patterns.empty()) return false;
    options.filters.clear();
    options.filter = patterns.size() == 1 ? patterns[0] : "*";
    if (patterns.size() > 1) options.filters = std::move(patterns);
    return true;
}

bool ParseCount(const std::string& text, int& count) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    count = std::stoi(text);
    return true;
}

// The source as the window gives it: no trailing separator, except that a
// root stays a root.
std::string NormaliseSource(std::string source, char separator) {
    while (source.size() > 1 && (source.back() == separator || source.back() == '/')) source.pop_back();
    return source;
}

bool ParseArguments(int argc, char** argv, char separator, Arguments& args, std::string& problem) {
    std::string source;
    bool haveSource = false;
    platform::ArgumentReader reader(argc, argv);
    while (reader.Next()) {
        const std::string& arg = reader.Text();
        // Every failure below but the option's own words is the reader's.
        auto fail = [&](const std::string& why) {
            problem = why.empty() ? reader.Problem() : why;
            return false;
        };
        std::string v;
        if (!reader.IsOption()) {
            if (haveSource) return fail("exactly one SOURCE is expected");
            source = arg;
            haveSource = true;
        } else if (arg == "-h" || arg == "--help") {
            args.help = true;
            return true;
        } else if (arg == "--list-formats") {
            args.listFormats = true;
            return true;
        } else if (arg == "--filter") {
            if (!reader.Value(v)) return fail("");
            if (!ParseFilter(v, args.options)) return fail("bad --filter: " + v);
        } else if (arg == "--exclude") {
            if (!reader.Value(v)) return fail("");
            args.options.excludes.push_back(v);
        } else if (arg == "--max-depth") {
            if (!reader.Value(v)) return fail("");
            if (!ParseCount(v, args.options.maxDepth)) return fail("bad --max-depth: " + v);
        } else if (arg == "--record") {
            if (!reader.Value(v)) return fail("");
            if (!ParseRecord(v, args.options)) return fail("bad --record list: " + v);
        } else if (arg == "--order") {
            if (!reader.Value(v)) return fail("");
            if (!ParseOrder(v, args.options.order)) return fail("bad --order: " + v);
        } else if (arg == "--format") {
            if (!reader.Value(v)) return fail("");
            const listing::FormatEntry* format = listing::FormatNamed(v);
            if (!format) return fail("bad --format: " + v + " (" + listing::FormatNames(", ") + ")");
            args.options.format = format->format;
        } else if (arg == "--output") {
            if (!reader.Value(args.output)) return fail("");
        } else if (arg == "--errors") {
            if (!reader.Value(args.errors)) return fail("");
        } else if (arg == "--from") {
            if (!reader.Value(v)) return fail("");
            args.from.push_back(v);
        } else if (arg == "--volume") {
            if (!reader.Value(args.volume)) return fail("");
        } else if (arg == "--walk" || arg == "--mft") {
            if (!reader.NoValue()) return fail("");
            const auto way = arg == "--walk" ? listing::volume::ListingWay::kWalk : listing::volume::ListingWay::kFileTable;
            if (args.way != listing::volume::ListingWay::kAutomatic && args.way != way)
                return fail("give --walk or --mft, not both");
            args.way = way;
        } else if (arg == "--hash") {
            // The algorithm is optional: a following word is taken only
            // when it names one.
            const std::string name = reader.OptionalValue(
                [](const std::string& next) { return platform::HashByName(next) != platform::HashAlgorithm::kNone; });
            args.options.hash = name.empty() ? platform::HashAlgorithm::kXxh128 : platform::HashByName(name);
            if (args.options.hash == platform::HashAlgorithm::kNone) return fail("bad --hash: " + name);
        } else if (arg == "--reuse") {
            if (!reader.Value(args.reuse)) return fail("");
        } else if (arg == "--duplicates") {
            if (!reader.NoValue()) return fail("");
            if (!args.options.duplicates) args.options.duplicates.emplace();
        } else if (arg == "--empty-files") {
            if (!reader.NoValue()) return fail("");
            args.emptyFiles = true;
        } else if (arg == "--follow-links") {
            if (!reader.NoValue()) return fail("");
            args.options.followLinks = true;
        } else if (arg == "--one-file-system") {
            if (!reader.NoValue()) return fail("");
            args.options.oneFileSystem = true;
        } else if (arg == "--read-ahead") {
            int threads = 0;
            if (!reader.Value(v)) return fail("");
            if (!ParseCount(v, threads) || threads > 64) return fail("bad --read-ahead: " + v);
            args.options.readAhead = static_cast<unsigned>(threads);
        } else {
            return fail("unknown option " + arg);
        }
    }
    if (args.way != listing::volume::ListingWay::kAutomatic && (!args.volume.empty() || !args.from.empty()))
        return problem = "--walk and --mft go with SOURCE, not --volume or --from", false;
    if (args.way == listing::volume::ListingWay::kFileTable) {
        if (problem = listing::volume::FileTableRefusal(args.options, "--mft"); !problem.empty()) return false;
    }
    if (!args.volume.empty()) {
        if (!args.from.empty()) return problem = "give --volume or --from, not both", false;
        if (problem = listing::volume::FileTableRefusal(args.options, "--volume"); !problem.empty()) return false;
        args.volumeFolder = haveSource ? source : std::string();
        args.options.source = args.volume;
        args.options.readAhead = 0;  // the table is in memory: nothing to wait for
    } else if (!args.from.empty()) {
        if (haveSource) return problem = "give SOURCE or --from, not both", false;
        if (args.from.size() > 1 && args.options.format != listing::ReportFormat::kExplorer)
            return problem = "several --from listings make an explorer catalogue only", false;
    } else {
        if (!haveSource || source.empty()) return problem = "no SOURCE given", false;
        args.options.source = NormaliseSource(source, separator);
    }
    if (!args.reuse.empty()) {
        using listing::ReportFormat;
        const ReportFormat f = args.options.format;
        if (!args.from.empty()) return problem = "--reuse reads files: give SOURCE, not --from", false;
        if (args.options.hash == platform::HashAlgorithm::kNone && f != ReportFormat::kHashdeep &&
            f != ReportFormat::kMtree)
            return problem = "--reuse goes with --hash", false;
    }
    const listing::FormatEntry& format = *listing::EntryOf(args.options.format);
    if (args.options.duplicates) {
        args.options.duplicates->emptyFiles = args.emptyFiles;
        if (!format.duplicatesFileName)
            return problem = "--duplicates writes " + listing::FormatNames(", ", true), false;
        if (args.output.empty()) args.output = format.duplicatesFileName;
    } else if (args.emptyFiles) {
        return problem = "--empty-files goes with --duplicates", false;
    }
    if (args.output.empty()) args.output = listing::ReportFileName(args.options.format);
    return true;
}

// Progress on a terminal: one line rewritten in place a few times a second.
// Folders that cannot be listed go to the error list, a line each.
class ConsoleHost final : public listing::ScanHost {
public:
    // `errors`: the error list's file, or none for standard error.
    ConsoleHost(const listing::RunTotals& totals, bool showProgress, platform::ReplacingFile* errors, bool duplicates)
        : totals_(totals), show_(showProgress), errors_(errors), duplicates_(duplicates) {}

    void SetStatus(const std::string& text) override {
        if (!Due()) return;
        std::string line = "Folders: " + std::to_string(totals_.totalFolders) +
                           "  Files: " + std::to_string(totals_.totalFiles) + "  ";
        const std::string hashed = listing::HashProgressText(totals_);
        if (!hashed.empty()) line += hashed + "  ";
        Show(line + text);
    }
    // The listing is whole by then: the comparison's own figures lead.
    void Comparing(const listing::CompareProgress& progress, const std::string& path) override {
        compared_ = progress;
        if (Due()) Show(listing::CompareProgressText(progress) + "  " + path);
    }
    void PumpEvents() override {}

    void FileUnread(const std::string& path, platform::ContentStatus status) override {
        ++unread_;
        Problem(path, platform::ContentStatusText(status), duplicates_ ? "not compared" : "not hashed");
    }
    void FileLeftOut(const std::string& path, const char* reason) override {
        ++leftOut_;
        Problem(path, reason, "left out");
    }
    bool Stopped() override { return platform::StopSignal() != 0; }

    void FolderSkipped(const std::string& path, listing::SkipReason reason) override {
        Problem(path, listing::SkipReasonText(reason), "skipped");
    }

    void ClearProgress() {
        if (shown_) std::fprintf(stderr, "\r%-*s\r", static_cast<int>(kWidth), "");
        shown_ = false;
    }
    bool ErrorsFailed() const { return errorsFailed_; }
    // The duplicates report's comparison as far as it came; files 0 when
    // it had nothing to read.
    const listing::CompareProgress& Compared() const { return compared_; }
    // Files whose content could not be read (hashed or compared), and files
    // the report could not hold.
    std::uint64_t Unread() const { return unread_; }
    std::uint64_t LeftOut() const { return leftOut_; }

private:
    static constexpr std::size_t kWidth = 79;

    // A few times a second at most.
    bool Due() {
        if (!show_) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return false;
        next_ = now + std::chrono::milliseconds(250);
        return true;
    }
    void Show(std::string line) {
        if (line.size() > kWidth) line = line.substr(0, kWidth - 3) + "...";
        std::fprintf(stderr, "\r%-*s", static_cast<int>(kWidth), line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    // A folder or file that is missing from the listing, a line each.
    void Problem(const std::string& path, const char* reason, const char* what) {
        std::string line = path;
        for (char& c : line)
            if (c == '\n' || c == '\r') c = '?';
        if (errors_) {
            const std::string entry = std::string(reason) + '\t' + line + '\n';
            if (!errorsFailed_ && errors_->Write(entry.data(), entry.size()) != 0) errorsFailed_ = true;
            return;
        }
        ClearProgress();
        std::fprintf(stderr, "tallyfold-list: %s %s: %s\n", what, line.c_str(), reason);
    }
    const listing::RunTotals& totals_;
    bool show_;
    platform::ReplacingFile* errors_;
    bool duplicates_;
    std::uint64_t unread_ = 0, leftOut_ = 0;
    bool shown_ = false;
    bool errorsFailed_ = false;
    std::chrono::steady_clock::time_point next_{};
    listing::CompareProgress compared_;
};

// The volume's file table read whole, served as the file system of the run
// with FOLDER as its source; null with why.
std::unique_ptr<platform::FileSystem> OpenVolume(Arguments& args, std::string& why) {
    std::unique_ptr<platform::VolumeFile> file;
    if (const std::string problem = platform::OpenVolumeFile(args.volume, file); !problem.empty()) {
        why = "cannot open the volume " + args.volume + ": " + problem;
        return nullptr;
    }
    auto tree = std::make_shared<listing::volume::NtfsTree>();
    listing::volume::NtfsError error;
    // Read before the stop signals are taken: a stop now ends the program
    // before any report is begun.
    if (!tree->Read(*file, error)) {
        why = args.volume + ": not a readable NTFS volume: " + error.Text();
        return nullptr;
    }
    std::uint32_t folder = 0;
    if (!listing::volume::FindFolder(*tree, args.volumeFolder, folder)) {
        why = "no folder " + args.volumeFolder + " in the volume " + args.volume;
        return nullptr;
    }
    // The source names the volume and the folder in it, '/'-separated as
    // the paths below it are.
    std::string inside;
    for (std::size_t start = 0; start < args.volumeFolder.size();) {
        const std::size_t slash = std::min(args.volumeFolder.find('/', start), args.volumeFolder.size());
        if (slash > start) inside += "/" + args.volumeFolder.substr(start, slash - start);
        start = slash + 1;
    }
    args.options.source = args.volume + inside;
    return std::make_unique<listing::volume::VolumeFileSystem>(std::move(tree), args.options.source, folder);
}

// SOURCE's volume's file table, where SOURCE is to be read from it; null
// to walk. `note` says which was used; false with why when --mft cannot be
// honoured. The walk's file system names the types.
bool ReadSourceTable(Arguments& args, platform::FileSystem& walk, std::unique_ptr<platform::FileSystem>& table,
                     std::string& note, std::string& why) {
    using listing::volume::ListingWay;
    if (args.way == ListingWay::kWalk || !args.volume.empty() || !args.from.empty()) return true;
    // A listing that reads contents or follows links is walked.
    if (args.way == ListingWay::kAutomatic && !listing::volume::FileTableRefusal(args.options, "").empty()) return true;
    listing::volume::FileTableListing read =
        listing::volume::ReadFileTable(platform::VolumeOfFolder(args.options.source), args.options.source,
                                       walk.Separator(), &walk, platform::OpenVolumeFile);
    if (read.outcome != listing::volume::TableOutcome::kRead && args.way == ListingWay::kFileTable) {
        why = "--mft: cannot read the NTFS file table of " + args.options.source + ": " + read.why;
        return false;
    }
    note = listing::volume::FileTableNote(read);
    table = std::move(read.fs);
    if (table) args.options.readAhead = 0;  // the table is in memory: nothing to wait for
    return true;
}

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-list")) return kExitOk;
    auto fs = platform::CreateFileSystem();
    Arguments args;
    std::string problem;
    if (!ParseArguments(argc, argv, fs->Separator(), args, problem)) {
        std::fprintf(stderr, "tallyfold-list: %s\n%s", problem.c_str(), Usage().c_str());
        return kExitUsage;
    }
    if (args.help) {
        std::fputs(Usage().c_str(), stdout);
        return kExitOk;
    }
    if (args.listFormats) {
        for (const listing::FormatEntry& format : listing::Formats()) std::printf("%s\t%s\n", format.name, format.help);
        return kExitOk;
    }
    if (!args.volume.empty()) {
        std::string why;
        fs = OpenVolume(args, why);
        if (!fs) {
            std::fprintf(stderr, "tallyfold-list: %s\n", why.c_str());
            return kExitUsage;
        }
    } else if (args.from.empty() && !fs->IsDirectory(args.options.source)) {
        std::fprintf(stderr, "tallyfold-list: SOURCE is not an existing folder: %s\n", args.options.source.c_str());
        return kExitUsage;
    }
    // A report written over the listing it is made of would lose it: refused
    // before anything is opened for writing.
    for (const std::string* written : {&args.output, &args.errors}) {
        if (const std::string input = tf::app::OutputIsInput(*written, args.from); !input.empty()) {
            std::fprintf(stderr, "tallyfold-list: the output %s is the listing %s: not replaced\n", written->c_str(),
                         input.c_str());
            return kExitUsage;
        }
    }
    // Read before the stop signals are taken, as a --volume is.
    std::unique_ptr<platform::FileSystem> table;
    std::string wayNote;
    if (std::string why; !ReadSourceTable(args, *fs, table, wayNote, why)) {
        std::fprintf(stderr, "tallyfold-list: %s\n", why.c_str());
        return kExitUsage;
    }
    platform::FileSystem& source = table ? *table : *fs;
    listing::EarlierHashes earlier;
    if (!args.reuse.empty()) {
        // The listing is checked as --from would, and read once (it may be
        // a pipe); one without stamps (or of another hash) is valid and
        // simply gives nothing to reuse.
        auto input = std::make_unique<listing::ListingInput>();
        if (!input->Open(args.reuse)) {
            std::fprintf(stderr, "tallyfold-list: %s:%llu: not a valid listing: %s\n", args.reuse.c_str(),
                         static_cast<unsigned long long>(input->Head().line), input->Head().reason.c_str());
            return kExitUsage;
        }
        earlier.Load(std::move(input), listing::RunHashes(args.options));
    }
    // Through the platform, as the report is: its path rules, and a list
    // that is whole or not written.
    std::unique_ptr<platform::ReplacingFile> errorsFile;
    if (!args.errors.empty()) {
        errorsFile = std::make_unique<platform::ReplacingFile>(args.errors);
        if (const int error = errorsFile->Open(); error != 0) {
            std::fprintf(stderr, "tallyfold-list: cannot write the error list %s: %s\n", args.errors.c_str(),
                         platform::WriteErrorText(error).c_str());
            return kExitReportFailed;
        }
    }

    platform::InstallStopSignals();
    listing::RunTotals totals;
    ConsoleHost host(totals, platform::StderrIsTerminal(), errorsFile.get(),
                     args.options.duplicates.has_value());
    listing::RunOutcome outcome;
    if (args.from.empty()) {
        outcome = listing::RunListing(args.options, source, host, args.output, totals, &earlier);
    } else {
        // Each listing is opened once: it may be a pipe.
        std::vector<std::unique_ptr<listing::ListingInput>> inputs;
        std::vector<listing::ListingInput*> opened;
        for (const std::string& path : args.from) {
            inputs.push_back(std::make_unique<listing::ListingInput>());
            inputs.back()->Open(path);
            opened.push_back(inputs.back().get());
        }
        // Duplicates from a listing without hashes read the files it names:
        // with its folder gone there is nothing to compare.
        const listing::ReplayResult& made = opened.front()->Head();
        if (args.options.duplicates && made.ok && made.hash == platform::HashAlgorithm::kNone &&
            !fs->IsDirectory(made.source)) {
            std::fprintf(stderr,
                         "tallyfold-list: %s carries no hashes and the folder it lists is not there to read: %s "
                         "(a listing made with --hash needs no reading)\n",
                         args.from.front().c_str(), made.source.c_str());
            return kExitUsage;
        }
        // A listing that is not valid ends the replay before the report is
        // put in place: the earlier report stays.
        listing::ReplayResult invalid;
        outcome = listing::ReplayListings(opened, args.options, host, args.output, totals, invalid);
        host.ClearProgress();
        if (!invalid.ok) {
            std::fprintf(stderr, "tallyfold-list: %s:%llu: not a valid listing: %s\n", invalid.source.c_str(),
                         static_cast<unsigned long long>(invalid.line), invalid.reason.c_str());
            return kExitUsage;
        }
    }
    host.ClearProgress();
    const bool errorsWritten = !errorsFile || (!host.ErrorsFailed() && errorsFile->Commit() == 0);

    if (!outcome.reportWritten) {
        std::fprintf(stderr, "tallyfold-list: cannot write the report %s: %s; %s\n", args.output.c_str(),
                     platform::WriteErrorText(outcome.error).c_str(),
                     args.output == "-" ? "it is incomplete" : "an earlier report there is kept");
        return kExitReportFailed;
    }
    if (!errorsWritten) {
        std::fprintf(stderr, "tallyfold-list: cannot write the error list %s\n", args.errors.c_str());
        return kExitReportFailed;
    }
    const int stopSignal = platform::StopSignal();
    if (args.output != "-") {  // else the report itself is on stdout
        std::printf("Report: %s\n", args.output.c_str());
        std::fflush(stdout);
    }
    // Files not read are counted only where hashes were made or read, or
    // files compared; each was named as it was met.
    const std::uint64_t unreadFiles = std::max<std::uint64_t>(totals.unreadFiles, host.Unread());
    std::string unread = unreadFiles ? "  Unread: " + std::to_string(unreadFiles) : std::string();
    if (host.LeftOut()) unread += "  Left out: " + std::to_string(host.LeftOut());
    if (!wayNote.empty()) std::fprintf(stderr, "%s\n", wayNote.c_str());
    std::fprintf(stderr, "Folders: %llu  Files: %llu  Bytes: %llu  Skipped: %llu%s%s\n",
                 static_cast<unsigned long long>(totals.totalFolders),
                 static_cast<unsigned long long>(totals.totalFiles),
                 static_cast<unsigned long long>(totals.totalBytes),
                 static_cast<unsigned long long>(totals.skippedFolders), unread.c_str(),
                 stopSignal ? "  (stopped)" : "");
    const listing::CompareProgress& compared = host.Compared();
    if (stopSignal && args.options.duplicates && compared.filesDone < compared.files)
        std::fprintf(stderr, "Stopped comparing: %llu of %llu files compared; the report has the groups found so far\n",
                     static_cast<unsigned long long>(compared.filesDone),
                     static_cast<unsigned long long>(compared.files));
    if (stopSignal) return 128 + stopSignal;
    return totals.skippedFolders || unreadFiles || host.LeftOut() ? kExitIncomplete : kExitOk;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-list", kExitReportFailed, [&] { return RunTool(argc, argv); });
}
