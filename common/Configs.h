#pragma once

#include "common/XmlConfig.h"

// The two configuration files of the installation, one object each per deliverable.
namespace qm {

// Keys the system reads from them.
namespace ConfigKey {
inline constexpr char AppTitle[] = "app_title";     // system: application title, single-instance name
inline constexpr char AppType[] = "app_type";       // system: product type number
inline constexpr char BenchTitle[] = "bench_title"; // system: caption of the workbench tab
inline constexpr char BenchBg[] = "bench_bg";       // system and user: workbench background picture
} // namespace ConfigKey

// Config/SysConfig.Xml and Config/UserConfig.Xml. The first call creates the object, keeps it, then
// loads the file: a file that does not parse raises its error to that first caller only; later calls
// return the same object (empty, and refusing to write over the file) without loading again.
TXmlConfig& SysConfig();
TXmlConfig& UserConfig();

} // namespace qm
