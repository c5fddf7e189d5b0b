#pragma once

#include <string>

namespace qm {

// Tells the user that a download, an update or an installation failed: one line in the
// installation's log (message and the developers' detail), and the message in the desk's message
// dialog, shown without waiting for it to be closed. Without a GUI application only the log line.
// Never throws.
void NoticeFailure(const std::string& message, const std::string& detail);

// Closes the messages still open: their code goes with the plug-in library.
void CloseFailureNotices();

// "<what>失败：<why>（<file name>）", the text NoticeFailure shows: what = "更新", "下载安装"...
std::string FailureText(const std::string& what, const std::string& why, const std::string& file);

} // namespace qm
