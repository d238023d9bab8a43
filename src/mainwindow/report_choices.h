#pragma once
// The entries of the window's format box: what each writes, where, how it
// is saved elsewhere, and what opens it at the end of a run.
#include "listing/listing_types.h"

namespace tf::mainwindow {

enum class Viewer {
    kNotepad,     // the text editor
    kBrowser,     // the HTML viewer
    kAssociated,  // the program the system associates with the file, else the text editor
    kPage,        // the system's browser for the page, else the HTML viewer
};

struct ReportChoice {
    const char* entry;  // the text of the format box
    listing::ReportFormat format;
    const char* extension;    // appended to a "Save as..." name
    const char* description;  // the "Save as..." filter
    Viewer viewer;
    // The run lists to JSON Lines (kept for the next comparison) and then
    // writes the page of what changed since an earlier listing.
    bool comparison = false;
};

// The page of a comparison run, beside the other reports.
inline constexpr char kChangesPageName[] = "Tallyfold.changes.html";

// Text and HTML first, as the box has always begun.
constexpr ReportChoice kReportChoices[] = {
    {"Text", listing::ReportFormat::kText, ".txt", "TXT file (.txt)", Viewer::kNotepad},
    {"HTML", listing::ReportFormat::kHtml, ".html", "HTML file (.html)", Viewer::kBrowser},
    {"CSV", listing::ReportFormat::kCsv, ".csv", "CSV file (.csv)", Viewer::kAssociated},
    {"JSON Lines", listing::ReportFormat::kJsonl, ".jsonl", "JSON Lines file (.jsonl)", Viewer::kAssociated},
    {"Explorer", listing::ReportFormat::kExplorer, ".html", "Explorer page (.html)", Viewer::kPage},
    {"Changes since...", listing::ReportFormat::kJsonl, ".html", "Changes page (.html)", Viewer::kPage, true},
};

// The choice of a format box text; null for a text that is no entry.
inline const ReportChoice* ChoiceOf(const std::string& entry) {
    for (const ReportChoice& choice : kReportChoices)
        if (entry == choice.entry) return &choice;
    return nullptr;
}

}  // namespace tf::mainwindow
