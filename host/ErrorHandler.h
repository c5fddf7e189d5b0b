#pragma once

#include <exception>
#include <string>

namespace qm {

// The text the log gets for an error that reached the message loop: the ETax log text, or
// "Class:<class name>\r\nMsg:<message>" for any other exception.
std::string ErrorLogText(const std::exception& error);

// The last-chance handler: logs the error, then shows its message.
void HandleDeskException(const std::exception& error);

} // namespace qm
