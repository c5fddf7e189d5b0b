#include "pictures/PngPackRatio.h"

#include "common/TextTrim.h"

#include <algorithm>

namespace qm {

namespace {

constexpr std::string_view kDoubleSizeMark = "@2x";

} // namespace

std::string DoubleSizeName(std::string_view name) {
    if (TrimWhitespace(name, kBlanksAndControls).empty())
        return std::string();
    // Only the last part of a path has the extension: "a.b\\c" has none.
    const std::size_t delimiter = name.find_last_of("\\/");
    const std::size_t partStart = delimiter == std::string_view::npos ? 0 : delimiter + 1;
    const std::size_t dot = name.rfind('.');
    const std::size_t at = dot == std::string_view::npos || dot < partStart ? name.size() : dot;
    std::string doubled(name.substr(0, at));
    doubled += kDoubleSizeMark;
    doubled += name.substr(at);
    return doubled;
}

const QImage& PixelsForRatio(TPngPack& pngs, const std::string& name, const TPngPicture& picture,
                             double ratio) {
    if (ratio > kDoubleSizeAboveRatio) {
        const std::string doubled = DoubleSizeName(name);
        if (!doubled.empty() && pngs.Holds(doubled))
            return pngs.TakePNG(doubled)->Pixels();
    }
    return picture.Pixels();
}

} // namespace qm
