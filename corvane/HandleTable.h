#pragma once

#include "corvane/BsonDocument.h"
#include "corvane/Export.h"

#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

namespace corvane {

// What a handle refers to. An object may carry several kinds (a page is also a control).
// By convention the registered address is the object's address as the kind's base class:
// Control/Form/Page register a QWidget*, Bitmap a QImage*, Plugin a corvane::TPlugin*.
enum THandleKind : std::uint32_t {
    kHandleControl = 1u << 0,
    kHandleForm = 1u << 1,
    kHandlePage = 1u << 2,
    kHandleBitmap = 1u << 3,
    kHandlePlugin = 1u << 4,
    // A row of a plugin class's published method table (a corvane::TPublishedMethod*): the
    // "reback_method" of the callback convention.
    kHandlePublishedMethod = 1u << 5,
    kHandleTestObject = 1u << 31,
};

// Object references travel in 32-bit integer items, so every object handed out is registered
// here and travels as its handle. Handle numbers are never reused while the process lives (until
// the 31-bit counter wraps), so a handle of a destroyed object stays invalid instead of naming a
// newer object at the same address.
class CORVANE_API THandleTable {
public:
    // The object's handle, registering it first if needed (an object keeps one handle; the kinds
    // of a second registration are added to it).
    std::int32_t Register(const void* object, std::uint32_t kinds);
    // Called when the object is destroyed; unknown objects are ignored.
    void Unregister(const void* object) noexcept;

    // 0 when the object is not registered.
    std::int32_t HandleOf(const void* object) const noexcept;
    bool IsLive(std::int32_t handle) const noexcept;
    // The live object behind handle when it carries every kind in requiredKinds, else null.
    void* Find(std::int32_t handle, std::uint32_t requiredKinds) const noexcept;

    // The live object behind handle, which must carry every kind in requiredKinds. A handle of 0,
    // a forged or stale handle, or one of the wrong kind raises EPlugin naming the key.
    void* Resolve(std::int32_t handle, std::uint32_t requiredKinds, std::string_view key,
                  std::string_view location) const;
    // The same, for the integer item `key` of a request document (a missing key raises too).
    void* Resolve(const TBSONDocument& doc, std::string_view key, std::uint32_t requiredKinds,
                  std::string_view location) const;

    std::size_t Count() const noexcept;

private:
    struct Entry {
        const void* object;
        std::uint32_t kinds;
    };
    mutable std::mutex mutex_;
    std::unordered_map<std::int32_t, Entry> byHandle_;
    std::unordered_map<const void*, std::int32_t> byObject_;
    std::int32_t lastHandle_ = 0;
};

// The one process-wide table.
CORVANE_API THandleTable& Handles();

} // namespace corvane
