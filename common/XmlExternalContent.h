#pragma once

#include <libxml/tree.h>

namespace qm {

// True when the document's DTD names an external subset or declares an entity whose text lives
// outside the document (SYSTEM or PUBLIC). The files we read must stand alone: such a file could
// otherwise pull in a local file's content, or a server's, wherever the entity is used.
bool DeclaresExternalContent(const xmlDoc* doc);

} // namespace qm
