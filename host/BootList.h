#pragma once

#include <string>
#include <vector>

namespace qm {

// The scripts boot.xml names, in document order: the "file" attribute of every direct child of
// the root element ("" when absent), resolved against the application folder. A file that does
// not parse raises ETax with the parser's message.
std::vector<std::string> ReadBootList(const std::string& bootFile);

} // namespace qm
