#pragma once
// The formats of a comparison: text for people, JSON Lines (the exact one:
// every path with its bytes where they are not UTF-8) and CSV. Each
// appends to a report file, a batch at a time.
#include <string>

#include "listing/formats/report_file.h"
#include "snapshot/snapshot_diff.h"

namespace tf::snapshot {

void WriteDiffText(const DiffResult& result, listing::ReportFile& report);
void WriteDiffJsonl(const DiffResult& result, listing::ReportFile& report);
void WriteDiffCsv(const DiffResult& result, listing::ReportFile& report);

// A name as the text format writes it: as it is, or, where it would make
// the line ambiguous (it holds " -> ", " <- ", a control character, or
// starts with a double quote), in double quotes with \\, \", \n, \r, \t and
// \xHH for the other control characters. Bytes that are no UTF-8 become
// U+FFFD; "" (the source itself) is ".".
std::string TextName(const std::string& path);

}  // namespace tf::snapshot
