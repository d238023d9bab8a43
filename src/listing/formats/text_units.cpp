#include "listing/formats/text_units.h"

#include <cmath>

#include "platform/utf8.h"

namespace tf::listing {
namespace {

// Bytes of the character at `at`: one per byte in a legacy code page.
std::size_t CharLength(std::string_view text, std::size_t at, platform::NameEncoding encoding) {
    return encoding == platform::NameEncoding::kUtf8 ? platform::Utf8CharLength(text, at) : 1;
}


void AppendNumber(std::string& out, std::int64_t value) { out += std::to_string(value); }

}  // namespace

std::size_t CharCount(std::string_view text, platform::NameEncoding encoding) {
    if (encoding != platform::NameEncoding::kUtf8) return text.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i, encoding)) ++count;
    return count;
}

std::string_view CutToChars(std::string_view text, std::size_t limit, platform::NameEncoding encoding) {
    if (text.size() <= limit) return text;  // never more characters than bytes
    std::size_t i = 0;
    for (std::size_t chars = 0; i < text.size() && chars < limit; ++chars) i += CharLength(text, i, encoding);
    return text.substr(0, i);
}

double ScaleBytes(std::uint64_t bytes, int power) {
    return static_cast<double>(bytes) / std::pow(1024.0, power);
}

std::uint64_t RoundScaledBytes(std::uint64_t bytes, int power) {
    if (power <= 0) return bytes;
    const int shift = 10 * power;
    if (shift >= 64) return (shift == 64 && bytes > (std::uint64_t{1} << 63)) ? 1 : 0;
    const std::uint64_t quotient = bytes >> shift;
    const std::uint64_t remainder = bytes & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1))) return quotient + 1;
    return quotient;
}

CivilTime ToCivil(platform::FileTicks ticks) {
    constexpr std::uint64_t kTicksPerSecond = 10000000;
    const std::uint64_t seconds = ticks / kTicksPerSecond;
    // Days since 1601-01-01 moved to days since 0000-03-01, then the usual
    // civil-from-days conversion in 400-year eras.
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400) + 584694;
    const std::int64_t secondOfDay = static_cast<std::int64_t>(seconds % 86400);
    const std::int64_t era = days / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
}

std::string DateText(platform::FileTicks ticks) {
    const CivilTime t = ToCivil(ticks);
    std::string out;
    out.reserve(16);
    AppendNumber(out, t.year);
    out += '/';
    AppendNumber(out, t.month);
    out += '/';
    AppendNumber(out, t.day);
    out += ' ';
    AppendNumber(out, t.hour);
    out += ':';
    AppendNumber(out, t.minute);
    return out;
}

}  // namespace tf::listing
