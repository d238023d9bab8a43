#pragma once
// Text forms shared by the machine-readable formats: JSON strings, CSV
// fields, ISO 8601 times, and the escaped bytes of names that are not UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tf::listing {

// How names reach the output.
enum class NameBytes {
    kUtf8,      // valid UTF-8 passes, any other byte becomes U+FFFD
    kCodePage,  // one byte per character, read as Latin-1
    kRaw,       // every byte as it is (formats that allow any bytes)
};

// How names of a file system reach a UTF-8 output that must stay valid.
inline NameBytes Utf8Of(platform::NameEncoding names) {
    return names == platform::NameEncoding::kUtf8 ? NameBytes::kUtf8 : NameBytes::kCodePage;
}

// Whether `text` is valid UTF-8 throughout.
bool IsValidUtf8(std::string_view text);

// `text` as UTF-8 as `bytes` says, with nothing escaped.
void AppendUtf8Text(std::string& out, std::string_view text, NameBytes bytes);
// `text` as UTF-8 on one line of a text report: a control character (a
// line break, a tab) becomes a caret and the character 64 above it ("^J"
// for a line feed, "^?" for DEL), as terminals show them.
void AppendLineText(std::string& out, std::string_view text, NameBytes bytes);
// A JSON string literal, quotes included.
void AppendJsonString(std::string& out, std::string_view text, NameBytes bytes);
// A CSV field (RFC 4180), quoted when it holds a comma, quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view text, NameBytes bytes);

// The exact bytes of a name that is not UTF-8, as text: "%" and every byte
// outside a valid UTF-8 sequence become "%" and two upper-case hex digits.
std::string EscapeBytes(std::string_view text);
// Its inverse; nothing when the text holds a "%" not followed by two hex
// digits.
std::optional<std::string> UnescapeBytes(std::string_view text);

// A hex digit's value (either case), or -1.
int HexValue(char c);
// Appends the bytes of a digest's hex; false (and nothing appended) when it
// is not hex of that many bytes.
bool DigestBytes(std::string_view hex, std::size_t bytes, std::string& out);

// 2009-03-07T09:05:30Z: UTC, whole seconds.
void AppendIsoTime(std::string& out, platform::FileTicks ticks);
// The ticks of such a text; nothing when it is not one.
std::optional<platform::FileTicks> ParseIsoTime(std::string_view text);

// A file's stamp as a listing keeps it: "MODIFIED:CHANGED:DEVICE:ID", four
// decimal numbers; and back, nothing when the text is not one.
std::string StampText(const platform::FileStamp& stamp);
void AppendStampText(std::string& out, const platform::FileStamp& stamp);
std::optional<platform::FileStamp> ParseStamp(std::string_view text);

// Whole seconds since 1970, 0 for anything earlier.
std::uint64_t UnixSeconds(platform::FileTicks ticks);

}  // namespace tf::listing
