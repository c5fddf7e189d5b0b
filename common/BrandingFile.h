#pragma once

#include <string>

namespace qm {

class TXmlConfig;

// The installation's branding file "brennik.xml" in the configuration folder: its deployment
// settings are the root's direct children, names compared without regard to case.
std::string BrandingFile();

// Loads the branding file into `branding`; false when there is no such file. Raises ETax when the
// file does not parse, after writing that to the log.
bool OpenBrandingFile(TXmlConfig& branding);

} // namespace qm
