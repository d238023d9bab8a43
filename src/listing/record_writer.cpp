#include "listing/record_writer.h"

#include <cerrno>

#include "listing/folder_scan.h"
#include "listing/text_units.h"

namespace tf::listing {
namespace {

constexpr std::size_t kFlushAt = 1 << 16;
constexpr char kCsvHeader[] = "path,name,kind,type,size,created,modified,files,bytes,subtree_bytes,skipped\r\n";

const char* KindText(EntryKind kind) {
    switch (kind) {
        case EntryKind::kFile: return "file";
        case EntryKind::kFolder: return "folder";
        case EntryKind::kLink: return "link";
    }
    return "file";
}

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) n = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4) n = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    else return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char b = static_cast<unsigned char>(text[i + k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
    }
    return n;
}

// Appends `text` as UTF-8: names that are not (8-bit names, stray bytes) are
// never passed through as invalid text. ASCII bytes go through `ascii`.
template <typename Ascii>
void AppendUtf8(std::string& out, std::string_view text, bool utf8, Ascii ascii) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ascii(out, static_cast<char>(c));
            ++i;
        } else if (!utf8) {  // the code page read as Latin-1
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else if (const std::size_t n = SequenceLength(text, i)) {
            out.append(text.data() + i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is no character
            ++i;
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text, bool utf8) {
    out += '"';
    AppendUtf8(out, text, utf8, [](std::string& o, char c) {
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            case '\t': o += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char kHex[] = "0123456789abcdef";
                    o += "\\u00";
                    o += kHex[(c >> 4) & 0xF];
                    o += kHex[c & 0xF];
                } else {
                    o += c;
                }
        }
    });
    out += '"';
}

void AppendCsvField(std::string& out, std::string_view text, bool utf8) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (quoted) out += '"';
    AppendUtf8(out, text, utf8, [](std::string& o, char c) {
        if (c == '"') o += '"';
        o += c;
    });
    if (quoted) out += '"';
}

void AppendTwoDigits(std::string& out, std::int64_t value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// ISO 8601, UTC, whole seconds: 2009-03-07T09:05:30Z.
void AppendIsoTime(std::string& out, platform::FileTicks ticks) {
    const CivilTime t = ToCivil(ticks);
    out += std::to_string(t.year);
    out += '-';
    AppendTwoDigits(out, t.month);
    out += '-';
    AppendTwoDigits(out, t.day);
    out += 'T';
    AppendTwoDigits(out, t.hour);
    out += ':';
    AppendTwoDigits(out, t.minute);
    out += ':';
    AppendTwoDigits(out, t.second);
    out += 'Z';
}

}  // namespace

RecordWriter::~RecordWriter() {
    if (file_) std::fclose(file_);
}

bool RecordWriter::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        Fail();
        return false;
    }
    if (format_ == ReportFormat::kCsv) buffer_ = kCsvHeader;
    Flush();
    return ok_;
}

void RecordWriter::WriteSection(const FolderSection& section) {
    for (const ListingEntry& row : section.files) Record(section.heading.text[kName], row.facts, nullptr);
}

void RecordWriter::WriteFolder(const FolderRecord& record) { Record(record.path, record.facts, &record); }

void RecordWriter::Record(const std::string& folder, const EntryFacts& facts, const FolderRecord* totals) {
    if (totals) {
        path_ = folder;
    } else {
        path_.assign(folder);
        if (path_.empty() || path_.back() != separator_) path_ += separator_;
        path_ += facts.name;
    }
    std::string& out = buffer_;
    if (format_ == ReportFormat::kJsonl) {
        out += "{\"path\":";
        AppendJsonString(out, path_, utf8_);
        out += ",\"name\":";
        AppendJsonString(out, facts.name, utf8_);
        out += ",\"kind\":\"";
        out += KindText(facts.kind);
        out += "\",\"type\":";
        AppendJsonString(out, facts.type, utf8_);
        out += ",\"size\":";
        out += std::to_string(facts.size);
        out += ",\"created\":\"";
        AppendIsoTime(out, facts.created);
        out += "\",\"modified\":\"";
        AppendIsoTime(out, facts.modified);
        out += '"';
        if (totals) {
            out += ",\"files\":" + std::to_string(totals->files);
            out += ",\"bytes\":" + std::to_string(totals->bytes);
            out += ",\"subtree_bytes\":" + std::to_string(totals->subtreeBytes);
            if (totals->skipped != SkipReason::kNone) {
                out += ",\"skipped\":";
                AppendJsonString(out, SkipReasonText(totals->skipped), utf8_);
            }
        }
        out += "}\n";
    } else {
        AppendCsvField(out, path_, utf8_);
        out += ',';
        AppendCsvField(out, facts.name, utf8_);
        out += ',';
        out += KindText(facts.kind);
        out += ',';
        AppendCsvField(out, facts.type, utf8_);
        out += ',';
        out += std::to_string(facts.size);
        out += ',';
        AppendIsoTime(out, facts.created);
        out += ',';
        AppendIsoTime(out, facts.modified);
        if (totals) {
            out += ',' + std::to_string(totals->files) + ',' + std::to_string(totals->bytes) + ',' +
                   std::to_string(totals->subtreeBytes) + ',' + SkipReasonText(totals->skipped) + "\r\n";
        } else {
            out += ",,,,\r\n";
        }
    }
    if (out.size() >= kFlushAt) Flush();
}

void RecordWriter::Flush() {
    if (file_ && !buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        Fail();
    buffer_.clear();
}

void RecordWriter::Fail() {
    if (ok_) error_ = errno;
    ok_ = false;
}

bool RecordWriter::Close() {
    Flush();
    if (file_ && std::fclose(file_) != 0) Fail();
    file_ = nullptr;
    return ok_;
}

}  // namespace tf::listing
