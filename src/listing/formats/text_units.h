#pragma once
// Small text and number helpers shared by the scan and the report writer.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tf::listing {

// Number of characters of `text`. In UTF-8 a byte that starts no valid
// sequence (a stray byte) counts as one character of its own.
std::size_t CharCount(std::string_view text, platform::NameEncoding encoding);

// The first `limit` characters of `text`; a valid sequence is never split.
std::string_view CutToChars(std::string_view text, std::size_t limit, platform::NameEncoding encoding);

// bytes / 1024^power, for display only.
double ScaleBytes(std::uint64_t bytes, int power);

// bytes / 1024^power rounded to a whole number, a half going to the even
// neighbour; exact for every 64-bit value.
std::uint64_t RoundScaledBytes(std::uint64_t bytes, int power);

// A UTC time broken into its calendar fields.
struct CivilTime {
    std::int64_t year, month, day, hour, minute, second;
};
CivilTime ToCivil(platform::FileTicks ticks);

// "year/month/day hour:minute" of a UTC time, no leading zeros, no seconds.
std::string DateText(platform::FileTicks ticks);

}  // namespace tf::listing
