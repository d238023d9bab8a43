// tallyfold-list: the listing run from the command line, for scripts and
// for checking reports.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "listing/listing_run.h"
#include "platform/console.h"

namespace {

using namespace tf;

constexpr int kExitOk = 0;
constexpr int kExitReportFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

const char kUsage[] =
    "usage: tallyfold-list [--filter PATTERN] [--record LIST] [--order ORDER] [--format text|html]\n"
    "                      [--output FILE] SOURCE\n"
    "  LIST   comma list of type,size,created,modified, or none (default type,size)\n"
    "  ORDER  none (default), name, type, size, created or modified\n";

struct Arguments {
    listing::ListingOptions options;
    std::string output;
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

// The source as the window gives it: no trailing separator, except that a
// root stays a root.
std::string NormaliseSource(std::string source, char separator) {
    while (source.size() > 1 && (source.back() == separator || source.back() == '/')) source.pop_back();
    return source;
}

bool ParseArguments(int argc, char** argv, char separator, Arguments& args, std::string& problem) {
    std::string source;
    bool haveSource = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                problem = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--filter") {
            if (!value(args.options.filter)) return false;
        } else if (arg == "--record") {
            if (!value(v)) return false;
            if (!ParseRecord(v, args.options)) return problem = "bad --record list: " + v, false;
        } else if (arg == "--order") {
            if (!value(v)) return false;
            if (!ParseOrder(v, args.options.order)) return problem = "bad --order: " + v, false;
        } else if (arg == "--format") {
            if (!value(v)) return false;
            if (v == "text") args.options.format = listing::ReportFormat::kText;
            else if (v == "html") args.options.format = listing::ReportFormat::kHtml;
            else return problem = "bad --format: " + v, false;
        } else if (arg == "--output") {
            if (!value(args.output)) return false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            return problem = "unknown option " + arg, false;
        } else {
            if (arg == "--") {
                if (++i >= argc) break;
            }
            if (haveSource || i + 1 < argc) return problem = "exactly one SOURCE is expected", false;
            source = argv[i];
            haveSource = true;
        }
    }
    if (!haveSource || source.empty()) return problem = "no SOURCE given", false;
    args.options.source = NormaliseSource(source, separator);
    if (args.output.empty()) args.output = listing::ReportFileName(args.options.format);
    return true;
}

// Progress on a terminal: one line rewritten in place a few times a second.
class ConsoleHost final : public listing::ScanHost {
public:
    ConsoleHost(const listing::RunTotals& totals, bool showProgress) : totals_(totals), show_(showProgress) {}

    void SetStatus(const std::string& text) override {
        if (!show_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return;
        next_ = now + std::chrono::milliseconds(250);
        std::string line = "Folders: " + std::to_string(totals_.totalFolders) +
                           "  Files: " + std::to_string(totals_.totalFiles) + "  " + text;
        if (line.size() > kWidth) line = line.substr(0, kWidth - 3) + "...";
        std::fprintf(stderr, "\r%-*s", static_cast<int>(kWidth), line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void PumpEvents() override {}
    bool Stopped() override { return gInterrupted != 0; }

    void Finish() {
        if (shown_) std::fprintf(stderr, "\r%-*s\r", static_cast<int>(kWidth), "");
    }

private:
    static constexpr std::size_t kWidth = 79;
    const listing::RunTotals& totals_;
    bool show_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point next_{};
};

}  // namespace

int main(int argc, char** argv) {
    auto fs = platform::CreateFileSystem();
    Arguments args;
    std::string problem;
    if (!ParseArguments(argc, argv, fs->Separator(), args, problem)) {
        std::fprintf(stderr, "tallyfold-list: %s\n%s", problem.c_str(), kUsage);
        return kExitUsage;
    }

    std::signal(SIGINT, OnInterrupt);
    listing::RunTotals totals;
    ConsoleHost host(totals, platform::StderrIsTerminal());
    const listing::RunOutcome outcome = listing::RunListing(args.options, *fs, host, args.output, totals);
    host.Finish();

    if (!outcome.reportWritten) {
        std::fprintf(stderr, "tallyfold-list: cannot write the report %s: %s\n", args.output.c_str(),
                     std::strerror(outcome.error));
        return kExitReportFailed;
    }
    std::printf("Report: %s\n", args.output.c_str());
    std::printf("Folders: %llu  Files: %llu  Bytes: %llu%s\n", static_cast<unsigned long long>(totals.totalFolders),
                static_cast<unsigned long long>(totals.totalFiles),
                static_cast<unsigned long long>(totals.totalBytes), gInterrupted ? "  (stopped)" : "");
    return gInterrupted ? kExitInterrupted : kExitOk;
}
