#pragma once
// Sizes drawn for a 96-DPI display, at a display of another scale. The
// program's pictures come in three scales (100, 150 and 200 percent); a
// display takes the largest that does not exceed its own, so a picture never
// outgrows the control made for it.
#include <cstdint>
#include <string>

namespace tf::platform {

constexpr std::int32_t kBaseDpi = 96;

// pixels * dpi / 96, rounded to the nearest pixel, halves away from zero.
constexpr std::int32_t ScaleToDpi(std::int32_t pixels, std::int32_t dpi) {
    const std::int64_t scaled = std::int64_t{pixels} * dpi;
    return static_cast<std::int32_t>(scaled >= 0 ? (scaled + kBaseDpi / 2) / kBaseDpi
                                                 : -((-scaled + kBaseDpi / 2) / kBaseDpi));
}

// 100, 150 or 200: the picture scale for a display of `dpi`.
constexpr int PictureScalePercent(std::int32_t dpi) {
    if (dpi >= 2 * kBaseDpi) return 200;
    if (2 * dpi >= 3 * kBaseDpi) return 150;
    return 100;
}

// The file of a picture at a scale: "stop.png" at 150 percent is
// "stop-150.png"; at 100 percent the name itself.
inline std::string ScaledPictureName(const std::string& name, int percent) {
    if (percent == 100) return name;
    const std::string::size_type dot = name.rfind('.');
    const std::string::size_type slash = name.find_last_of("\\/");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string::size_type cut = hasExtension ? dot : name.size();
    return name.substr(0, cut) + "-" + std::to_string(percent) + name.substr(cut);
}

}  // namespace tf::platform
