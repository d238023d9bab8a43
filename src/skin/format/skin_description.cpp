#include "skin/format/skin_description.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

#include "skin/format/skin_fields.h"

namespace tf::skin {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool ParseInteger(const std::string& word, std::int64_t low, std::int64_t high, std::int64_t& value) {
    const char* first = word.data();
    const char* last = first + word.size();
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last && value >= low && value <= high;
}

bool ParseHex(const std::string& digits, std::uint32_t& value) {
    if (digits.empty() || digits.size() > 8) return false;
    const char* last = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), last, value, 16);
    return result.ec == std::errc() && result.ptr == last;
}

// Text values are quoted; a quote, a backslash and any byte outside
// printable ASCII are written \xNN (also \" and \\ are read).
std::string QuoteText(const char* bytes, std::size_t count, char pad) {
    while (count > 0 && bytes[count - 1] == pad) --count;
    std::string quoted = "\"";
    for (std::size_t i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            quoted += static_cast<char>(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            quoted += escape;
        }
    }
    return quoted + "\"";
}

bool UnquoteText(const std::string& value, std::string& text, std::string& error) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        error = "a text in double quotes";
        return false;
    }
    text.clear();
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            error = "a quote inside a text is written \\\"";
            return false;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        const char next = i + 2 < value.size() ? value[i + 1] : '\0';
        std::uint32_t byte = 0;
        if (next == '"' || next == '\\') {
            text += next;
            i += 1;
        } else if (next == 'x' && i + 4 < value.size() && ParseHex(value.substr(i + 2, 2), byte)) {
            text += static_cast<char>(byte);
            i += 3;
        } else {
            error = "a backslash starts \\\", \\\\ or \\xNN";
            return false;
        }
    }
    return true;
}

std::string ColourText(SkinColour colour) {
    char text[16];
    if (colour == kNoColour) return "none";
    if ((colour >> 24) == 0) {
        std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(colour & 0xFF),
                      static_cast<unsigned>((colour >> 8) & 0xFF), static_cast<unsigned>((colour >> 16) & 0xFF));
    } else {
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(colour));
    }
    return text;
}

bool ParseColour(const std::string& word, SkinColour& colour) {
    std::uint32_t value = 0;
    if (word == "none") {
        colour = kNoColour;
    } else if (word.size() == 7 && word[0] == '#' && ParseHex(word.substr(1), value)) {
        colour = ((value >> 16) & 0xFF) | (value & 0xFF00) | ((value & 0xFF) << 16);  // RRGGBB to 0x00BBGGRR
    } else if (word.size() == 10 && word.compare(0, 2, "0x") == 0 && ParseHex(word.substr(2), value)) {
        colour = value;
    } else {
        return false;
    }
    return true;
}

class Describer {
public:
    template <class T>
    void Integer(const std::string& name, T& value) {
        Line(name, std::to_string(static_cast<std::int64_t>(value)));
    }
    void Colour(const std::string& name, SkinColour& value) { Line(name, ColourText(value)); }
    void Piece(const std::string& name, SkinPiece& p) {
        std::ostringstream text;
        text << p.X << ' ' << p.Y << ' ' << p.Width << ' ' << p.Height;
        Line(name, text.str());
    }
    void Text(const std::string& name, char* bytes, std::size_t count, char pad) {
        Line(name, QuoteText(bytes, count, pad));
    }
    std::string text() const { return out_.str(); }

private:
    void Line(const std::string& name, const std::string& value) { out_ << name << ' ' << value << '\n'; }
    std::ostringstream out_;
};

struct GivenValue {
    std::string value;
    int line = 0;
    bool used = false;
};

class Parser {
public:
    explicit Parser(std::map<std::string, GivenValue>& given) : given_(given) {}

