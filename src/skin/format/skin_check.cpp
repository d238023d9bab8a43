#include "skin/format/skin_check.h"

#include <cstdint>
#include <cstring>

#include "skin/format/skin_fields.h"
#include "skin/format/skin_limits.h"

namespace tf::skin {
namespace {

SkinFileError CheckSize(const SkinPiece& piece) {
    if (piece.Width < 0 || piece.Height < 0) return SkinFileError::kBadPiece;
    if (piece.Width > kMaxPieceSide || piece.Height > kMaxPieceSide) return SkinFileError::kTooLarge;
    return SkinFileError::kNone;
}

SkinFileError CheckInside(const SkinPiece& piece, const SkinPicture& picture) {
    if (piece.X < 0 || piece.Y < 0 || std::int64_t{piece.X} + piece.Width > picture.width ||
        std::int64_t{piece.Y} + piece.Height > picture.height) {
        return SkinFileError::kBadPiece;
    }
    return SkinFileError::kNone;
}

// Visits the pieces and stops at the first that fails.
class PieceChecker {
public:
    PieceChecker(const SkinPicture& picture, std::string* where) : picture_(picture), where_(where) {}

    template <class T>
    void Integer(const std::string&, T&) {}
    void Colour(const std::string&, SkinColour&) {}
    void Text(const std::string&, char*, std::size_t, char) {}
    void Piece(const std::string& name, SkinPiece& piece) {
        if (error_ != SkinFileError::kNone || piece.Empty()) return;
        error_ = CheckSize(piece);
        if (error_ == SkinFileError::kNone && name != "IconPiece") error_ = CheckInside(piece, picture_);
        if (error_ != SkinFileError::kNone && where_ != nullptr) *where_ = name;
    }
    SkinFileError error() const { return error_; }

private:
    const SkinPicture& picture_;
    std::string* where_;
    SkinFileError error_ = SkinFileError::kNone;
};

}  // namespace

SkinFileError CheckPieces(const SkinParameters& parameters, const SkinPicture& picture, std::string* where) {
    PieceChecker checker(picture, where);
    SkinParameters copy = parameters;  // the visitor walks mutable records
    VisitParameters(checker, copy);
    return checker.error();
}

void TerminateFaceName(SkinFont& font) {
    if (std::memchr(font.faceName.data(), '\0', font.faceName.size()) == nullptr) font.faceName.back() = '\0';
}

}  // namespace tf::skin
