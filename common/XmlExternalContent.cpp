#include "common/XmlExternalContent.h"

#include <libxml/entities.h>
#include <libxml/hash.h>

namespace qm {

namespace {

void NoteExternalEntity(void* payload, void* found, const xmlChar*) {
    const auto* entity = static_cast<const xmlEntity*>(payload);
    if (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
        entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY ||
        entity->etype == XML_EXTERNAL_PARAMETER_ENTITY)
        *static_cast<bool*>(found) = true;
}

bool HasExternalEntity(void* table) {
    bool found = false;
    if (table != nullptr)
        xmlHashScan(static_cast<xmlHashTable*>(table), &NoteExternalEntity, &found);
    return found;
}

} // namespace

bool DeclaresExternalContent(const xmlDoc* doc) {
    for (const xmlDtd* dtd : {doc->intSubset, doc->extSubset}) {
        if (dtd == nullptr)
            continue;
        if (dtd->ExternalID != nullptr || dtd->SystemID != nullptr || HasExternalEntity(dtd->entities) ||
            HasExternalEntity(dtd->pentities))
            return true;
    }
    return false;
}

} // namespace qm
