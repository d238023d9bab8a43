#pragma once
// Every report format, once: the word the command line takes, the file a
// report goes to by default, the sink that writes it, the hashes it needs,
// its line of help, and how the window offers and opens it. The command
// line's parsing, usage and completion and the window's format box all read
// this table, so a format is added in one place.
#include <memory>
#include <string>
#include <string_view>

#include "listing/listing_sink.h"

namespace tf::listing {

// What opens a report once it is written from the window.
enum class ReportViewer {
    kNotepad,     // the text editor
    kBrowser,     // the HTML viewer
    kAssociated,  // the program the system associates with the file, else the text editor
    kPage,        // the system's browser for the page, else the HTML viewer
};

struct FormatEntry {
    ReportFormat format;
    const char* name;      // the word of --format
    const char* fileName;  // the report's default name
    // The name of the duplicates report in this format; null where that
    // report has no such form.
    const char* duplicatesFileName;
    std::unique_ptr<ListingSink> (*makeSink)(const std::string& path);
    // The content hash every file must have for this format (kNone: the
    // run's own choice).
    platform::HashAlgorithm needsHashes;
    const char* help;  // one line for the usage text
    // The window's format box: its entry, the "Save as..." filter and the
    // extension a saved name gets, and what opens the report. A null entry:
    // the window does not offer the format.
    const char* windowEntry;
    const char* saveFilter;
    const char* extension;
    ReportViewer viewer;
};

// Every format, text first (the default and the window's first entry).
const FormatEntry* FormatsBegin();
const FormatEntry* FormatsEnd();
struct FormatList {
    const FormatEntry* begin() const { return FormatsBegin(); }
    const FormatEntry* end() const { return FormatsEnd(); }
};
inline FormatList Formats() { return {}; }

// The format of a --format word; null for a word that names none.
const FormatEntry* FormatNamed(std::string_view name);
// The row of a format; null for kNone.
const FormatEntry* EntryOf(ReportFormat format);

// The words of the formats, joined by `separator` ("text, html, csv").
std::string FormatNames(const char* separator, bool duplicatesOnly = false);

}  // namespace tf::listing
