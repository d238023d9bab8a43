#include "listing/formats/record_text.h"

#include <cstring>

#include "listing/formats/text_units.h"
#include "platform/utf8.h"

namespace tf::listing {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr char kHex[] = "0123456789ABCDEF";

// Appends `text`, handing each ASCII byte to `ascii` and the rest as `bytes`
// says.
template <typename Ascii>
void AppendText(std::string& out, std::string_view text, NameBytes bytes, Ascii ascii) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ascii(out, static_cast<char>(c));
            ++i;
        } else if (bytes == NameBytes::kCodePage) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else if (const std::size_t n = platform::Utf8SequenceLength(text, i)) {
            out.append(text.data() + i, n);
            i += n;
        } else {
            if (bytes == NameBytes::kRaw)
                out += static_cast<char>(c);
            else
                out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is no character
            ++i;
        }
    }
}

void AppendTwoDigits(std::string& out, std::int64_t value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// Days from 1601-01-01 to the civil date (proleptic Gregorian).
std::int64_t DaysSince1601(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 584694;
}

}  // namespace

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool DigestBytes(std::string_view hex, std::size_t bytes, std::string& out) {
    if (hex.size() != 2 * bytes) return false;
    const std::size_t at = out.size();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            out.resize(at);
            return false;
        }
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = platform::Utf8SequenceLength(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void AppendUtf8Text(std::string& out, std::string_view text, NameBytes bytes) {
    AppendText(out, text, bytes, [](std::string& o, char c) { o += c; });
}

void AppendLineText(std::string& out, std::string_view text, NameBytes bytes) {
    AppendText(out, text, bytes, [](std::string& o, char c) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            o += '^';
            o += static_cast<char>(c ^ 0x40);
        } else {
            o += c;
        }
    });
}

void AppendJsonString(std::string& out, std::string_view text, NameBytes bytes) {
    out += '"';
    AppendText(out, text, bytes, [](std::string& o, char c) {
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            case '\n': o += "\\n"; break;
            case '\r': o += "\\r"; break;
            case '\t': o += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    o += "\\u00";
                    o += "0123456789abcdef"[(c >> 4) & 0xF];
                    o += "0123456789abcdef"[c & 0xF];
                } else {
                    o += c;
                }
        }
    });
    out += '"';
}

void AppendCsvField(std::string& out, std::string_view text, NameBytes bytes) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (quoted) out += '"';
    AppendText(out, text, bytes, [](std::string& o, char c) {
        if (c == '"') o += '"';
        o += c;
    });
    if (quoted) out += '"';
}

std::string EscapeBytes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = platform::Utf8SequenceLength(text, i);
        if (n == 0 || text[i] == '%') {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
        } else {
            out.append(text.data() + i, n);
            i += n;
        }
    }
    return out;
}

std::optional<std::string> UnescapeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

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

namespace {

// The decimal digits of `value`, ending at `end`; where they start.
// Stamps are long numbers written once a row: eight digits at a time.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// The eight digits of `value` (below 10^8) as the bytes of a word, the first
// digit lowest: the two halves split in two, those in two again, each step
// in every lane at once.
std::uint64_t EightDigitBytes(std::uint32_t value) {
    const std::uint64_t high = value / 10000, low = value % 10000;
    const std::uint64_t fours = high | (low << 32);
    const std::uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007Full;  // each / 100
    const std::uint64_t pairs = ((fours - 100 * hundreds) << 16) | hundreds;
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;  // each / 10
    return (((pairs - 10 * tens) << 8) | tens) + 0x3030303030303030ull;
}

char* DecimalBefore(char* end, std::uint64_t value) {
    while (value >= 100000000) {
        const std::uint64_t digits = EightDigitBytes(static_cast<std::uint32_t>(value % 100000000));
        end -= 8;
        std::memcpy(end, &digits, 8);
        value /= 100000000;
    }
    // The first part without its leading zeros, one digit at least.
    const std::uint64_t digits = EightDigitBytes(static_cast<std::uint32_t>(value));
    const std::uint64_t nonzero = digits ^ 0x3030303030303030ull;
    const int zeros = nonzero ? __builtin_ctzll(nonzero) / 8 : 7;
    end -= 8 - zeros;
    std::memcpy(end, reinterpret_cast<const char*>(&digits) + zeros, static_cast<std::size_t>(8 - zeros));
    return end;
}
#else
char* DecimalBefore(char* end, std::uint64_t value) {
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    return end;
}
#endif

// Whether the eight bytes at `text` are all decimal digits, and their
// number: all eight at once where the bytes' order allows it.
bool EightDigits(const char* text, std::uint64_t& value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::uint64_t bytes;
    std::memcpy(&bytes, text, 8);
    const std::uint64_t digits = bytes - 0x3030303030303030ull;
    // A byte below '0' wraps to its top bit, one above '9' reaches it when
    // 0x76 is added; digits do neither, and then nothing carries.
    if ((digits | (digits + 0x7676767676767676ull)) & 0x8080808080808080ull) return false;
    // Pairs, then fours, then all eight; the first byte is the first digit.
    std::uint64_t v = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFull;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
    value = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
    return true;
#else
    value = 0;
    for (int i = 0; i < 8; ++i) {
        if (static_cast<unsigned char>(text[i] - '0') >= 10) return false;
        value = value * 10 + static_cast<unsigned char>(text[i] - '0');
    }
    return true;
#endif
}

}  // namespace

