#pragma once
// Every member of the signature flags and the parameter record, in file
// order, with the name it has in a skin description. The binary reader and
// writer and the text description all walk this one list, so a member's
// offset, width and name cannot drift apart.
//
// A visitor provides:
//   Integer(name, T&)      T = std::int16_t, std::uint16_t, std::int32_t,
//                          std::uint32_t or std::uint8_t (stored at its width)
//   Colour(name, SkinColour&)                32-bit COLORREF
//   Piece(name, SkinPiece&)                  four signed 32-bit: X, Y, W, H
//   Text(name, char* bytes, count, pad)      fixed-width 8-bit text padded
//                                            with `pad`
#include <string>

#include "skin/format/skin_records.h"

namespace tf::skin {

inline const char* const kEdgeNames[4] = {"Left", "Top", "Right", "Bottom"};
inline const char* const kPieceNames[3] = {"Start", "Middle", "End"};
inline const char* const kButtonNames[4] = {"Minimise", "Maximise", "Restore", "Close"};
inline const char* const kStateNames[4] = {"Normal", "Hot", "Pressed", "Inactive"};

template <class V>
void VisitSignatureFlags(V& v, SkinSignatureRecord& r) {
    v.Integer("Flag1", r.flags[0]);
    v.Integer("Flag2", r.flags[1]);
    v.Integer("Flag3", r.flags[2]);
}

template <class V>
void VisitStrip(V& v, const std::string& name, EdgeStrip& strip) {
    for (int i = 0; i < 3; ++i) v.Piece(name + "." + kPieceNames[i], strip.pieces[i]);
}

template <class V>
void VisitFont(V& v, const std::string& name, SkinFont& f) {
    v.Integer(name + ".Height", f.height);
    v.Integer(name + ".Width", f.width);
    v.Integer(name + ".Escapement", f.escapement);
    v.Integer(name + ".Orientation", f.orientation);
    v.Integer(name + ".Weight", f.weight);
    v.Integer(name + ".Italic", f.italic);
    v.Integer(name + ".Underline", f.underline);
    v.Integer(name + ".StrikeOut", f.strikeOut);
    v.Integer(name + ".CharSet", f.charSet);
    v.Integer(name + ".OutPrecision", f.outPrecision);
    v.Integer(name + ".ClipPrecision", f.clipPrecision);
    v.Integer(name + ".Quality", f.quality);
    v.Integer(name + ".PitchAndFamily", f.pitchAndFamily);
    v.Text(name + ".FaceName", f.faceName.data(), f.faceName.size(), '\0');
}

template <class V>
void VisitParameters(V& v, SkinParameters& p) {
    for (int e = 0; e < 4; ++e) VisitStrip(v, std::string("ActiveFrame.") + kEdgeNames[e], p.ActiveFrame[e]);
    for (int e = 0; e < 4; ++e) VisitStrip(v, std::string("InactiveFrame.") + kEdgeNames[e], p.InactiveFrame[e]);
    for (int b = 0; b < 4; ++b) {
        const std::string button = std::string("CaptionButton.") + kButtonNames[b];
        CaptionButtonSkin& skin = p.CaptionButtons[b];
        for (int s = 0; s < 4; ++s) v.Piece(button + "." + kStateNames[s], skin.states[s]);
        v.Integer(button + ".RightOffset", skin.RightOffset);
        v.Integer(button + ".Top", skin.Top);
    }
    v.Integer("CaptionTextLeft", p.CaptionTextLeft);
    v.Integer("CaptionTextTop", p.CaptionTextTop);
    v.Integer("CaptionTextRight", p.CaptionTextRight);
    v.Integer("CaptionTextHeight", p.CaptionTextHeight);
    v.Colour("CaptionTextColorActive", p.CaptionTextColorActive);
    v.Colour("CaptionTextColorInactive", p.CaptionTextColorInactive);
    VisitFont(v, "CaptionFont", p.CaptionFont);
    v.Integer("Reserved11", p.Reserved11);
    v.Integer("CaptionTextFormat", p.CaptionTextFormat);
    v.Integer("Reserved13", p.Reserved13);
    v.Piece("IconPiece", p.IconPiece);
    v.Integer("Reserved15", p.Reserved15);
    VisitStrip(v, "MenuBar", p.MenuBar);
    VisitStrip(v, "MenuItemHot", p.MenuItemHot);
    VisitStrip(v, "MenuItemPressed", p.MenuItemPressed);
    v.Colour("MenuTextColor", p.MenuTextColor);
    v.Colour("MenuTextColorHot", p.MenuTextColorHot);
    v.Colour("MenuTextColorPressed", p.MenuTextColorPressed);
    v.Colour("MenuTextColorDisabled", p.MenuTextColorDisabled);
    VisitFont(v, "MenuFont", p.MenuFont);
    v.Integer("Reserved24.1", p.Reserved24[0]);
    v.Integer("Reserved24.2", p.Reserved24[1]);
    v.Colour("MenuBackColor", p.MenuBackColor);
    v.Integer("DropShadow", p.DropShadow);
    v.Integer("MinTrackSize.Width", p.MinTrackWidth);
    v.Integer("MinTrackSize.Height", p.MinTrackHeight);
    v.Piece("ClientPiece", p.ClientPiece);
    v.Colour("ClientColor", p.ClientColor);
    v.Integer("Reserved30", p.Reserved30);
    v.Text("SkinText1", p.SkinText1.data(), p.SkinText1.size(), ' ');
    v.Text("SkinText2", p.SkinText2.data(), p.SkinText2.size(), ' ');
    v.Text("SkinText3", p.SkinText3.data(), p.SkinText3.size(), ' ');
}

}  // namespace tf::skin
