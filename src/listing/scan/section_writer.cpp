#include "listing/scan/section_writer.h"

#include <algorithm>
#include <numeric>

#include "listing/scan/case_fold.h"
#include "listing/formats/report_columns.h"

namespace tf::listing {

SectionWriter::SectionWriter(const ListingOptions& options, ListingSink& sink, RunTotals& totals, WriteError& error)
    : options_(options), sink_(sink), totals_(totals), error_(error), hold_(options.order != kNoOrder) {}

void SectionWriter::Open(const std::string& path, int depth) {
    path_ = path;
    depth_ = depth;
    begun_ = false;
    section_ = SectionTotals{};
    held_.clear();
}

void SectionWriter::BeginOnce(SkipReason unread) {
    if (begun_) return;
    begun_ = true;
    Note(sink_.BeginSection(FolderStart{path_, depth_, unread}));
}

void SectionWriter::Add(const ListedFile& file) {
    ++section_.files;
    section_.bytes += file.size;
    ++totals_.totalFiles;
    totals_.totalBytes += file.size;
    if (!hold_) {
        BeginOnce(SkipReason::kNone);
        Note(sink_.Row(file));
        return;
    }
    const std::string* type = &*types_.emplace(file.type).first;
    held_.push_back(HeldRow{std::string(file.name), type, file.kind, file.links, file.special, file.size, file.allocated,
                            file.created, file.modified, file.inode, std::string(file.digest),
                            file.unhashed, std::string(file.target), file.stamp});
}

ListedFile SectionWriter::View(const HeldRow& row) {
    ListedFile file;
    file.name = row.name;
    file.type = *row.type;
    file.kind = row.kind;
    file.links = row.links;
    file.special = row.special;
    file.size = row.size;
    file.allocated = row.allocated;
    file.created = row.created;
    file.modified = row.modified;
    file.inode = row.inode;
    file.digest = row.digest;
    file.unhashed = row.unhashed;
    file.target = row.target;
    file.stamp = row.stamp;
    return file;
}

void SectionWriter::Sort() {
    // Rows sort by the text the report shows in the column, letters without
    // regard to case; equal texts keep the search order. Names and types are
    // compared where they are held; the formatted columns are formatted once
    // a row, not once a comparison.
    const int column = options_.order;
    const std::size_t count = held_.size();
    const bool inPlace = ColumnTextInPlace(ListedFile{}, column, options_).has_value();
    std::string texts;
    std::vector<std::size_t> ends;
    if (!inPlace) {
        ends.reserve(count);
        for (const HeldRow& row : held_) {
            AppendColumnText(texts, View(row), column, options_);
            ends.push_back(texts.size());
        }
    }
    const auto text = [&](std::uint32_t i) -> std::string_view {
        if (inPlace) return *ColumnTextInPlace(View(held_[i]), column, options_);
        const std::size_t start = i == 0 ? 0 : ends[i - 1];
        return std::string_view(texts).substr(start, ends[i] - start);
    };
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        return CompareIgnoringCase(text(x), text(y), options_.names) < 0;
    });
    texts = std::string();
    ends = std::vector<std::size_t>();
    // Rows move into place cycle by cycle, so no second copy is held.
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        if (order[i] == i) continue;
        HeldRow first = std::move(held_[i]);
        std::uint32_t j = i;
        for (;;) {
            const std::uint32_t k = order[j];
            order[j] = j;
            if (k == i) {
                held_[j] = std::move(first);
                break;
            }
            held_[j] = std::move(held_[k]);
            j = k;
        }
    }
}

SectionTotals SectionWriter::End(SkipReason unread) {
    BeginOnce(unread);
    if (!held_.empty()) {
        if (options_.order >= 0 && options_.order < kColumnCount) Sort();
        for (const HeldRow& row : held_) Note(sink_.Row(View(row)));
        held_.clear();
        held_.shrink_to_fit();  // a wide folder's rows are not kept for the next
    }
    Note(sink_.EndSection(section_));
    return section_;
}

}  // namespace tf::listing
