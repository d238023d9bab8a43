#include "listing/listing_run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <thread>

#include "listing/formats/format_table.h"
#include "listing/formats/report_sinks.h"

namespace tf::listing {
namespace {

// The scan reads through worker threads that run ahead of it when asked to.
std::unique_ptr<platform::ReadAheadFileSystem> ReadAheadFor(const ListingOptions& options, platform::FileSystem& fs,
                                                            ScanHost& host) {
    if (options.readAhead == 0) return nullptr;
    platform::ListingWalk walk = WalkOf(options, fs);
    walk.waiting = [&host] {
        host.PumpEvents();
        return !host.Stopped();
    };
    return std::make_unique<platform::ReadAheadFileSystem>(fs, std::move(walk), options.readAhead);
}

// The format the window does not know: the run still scans and counts.
class NullSink final : public ListingSink {
public:
    WriteError Begin(const RunHeader&) override { return 0; }
    WriteError BeginSection(const FolderStart&) override { return 0; }
    WriteError Row(const ListedFile&) override { return 0; }
    WriteError EndSection(const SectionTotals&) override { return 0; }
    WriteError EndFolder(const FolderRecord&) override { return 0; }
    WriteError FolderSkipped(const FolderRecord&) override { return 0; }
    WriteError Totals(const RunTotals&) override { return 0; }
    WriteError Close() override { return 0; }
};

constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

// The time a listing is made: now, or SOURCE_DATE_EPOCH (seconds since
// 1970) where it is set, so that two runs of one tree write the same bytes.
platform::FileTicks Now() {
    using namespace std::chrono;
    if (const char* pinned = std::getenv("SOURCE_DATE_EPOCH"); pinned && *pinned) {
        char* end = nullptr;
        const unsigned long long seconds = std::strtoull(pinned, &end, 10);
        if (*end == '\0' && *pinned != '-' && seconds <= 253402300799ULL)  // up to the year 9999
            return kUnixEpochTicks + seconds * 10000000;
    }
    const auto since = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return since < 0 ? 0 : kUnixEpochTicks + static_cast<std::uint64_t>(since) * 10;
}

// When a saved listing was written, for one that does not say: the time of
// its file, in whole seconds as the listing's own time is kept.
platform::FileTicks ModifiedTime(const ListingInput& listing) {
    const std::uint64_t ticks = listing.FileModified();
    return ticks - ticks % 10000000;
}

}  // namespace

// The sink of a run: the duplicates report, the format's, or none.
static std::unique_ptr<ListingSink> SinkFor(const ListingOptions& options, const std::string& path) {
    std::unique_ptr<ListingSink> sink =
        options.duplicates ? MakeDuplicatesSink(options.format, path, *options.duplicates) : CreateSink(options.format, path);
    if (!sink) sink = std::make_unique<NullSink>();
    return sink;
}

std::unique_ptr<ListingSink> CreateSink(ReportFormat format, const std::string& path) {
    const FormatEntry* row = EntryOf(format);
    return row ? row->makeSink(path) : nullptr;
}

// The hashes a format is made of (kNone: the run's own choice).
static platform::HashAlgorithm HashesNeeded(const ListingOptions& options) {
    const FormatEntry* row = EntryOf(options.format);
    return row && !options.duplicates ? row->needsHashes : platform::HashAlgorithm::kNone;
}

platform::HashAlgorithm RunHashes(const ListingOptions& options) {
    const platform::HashAlgorithm needed = HashesNeeded(options);
    return needed != platform::HashAlgorithm::kNone ? needed : options.hash;
}

RunOutcome RunListing(const ListingOptions& requested, platform::FileSystem& fs, ScanHost& host,
                      const std::string& reportPath, RunTotals& totals, const EarlierHashes* earlier) {
    ListingOptions options = requested;
    options.names = fs.Names();
    totals = RunTotals{};
    std::unique_ptr<ListingSink> sink = SinkFor(options, reportPath);
    // A format made of hashes has them made its way.
    options.hash = RunHashes(options);

    RunOutcome outcome;
    auto note = [&outcome](WriteError error) {
        if (error && outcome.reportWritten) outcome = {false, error};
    };
    // A report that cannot even be started is known before a long scan.
    note(sink->Begin(RunHeader{options, fs.Separator(), Now(), &host, &fs}));
    if (!outcome.reportWritten) return outcome;
    // A failure in the middle (no memory, a worker that cannot start) still
    // leaves a report with what was listed and its totals, then goes on up.
    std::exception_ptr failure;
    try {
        const auto ahead = ReadAheadFor(options, fs, host);
        FolderScan scan(options, ahead ? *ahead : fs, host, totals, *sink);
        scan.LeaveOut(reportPath);
        if (earlier && options.hash != platform::HashAlgorithm::kNone && earlier->Algorithm() == options.hash)
            scan.ReuseHashes(earlier);
        scan.ScanFolder(options.source);
        // The report may replace the earlier listing it reused.
        if (earlier) earlier->WaitUntilRead();
        note(scan.Error());
    } catch (...) {
        failure = std::current_exception();
    }
    note(sink->Totals(totals));
    note(sink->Close());
    if (failure) std::rethrow_exception(failure);
    return outcome;
}

RunOutcome ReplayListings(const std::vector<ListingInput*>& listings, const ListingOptions& requested, ScanHost& host,
                          const std::string& reportPath, RunTotals& totals, ReplayResult& invalid) {
    ListingOptions options = requested;
    options.names = platform::NameEncoding::kUtf8;
    const std::unique_ptr<ListingSink> sink = SinkFor(options, reportPath);
    return ReplayListings(listings, requested, host, *sink, totals, invalid);
}

RunOutcome ReplayListings(const std::vector<ListingInput*>& listings, const ListingOptions& requested, ScanHost& host,
                          ListingSink& into, RunTotals& totals, ReplayResult& invalid) {
    ListingOptions options = requested;
    options.names = platform::NameEncoding::kUtf8;  // listings hold UTF-8, and the exact bytes beside it
    totals = RunTotals{};
    invalid = ReplayResult{};
    // The header needs each listing's source and separator.
    std::vector<std::string> sources;
    std::vector<char> separators;
    std::vector<platform::FileTicks> listedAt;
    ListingSink* sink = &into;
    // The hashes are the listing's own; a run that asks for others, or a
    // format that needs others, cannot have them.
    platform::HashAlgorithm wanted = HashesNeeded(options);
    if (wanted == platform::HashAlgorithm::kNone) wanted = requested.hash;
    for (ListingInput* input : listings) {
        const std::string& listing = input->Path();
        ReplayResult source = input->Head();
        const char separator = input->Separator();
        if (source.ok && wanted != platform::HashAlgorithm::kNone && source.hash != wanted) {
            source.ok = false;
            source.reason = "the listing carries no " + std::string(platform::HashName(wanted)) + " hashes";
        }
        if (!source.ok) {
            invalid = source;
            invalid.source = listing;
            return RunOutcome{};
        }
        if (sources.empty()) options.hash = source.hash;
        sources.push_back(source.source);
        separators.push_back(separator);
        listedAt.push_back(source.listedAt ? source.listedAt : ModifiedTime(*input));
    }
    if (!sources.empty()) options.source = sources.front();
    RunOutcome outcome;
    auto note = [&outcome](WriteError error) {
        if (error && outcome.reportWritten) outcome = {false, error};
    };
    // A catalogue keeps listings apart: each has its own header and totals.
    const bool catalogue = sink->KeepsListingsApart();
    for (std::size_t i = 0; i < listings.size() || i == 0; ++i) {
        if (i == 0 || catalogue) {
            if (i < sources.size()) options.source = sources[i];
            note(sink->Begin(RunHeader{options, separators.empty() ? '/' : separators[i],
                                       listings.empty() ? 0 : listedAt[i], &host}));
            if (!outcome.reportWritten) return outcome;
        }
        if (i == listings.size()) break;
        RunTotals own;
        WriteError error = 0;
        const ReplayResult result = ReplayListing(*listings[i], options, host, catalogue ? own : totals, *sink, error);
        note(error);
        if (!result.ok) {
            invalid = result;
            invalid.source = listings[i]->Path();
            return outcome;
        }
        if (catalogue) {
            note(sink->Totals(own));
            totals.totalFolders += own.totalFolders;
            totals.totalFiles += own.totalFiles;
            totals.totalBytes += own.totalBytes;
            totals.skippedFolders += own.skippedFolders;
        }
    }
    if (!catalogue) note(sink->Totals(totals));
    note(sink->Close());
    return outcome;
}

unsigned DefaultReadAhead() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

std::string ReportFileName(ReportFormat format) {
    const FormatEntry* row = EntryOf(format);
    return row ? row->fileName : std::string();
}

}  // namespace tf::listing
