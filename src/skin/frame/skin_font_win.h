#pragma once
// A skin font as the logical font CreateFontIndirectA takes.
#include <windows.h>

#include <algorithm>

#include "skin/format/skin_records.h"

namespace tf::skin {

inline LOGFONTA ToLogFont(const SkinFont& f) {
    LOGFONTA lf{};
    lf.lfHeight = f.height;
    lf.lfWidth = f.width;
    lf.lfEscapement = f.escapement;
    lf.lfOrientation = f.orientation;
    lf.lfWeight = f.weight;
    lf.lfItalic = f.italic;
    lf.lfUnderline = f.underline;
    lf.lfStrikeOut = f.strikeOut;
    lf.lfCharSet = f.charSet;
    lf.lfOutPrecision = f.outPrecision;
    lf.lfClipPrecision = f.clipPrecision;
    lf.lfQuality = f.quality;
    lf.lfPitchAndFamily = f.pitchAndFamily;
    // The reader keeps a NUL in the last byte of the face name.
    std::copy_n(f.faceName.begin(), LF_FACESIZE - 1, lf.lfFaceName);
    return lf;
}

}  // namespace tf::skin
