#pragma once

#include <optional>
#include <string>
#include <utility>

// The one result of an operation that can fail with a reason: a value, or why there is none. The
// reason is in the user's words (what a message shows); the detail, when there is one, is for the
// log (file names, codes, a tool's output). Exceptions stay where the runtime throws them (ETax
// and its kin); everything else that fails says so through this type.
namespace qm {

// Why an operation failed. Converts to every TResult, so `return Failure("...")` ends any of them.
struct TFailure {
    std::string reason;
    std::string detail; // for the log; "" when the reason says it all
    int code = 0;       // the operation's own code for the failure, when it has one
};

// A failure with its reason (and, optionally, the detail for the log and a code).
inline TFailure Failure(std::string reason, std::string detail = {}, int code = 0) {
    return TFailure{std::move(reason), std::move(detail), code};
}

template <class T = void> class [[nodiscard]] TResult {
public:
    // Success, holding value.
    TResult(T value) : value_(std::move(value)) {}
    // Failure.
    TResult(TFailure failure) : failure_(std::move(failure)) {}

    bool Ok() const noexcept { return value_.has_value(); }
    explicit operator bool() const noexcept { return Ok(); }

    // The value; only on success.
    T& Value() & { return *value_; }
    const T& Value() const& { return *value_; }
    T&& Value() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    // The value, or fallback on failure.
    T ValueOr(T fallback) const& { return value_ ? *value_ : std::move(fallback); }

    // Why it failed; "" on success.
    const std::string& Reason() const noexcept { return failure_.reason; }
    const std::string& Detail() const noexcept { return failure_.detail; }
    int Code() const noexcept { return failure_.code; }
    const TFailure& Error() const noexcept { return failure_; }

private:
    std::optional<T> value_;
    TFailure failure_;
};

// An operation that only succeeds or fails.
template <> class [[nodiscard]] TResult<void> {
public:
    // Success.
    TResult() = default;
    // Failure.
    TResult(TFailure failure) : ok_(false), failure_(std::move(failure)) {}

    bool Ok() const noexcept { return ok_; }
    explicit operator bool() const noexcept { return ok_; }

    const std::string& Reason() const noexcept { return failure_.reason; }
    const std::string& Detail() const noexcept { return failure_.detail; }
    int Code() const noexcept { return failure_.code; }
    const TFailure& Error() const noexcept { return failure_; }

private:
    bool ok_ = true;
    TFailure failure_;
};

// Success of a TResult<void>.
inline TResult<void> Success() {
    return {};
}

} // namespace qm
