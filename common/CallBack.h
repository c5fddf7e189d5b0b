#pragma once

#include "corvane/BsonDocument.h"
#include "corvane/Plugin.h"

#include <string_view>

// The callback convention of long-running requests: the requester names itself in "call_inst" (the
// handle of its plugin object) and its published method "CallBack" in "reback_method" (the handle of
// that row of its class's published method table); the worker calls it with the outcome later.
namespace qm {

inline constexpr std::string_view kKeyCallInst = "call_inst";
inline constexpr std::string_view kKeyRebackMethod = "reback_method";
inline constexpr std::string_view kKeyResult = "Result";

// Fills "call_inst" and "reback_method" of request with requester and its published "CallBack".
// Raises EPlugin when requester publishes no "CallBack".
void SetCallBackTarget(corvane::TBSONDocument& request, corvane::TPlugin& requester);

enum class TCallBackOutcome {
    Called,
    NotRequested, // no "reback_method", or not above 0
    Skipped,      // a stale or forged handle, one of the wrong kind, or a method not of that object
};

// Calls the method named by doc's "reback_method" on the object named by its "call_inst", with doc
// as the only argument. A call that cannot be made safely is skipped with a log entry, never made.
// Exceptions of the requester's CallBack reach the caller.
TCallBackOutcome MakeCallBack(const corvane::TBSONDocument& doc);

} // namespace qm