void AppendStampText(std::string& out, const platform::FileStamp& stamp) {
    // Written from the last number back into one small buffer.
    char text[4 * 21];
    char* at = text + sizeof text;
    const std::uint64_t parts[] = {stamp.modified, stamp.changed, stamp.device, stamp.fileId};
    for (int i = 3; i >= 0; --i) {
        at = DecimalBefore(at, parts[i]);
        if (i > 0) *--at = ':';
    }
    out.append(at, text + sizeof text);
}

std::string StampText(const platform::FileStamp& stamp) {
    std::string text;
    AppendStampText(text, stamp);
    return text;
}

std::optional<platform::FileStamp> ParseStamp(std::string_view text) {
    std::uint64_t parts[4] = {};
    const char* at = text.data();
    const char* const end = at + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at == end || *at != ':') return std::nullopt;
            ++at;
        }
        // Digits only, at least one; nineteen always fit, and only the
        // digits of a longer number are checked.
        const char* const start = at;
        const char* const sure = end - at > 19 ? at + 19 : end;
        std::uint64_t value = 0;
        for (std::uint64_t eight; sure - at >= 8 && EightDigits(at, eight); at += 8) value = value * 100000000 + eight;
        for (; at != sure && static_cast<unsigned char>(*at - '0') < 10; ++at)
            value = value * 10 + static_cast<unsigned char>(*at - '0');
        for (; at != end && static_cast<unsigned char>(*at - '0') < 10; ++at) {
            const unsigned digit = static_cast<unsigned char>(*at - '0');
            if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
            value = value * 10 + digit;
        }
        if (at == start) return std::nullopt;
        parts[i] = value;
    }
    if (at != end) return std::nullopt;
    return platform::FileStamp{parts[0], parts[1], parts[2], parts[3], true};
}

std::optional<platform::FileTicks> ParseIsoTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ, the year of any length from 4 digits (as written).
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || dash < 4 || text.size() != dash + 16) return std::nullopt;
    auto number = [&](std::size_t at, std::size_t length, std::int64_t& value) {
        value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    std::int64_t y, mo, d, h, mi, s;
    if (dash > 9 || !number(0, dash, y)) return std::nullopt;
    const std::size_t m = dash + 1;
    if (!number(m, 2, mo) || text[m + 2] != '-' || !number(m + 3, 2, d) || text[m + 5] != 'T' ||
        !number(m + 6, 2, h) || text[m + 8] != ':' || !number(m + 9, 2, mi) || text[m + 11] != ':' ||
        !number(m + 12, 2, s) || text[m + 14] != 'Z')
        return std::nullopt;
    if (y < 1601 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return std::nullopt;
    const std::int64_t days = DaysSince1601(y, mo, d);
    const std::uint64_t seconds = static_cast<std::uint64_t>(days) * 86400 + static_cast<std::uint64_t>(h * 3600 + mi * 60 + s);
    if (seconds > UINT64_MAX / kTicksPerSecond) return std::nullopt;
    const platform::FileTicks ticks = seconds * kTicksPerSecond;
    // A day that the month does not have comes back as another date.
    const CivilTime back = ToCivil(ticks);
    if (back.year != y || back.month != mo || back.day != d) return std::nullopt;
    return ticks;
}

std::uint64_t UnixSeconds(platform::FileTicks ticks) {
    return ticks < kUnixEpochTicks ? 0 : (ticks - kUnixEpochTicks) / kTicksPerSecond;
}

}  // namespace tf::listing
