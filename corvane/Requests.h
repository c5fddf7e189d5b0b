#pragma once

#include <cstdint>
#include <string_view>

// Request numbers and document keys that more than one module speaks. A module's private keys stay
// in that module.
namespace corvane {

// The requests of the host plugin "uip".
enum THostRequest : std::int32_t {
    kReqLog = 1,               // "tag", "msg" to the developers' trace channel
    kReqDeskData = 2,          // desk container metrics
    kReqBenchData = 3,         // bench container size
    kReqCreateIcon = 4,        // icon widget on "site"
    kReqCreateText = 5,        // text widget on "site"
    kReqCreateIconText = 6,    // icon-with-caption widget on "site"
    kReqDeskDock = 7,          // dock control "inst" on the desk container
    kReqBenchDock = 8,         // dock control "inst" on the bench container
    kReqUnloadPlugin = 9,      // unload library "plugin"
    kReqSharedValue = 10,      // shared key/value store
    kReqDeskProp = 11,         // application "type" and "title"
    kReqAppProp = 12,          // store catalogue record of "id"
    kReqDeskBackground = 101,  // "desk_bg"
    kReqBenchBackground = 102, // "bench_bg"
    kReqRunLuaFile = 103,      // run the Lua file "luaf"
    kReqRunFile = 104,         // start "param" with "fname"
    kReqPageCtrlProperty = 105,
    kReqNewPage = 201,
    kReqPageDock = 202,
    kReqPageByControl = 203,
    kReqFocusPage = 204,
    kReqInsertPage = 205,
    kReqPageFocusOrNew = 206,
    kReqPageVisible = 207,
};

// The usage event of the channels plug-in.
inline constexpr std::int32_t kReqUsageEvent = 301;

// The library a request goes to ("uip" for the host), and the request number a script gives it.
inline constexpr std::string_view kKeyPlugin = "plugin";
inline constexpr std::string_view kKeyRequestId = "req_id";
// A Lua file to run.
inline constexpr std::string_view kKeyLuaFile = "luaf";

} // namespace corvane
