// ParseSkinDescription on any text. A description it accepts must describe
// itself in a form that parses back to the same records.
#include <cstddef>
#include <cstdint>
#include <string>

#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tf::skin;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SkinFile first, second;
    std::string error;
    if (!ParseSkinDescription(text, first.signature, first.parameters, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const std::string described = DescribeSkin(first.signature, first.parameters);
    if (!ParseSkinDescription(described, second.signature, second.parameters, error)) __builtin_trap();
    if (DescribeSkin(second.signature, second.parameters) != described) __builtin_trap();
    if (WriteSkinFile(first) != WriteSkinFile(second)) __builtin_trap();
    return 0;
}
