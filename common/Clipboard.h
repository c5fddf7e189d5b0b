#pragma once

#include <string>

namespace qm {

// Puts text (UTF-8) on the system clipboard as plain text. Raises corvane::ETax "不能打开剪切板" when
// there is no clipboard to open (no GUI application in this process). User-interface thread only.
void CopyTextToClipboard(const std::string& text);

} // namespace qm
