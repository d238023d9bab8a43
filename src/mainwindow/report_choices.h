#pragma once
// The entries of the window's format box: the formats the table of formats
// offers to the window, then "Changes since...".
#include <string>
#include <vector>

#include "listing/formats/format_table.h"

namespace tf::mainwindow {

using Viewer = listing::ReportViewer;

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

// In the table's order, which begins with Text and HTML as the box always has.
inline const std::vector<ReportChoice>& ReportChoices() {
    static const std::vector<ReportChoice> choices = [] {
        std::vector<ReportChoice> list;
        for (const listing::FormatEntry& format : listing::Formats())
            if (format.windowEntry)
                list.push_back({format.windowEntry, format.format, format.extension, format.saveFilter, format.viewer});
        list.push_back({"Changes since...", listing::ReportFormat::kJsonl, ".html", "Changes page (.html)",
                        Viewer::kPage, true});
        return list;
    }();
    return choices;
}

// The choice of a format box text; null for a text that is no entry.
inline const ReportChoice* ChoiceOf(const std::string& entry) {
    for (const ReportChoice& choice : ReportChoices())
        if (entry == choice.entry) return &choice;
    return nullptr;
}

}  // namespace tf::mainwindow
