#pragma once

#include <libxml/tree.h>
#include <string>

namespace qm::skellow {

// The JSON text the logging service receives for a statistics document: the content of its "Data"
// elements, an object for one and an array of objects for several. In each object, in element
// order, the simple children are string members, "FOperationDays" is an array of objects with the
// string member "FOperationDay" and "FFunctions", an array of objects with the string members
// "FFunctionKey" and "FOperationCount". Compact, UTF-8, characters outside ASCII as they are.
// Raises corvane::ETax when the root has no "Data" element.
std::string StatisticsJson(xmlDoc* doc);

} // namespace qm::skellow
