#pragma once

#include <QString>

class QFontMetrics;

namespace qm {

// The caption as it fits into width pixels: unchanged when it fits, else shortened from its end
// (one character at a time, a surrogate pair counting as one) with "..." appended; empty when not
// even "..." fits.
QString FitTabCaption(const QString& caption, const QFontMetrics& metrics, int width);

} // namespace qm