    template <class T>
    void Integer(const std::string& name, T& value) {
        const GivenValue* given = Find(name);
        std::int64_t number = 0;
        if (given == nullptr) return;
        const std::vector<std::string> words = Words(given->value);
        if (words.size() != 1 ||
            !ParseInteger(words[0], std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), number)) {
            Fail(*given, name, "a whole number from " + std::to_string(std::int64_t{std::numeric_limits<T>::min()}) +
                                   " to " + std::to_string(std::int64_t{std::numeric_limits<T>::max()}));
            return;
        }
        value = static_cast<T>(number);
    }
    void Colour(const std::string& name, SkinColour& value) {
        const GivenValue* given = Find(name);
        if (given == nullptr) return;
        const std::vector<std::string> words = Words(given->value);
        if (words.size() != 1 || !ParseColour(words[0], value)) {
            Fail(*given, name, "a colour: #RRGGBB, none, or 0x followed by eight hex digits");
        }
    }
    void Piece(const std::string& name, SkinPiece& piece) {
        const GivenValue* given = Find(name);
        if (given == nullptr) return;
        const std::vector<std::string> words = Words(given->value);
        std::int64_t v[4] = {};
        bool ok = words.size() == 4;
        for (std::size_t i = 0; ok && i < 4; ++i) ok = ParseInteger(words[i], INT32_MIN, INT32_MAX, v[i]);
        if (!ok) {
            Fail(*given, name, "four whole numbers: X Y Width Height");
            return;
        }
        piece = {static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[2]),
                 static_cast<std::int32_t>(v[3])};
    }
    void Text(const std::string& name, char* bytes, std::size_t count, char pad) {
        const GivenValue* given = Find(name);
        if (given == nullptr) return;
        std::string text, problem;
        if (!UnquoteText(given->value, text, problem)) {
            Fail(*given, name, problem);
            return;
        }
        // A NUL-padded text keeps room for its terminator.
        const bool terminated = text.size() < count || text.find('\0') != std::string::npos;
        const std::size_t room = pad == '\0' ? count - 1 : count;
        if (text.size() > count || (pad == '\0' && !terminated)) {
            Fail(*given, name, "at most " + std::to_string(room) + " characters");
            return;
        }
        for (std::size_t i = 0; i < count; ++i) bytes[i] = i < text.size() ? text[i] : pad;
    }
    const std::string& error() const { return error_; }

private:
    const GivenValue* Find(const std::string& name) {
        auto it = given_.find(name);
        if (it == given_.end()) {
            if (error_.empty()) error_ = "member " + name + " is missing";
            return nullptr;
        }
        it->second.used = true;
        return error_.empty() ? &it->second : nullptr;
    }
    void Fail(const GivenValue& given, const std::string& name, const std::string& wanted) {
        if (error_.empty()) error_ = "line " + std::to_string(given.line) + ": " + name + " needs " + wanted;
    }

    std::map<std::string, GivenValue>& given_;
    std::string error_;
};

}  // namespace

std::string DescribeSkin(const SkinSignatureRecord& signature, const SkinParameters& parameters) {
    Describer describer;
    SkinSignatureRecord flags = signature;  // the visitor walks mutable records
    SkinParameters copy = parameters;
    VisitSignatureFlags(describer, flags);
    VisitParameters(describer, copy);
    return describer.text();
}

bool ParseSkinDescription(const std::string& text, SkinSignatureRecord& signature, SkinParameters& parameters,
                          std::string& error) {
    std::map<std::string, GivenValue> given;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t start = 0;
        while (start < line.size() && IsSpace(line[start])) ++start;
        if (start == line.size() || line[start] == '#') continue;
        std::size_t end = start;
        while (end < line.size() && !IsSpace(line[end])) ++end;
        const std::string name = line.substr(start, end - start);
        std::size_t valueEnd = line.size();
        while (valueEnd > end && IsSpace(line[valueEnd - 1])) --valueEnd;
        while (end < valueEnd && IsSpace(line[end])) ++end;
        GivenValue& entry = given[name];
        if (entry.line != 0) {
            error = "line " + std::to_string(number) + ": " + name + " is already given on line " +
                    std::to_string(entry.line);
            return false;
        }
        entry.value = line.substr(end, valueEnd - end);
        entry.line = number;
    }

    SkinSignatureRecord newSignature = signature;
    SkinParameters newParameters{};
    Parser parser(given);
    VisitSignatureFlags(parser, newSignature);
    VisitParameters(parser, newParameters);
    if (!parser.error().empty()) {
        error = parser.error();
        return false;
    }
    for (const auto& [name, entry] : given) {
        if (!entry.used) {
            error = "line " + std::to_string(entry.line) + ": no member is called " + name;
            return false;
        }
    }
    signature = newSignature;
    parameters = newParameters;
    return true;
}

}  // namespace tf::skin
