#pragma once

#include <cstdint>
#include <string>

#include "corvane/BsonDocument.h"

// How every deliverable reaches the host (through the bus's host plugin) and the channels
// plug-in.
namespace qm {

// Runs a Lua file on the host's script engine (host request 103). A missing file raises ETax
// before anything is sent; "\" separators are taken as "/".
void ExecLuaFile(const std::string& luaFile);
// Host request 10, "get": the answer's "value" is the stored text.
corvane::IDataDocument GetSharedValue(const std::string& nameSpace, const std::string& key);
// Host request 10, "set"; an empty value removes the key.
void SetSharedValue(const std::string& nameSpace, const std::string& key, const std::string& value);

// The usage key of function (a, b) for product type appType: "S2S007S" + three-digit type, a, b.
std::string FunctionKeyText(std::int32_t appType, std::int32_t a, std::int32_t b);
// Sends usage event (a, b) to the channels plug-in. Statistics are optional: when the channels
// plug-in is not installed the event is dropped without an error.
void SendFunctionKey(std::int32_t a, std::int32_t b);

} // namespace qm
