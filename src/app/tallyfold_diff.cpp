// tallyfold-diff: what changed between two JSON Lines listings of
// tallyfold-list, as text, JSON Lines or CSV.
#include <cstdio>
#include <string>
#include <vector>

#include "app/output_check.h"
#include "app/version_option.h"
#include "listing/formats/report_file.h"
#include "platform/command_line.h"
#include "platform/replacing_file.h"
#include "platform/tool_main.h"
#include "snapshot/compare_page.h"
#include "snapshot/diff_writers.h"
#include "snapshot/snapshot_diff.h"

namespace {

using tf::snapshot::DiffResult;

constexpr int kExitEqual = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

const char kUsage[] =
    "usage: tallyfold-diff [--format text|jsonl|csv|explorer] [--output FILE] [--] OLD.jsonl NEW.jsonl\n"
    "Compares two listings by the paths below their sources, so a folder can be\n"
    "compared with its copy elsewhere: what was added (+), removed (-), changed\n"
    "(~: size or modified time; !: the content, where both listings carry hashes;\n"
    "?: content not compared, hashed on one side only), moved (>: same name,\n"
    "size, time and hash elsewhere, or a folder with most of its content; what\n"
    "changed inside it follows, as NEW <- OLD), folders not read (x: neither\n"
    "added nor removed), each folder whose size changed, a summary and the\n"
    "total. A folder on one side only is one line. A listing may be a pipe.\n"
    "  --format FORMAT  text (default), jsonl, csv, or explorer: one page that\n"
    "                   browses both listings and shows what changed\n"
    "  --output FILE    where the changes go (default -, standard output); an\n"
    "                   earlier file there is replaced only when they are complete;\n"
    "                   never one of the listings\n"
    "Options take their value as the next argument or after '=' (--format=csv);\n"
    "'--' ends the options.\n"
    "  -h, --help       show this help\n"
    "  --version        show the version\n"
    "Exit: 0 equal, 1 different, 2 bad arguments or a listing that cannot be read.\n";

// The page is the replay of both listings with this comparison's answer
// for each entry: the page draws it.
int WritePage(const DiffResult& diff, tf::listing::ListingInput& oldListing, tf::listing::ListingInput& newListing,
              const std::string& output) {
    tf::listing::ReplayResult invalid;
    const tf::listing::RunOutcome outcome =
        tf::snapshot::WriteComparisonPage(diff, oldListing, newListing, output, invalid);
    if (!invalid.ok) {
        std::fprintf(stderr, "tallyfold-diff: %s:%llu: not a valid listing: %s\n", invalid.source.c_str(),
                     static_cast<unsigned long long>(invalid.line), invalid.reason.c_str());
        return kExitTrouble;
    }
    if (!outcome.reportWritten) {
        std::fprintf(stderr, "tallyfold-diff: cannot write %s: %s\n", output.c_str(),
                     tf::platform::WriteErrorText(outcome.error).c_str());
        return kExitTrouble;
    }
    return kExitEqual;
}

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-diff")) return kExitEqual;
    std::string format = "text";
    std::string output = "-";
    std::vector<std::string> files;
    tf::platform::ArgumentReader reader(argc, argv);
    auto usageError = [](const std::string& problem) {
        std::fprintf(stderr, "tallyfold-diff: %s\n%s", problem.c_str(), kUsage);
        return kExitTrouble;
    };
    while (reader.Next()) {
        const std::string& arg = reader.Text();
        if (!reader.IsOption()) {
            files.push_back(arg);
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitEqual;
        } else if (arg == "--format" || arg == "--output") {
            if (!reader.Value(arg == "--format" ? format : output)) return usageError(reader.Problem());
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (format != "text" && format != "jsonl" && format != "csv" && format != "explorer")
        return usageError("bad --format: " + format + " (text, jsonl, csv or explorer)");
    if (files.size() != 2) return usageError("two listings are expected, OLD and NEW");

    // Checked before anything is read or written: the report would replace a listing.
    if (const std::string input = tf::app::OutputIsInput(output, files); !input.empty()) {
        std::fprintf(stderr, "tallyfold-diff: the output %s is the listing %s: not replaced\n", output.c_str(),
                     input.c_str());
        return kExitTrouble;
    }
    // Opened once: a listing from a pipe is read once, for the page too.
    tf::listing::ListingInput oldListing, newListing;
    oldListing.Open(files[0]);
    newListing.Open(files[1]);
    const DiffResult result = tf::snapshot::DiffListings(oldListing, newListing);
    if (!result.ok) {
        std::fprintf(stderr, "tallyfold-diff: %s\n", result.error.c_str());
        return kExitTrouble;
    }
    // A copy checked against a listing of another hash would otherwise pass
    // unseen: say that its contents were not compared.
    if (!result.contentNotComparedNote.empty())
        std::fprintf(stderr, "tallyfold-diff: contents not compared: %s\n", result.contentNotComparedNote.c_str());
    if (format == "explorer") {
        const int written = WritePage(result, oldListing, newListing, output);
        if (written != kExitEqual) return written;
        return result.Different() ? kExitDifferent : kExitEqual;
    }
    tf::listing::ReportFile report(output);
    int error = report.Create();
    if (!error) {
        if (format == "text")
            tf::snapshot::WriteDiffText(result, report);
        else if (format == "jsonl")
            tf::snapshot::WriteDiffJsonl(result, report);
        else
            tf::snapshot::WriteDiffCsv(result, report);
        error = report.Commit();
    }
    if (error) {
        std::fprintf(stderr, "tallyfold-diff: cannot write %s: %s\n", output.c_str(),
                     tf::platform::WriteErrorText(error).c_str());
        return kExitTrouble;
    }
    return result.Different() ? kExitDifferent : kExitEqual;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-diff", kExitTrouble, [&] { return RunTool(argc, argv); });
}
