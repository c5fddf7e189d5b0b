#include "corvane/HandleTable.h"

#include "corvane/Errors.h"

#include <limits>

namespace corvane {

std::int32_t THandleTable::Register(const void* object, std::uint32_t kinds) {
    if (object == nullptr)
        return 0;
    std::lock_guard lock(mutex_);
    if (auto found = byObject_.find(object); found != byObject_.end()) {
        byHandle_.at(found->second).kinds |= kinds;
        return found->second;
    }
    // Positive, never 0 (0 means "no object" in answers), and not one that is still live.
    do {
        lastHandle_ = lastHandle_ == std::numeric_limits<std::int32_t>::max() ? 1 : lastHandle_ + 1;
    } while (byHandle_.contains(lastHandle_));
    byHandle_.emplace(lastHandle_, Entry{object, kinds});
    byObject_.emplace(object, lastHandle_);
    return lastHandle_;
}

void THandleTable::Unregister(const void* object) noexcept {
    std::lock_guard lock(mutex_);
    if (auto found = byObject_.find(object); found != byObject_.end()) {
        byHandle_.erase(found->second);
        byObject_.erase(found);
    }
}

std::int32_t THandleTable::HandleOf(const void* object) const noexcept {
    std::lock_guard lock(mutex_);
    auto found = byObject_.find(object);
    return found == byObject_.end() ? 0 : found->second;
}

bool THandleTable::IsLive(std::int32_t handle) const noexcept {
    std::lock_guard lock(mutex_);
    return byHandle_.contains(handle);
}

void* THandleTable::Find(std::int32_t handle, std::uint32_t requiredKinds) const noexcept {
    std::lock_guard lock(mutex_);
    auto found = byHandle_.find(handle);
    if (found == byHandle_.end() || (found->second.kinds & requiredKinds) != requiredKinds)
        return nullptr;
    return const_cast<void*>(found->second.object);
}

void* THandleTable::Resolve(std::int32_t handle, std::uint32_t requiredKinds, std::string_view key,
                            std::string_view location) const {
    std::lock_guard lock(mutex_);
    auto found = byHandle_.find(handle);
    if (found == byHandle_.end())
        throw EPlugin(
            FormatText("参数<%s>的对象引用(%d)无效：对象不存在或已被释放", std::string(key), handle),
            std::string(location));
    if ((found->second.kinds & requiredKinds) != requiredKinds)
        throw EPlugin(FormatText("参数<%s>的对象引用(%d)不是所需类型的对象", std::string(key), handle),
                      std::string(location));
    return const_cast<void*>(found->second.object);
}

void* THandleTable::Resolve(const TBSONDocument& doc, std::string_view key, std::uint32_t requiredKinds,
                            std::string_view location) const {
    const TBSONItem& item = doc.GetValue(key);
    return Resolve(item.AsInteger(), requiredKinds, key, location);
}

std::size_t THandleTable::Count() const noexcept {
    std::lock_guard lock(mutex_);
    return byHandle_.size();
}

THandleTable& Handles() {
    static THandleTable table;
    return table;
}

} // namespace corvane
