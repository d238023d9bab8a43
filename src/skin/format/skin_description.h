#pragma once
// A skin's records as plain text, one member per line (docs/skin-format.md):
//
//   # comment
//   ActiveFrame.Left.Start 0 0 4 30
//   CaptionTextColorActive #1F2937
//   MenuBackColor none
//   CaptionFont.FaceName "Tahoma"
//
// Skin authors write it by hand; DescribeSkin writes it in record order so
// two skins can be compared with diff, and what it writes parses back to the
// same bytes.
#include <string>

#include "skin/format/skin_records.h"

namespace tf::skin {

std::string DescribeSkin(const SkinSignatureRecord& signature, const SkinParameters& parameters);

// Fills the flag words and every parameter from `text`. Every member must be
// given exactly once; unknown names, repeated names and values that do not
// fit the member are refused. On failure returns false with a message that
// names the line, and leaves the records unchanged.
bool ParseSkinDescription(const std::string& text, SkinSignatureRecord& signature, SkinParameters& parameters,
                          std::string& error);

}  // namespace tf::skin
