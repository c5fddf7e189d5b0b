#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/Export.h"

namespace corvane {

// Each kind is one of the final item classes below (String is TBSONStringItem, and so on).
enum class TBSONItemKind { String, Int, Double, Boolean };

// One named, typed value of a request document. Reading an item as another kind converts it;
// a conversion that cannot be made (text that is not a number, a double outside the 32-bit
// range) raises ETax naming the item rather than yielding a made-up value.
class CORVANE_API TBSONItem {
public:
    explicit TBSONItem(std::string name) : name_(std::move(name)) {}
    virtual ~TBSONItem();
    TBSONItem(const TBSONItem&) = default;
    TBSONItem& operator=(const TBSONItem&) = delete;

    const std::string& Name() const noexcept { return name_; }
    virtual TBSONItemKind Kind() const noexcept = 0;
    virtual std::unique_ptr<TBSONItem> Clone() const = 0;

    virtual std::int32_t AsInteger() const = 0;
    virtual double AsFloat() const = 0;
    virtual std::string AsString() const = 0;
    virtual bool AsBoolean() const = 0;

    virtual void SetAsInteger(std::int32_t value) = 0;
    virtual void SetAsFloat(double value) = 0;
    virtual void SetAsString(const std::string& value) = 0;
    virtual void SetAsBoolean(bool value) = 0;

protected:
    [[noreturn]] void RaiseConversion(const char* toKind) const;

private:
    std::string name_;
};

class CORVANE_API TBSONStringItem final : public TBSONItem {
public:
    TBSONStringItem(std::string name, std::string value) : TBSONItem(std::move(name)), value_(std::move(value)) {}
    TBSONItemKind Kind() const noexcept override { return TBSONItemKind::String; }
    std::unique_ptr<TBSONItem> Clone() const override;
    std::int32_t AsInteger() const override;
    double AsFloat() const override;
    std::string AsString() const override { return value_; }
    // The text itself, for readers that need no copy.
    const std::string& Value() const noexcept { return value_; }
    bool AsBoolean() const override;
    void SetAsInteger(std::int32_t value) override;
    void SetAsFloat(double value) override;
    void SetAsString(const std::string& value) override { value_ = value; }
    void SetAsBoolean(bool value) override;

private:
    std::string value_;
};

class CORVANE_API TBSONIntItem final : public TBSONItem {
public:
    TBSONIntItem(std::string name, std::int32_t value) : TBSONItem(std::move(name)), value_(value) {}
    TBSONItemKind Kind() const noexcept override { return TBSONItemKind::Int; }
    std::unique_ptr<TBSONItem> Clone() const override;
    std::int32_t AsInteger() const override { return value_; }
    double AsFloat() const override { return value_; }
    std::string AsString() const override;
    bool AsBoolean() const override { return value_ != 0; }
    void SetAsInteger(std::int32_t value) override { value_ = value; }
    void SetAsFloat(double value) override;
    void SetAsString(const std::string& value) override;
    void SetAsBoolean(bool value) override { value_ = value ? 1 : 0; }

private:
    std::int32_t value_;
};

// Script numbers arrive as double items; AsInteger yields the integral part.
class CORVANE_API TBSONDoubleItem final : public TBSONItem {
public:
    TBSONDoubleItem(std::string name, double value) : TBSONItem(std::move(name)), value_(value) {}
    TBSONItemKind Kind() const noexcept override { return TBSONItemKind::Double; }
    std::unique_ptr<TBSONItem> Clone() const override;
    std::int32_t AsInteger() const override;
    double AsFloat() const override { return value_; }
    std::string AsString() const override;
    bool AsBoolean() const override { return value_ != 0.0; }
    void SetAsInteger(std::int32_t value) override { value_ = value; }
    void SetAsFloat(double value) override { value_ = value; }
    void SetAsString(const std::string& value) override;
    void SetAsBoolean(bool value) override { value_ = value ? 1.0 : 0.0; }

private:
    double value_;
};

class CORVANE_API TBSONBooleanItem final : public TBSONItem {
public:
    TBSONBooleanItem(std::string name, bool value) : TBSONItem(std::move(name)), value_(value) {}
    TBSONItemKind Kind() const noexcept override { return TBSONItemKind::Boolean; }
    std::unique_ptr<TBSONItem> Clone() const override;
    std::int32_t AsInteger() const override { return value_ ? 1 : 0; }
    double AsFloat() const override { return value_ ? 1.0 : 0.0; }
    std::string AsString() const override { return value_ ? "True" : "False"; }
    bool AsBoolean() const override { return value_; }
    void SetAsInteger(std::int32_t value) override { value_ = value != 0; }
    void SetAsFloat(double value) override { value_ = value != 0.0; }
    void SetAsString(const std::string& value) override;
    void SetAsBoolean(bool value) override { value_ = value; }

private:
    bool value_;
};

// An ordered map from names to typed items; documents are small, so items live in insertion
// order and are found by a linear search on the exact name.
class CORVANE_API TBSONDocument {
public:
    TBSONDocument() = default;
    TBSONDocument(const TBSONDocument& other) { Assign(other); }
    TBSONDocument& operator=(const TBSONDocument& other);
    TBSONDocument(TBSONDocument&&) noexcept = default;
    TBSONDocument& operator=(TBSONDocument&&) noexcept = default;
    ~TBSONDocument();

    bool HasItem(std::string_view name) const noexcept { return Find(name) != nullptr; }
    // A missing name is a missing required parameter: raises EPlugin naming it.
    const TBSONItem& GetValue(std::string_view name) const;
    TBSONItem& GetValue(std::string_view name);
    // Nullptr when absent.
    const TBSONItem* Find(std::string_view name) const noexcept;
    TBSONItem* Find(std::string_view name) noexcept;

    // Adds the item, or replaces the item of the same name in its place.
    void SetValue(std::unique_ptr<TBSONItem> item);
    void SetString(const std::string& name, std::string value);
    void SetInteger(const std::string& name, std::int32_t value);
    void SetDouble(const std::string& name, double value);
    void SetBoolean(const std::string& name, bool value);
    bool Remove(std::string_view name);

    int GetCount() const noexcept { return static_cast<int>(items_.size()); }
    const TBSONItem& GetItem(int index) const;

    // Deep copy of another document.
    void Assign(const TBSONDocument& other);
    void Clear() noexcept { items_.clear(); }

private:
    std::vector<std::unique_ptr<TBSONItem>> items_;
};

// Reference-counted holder of a document.
using IDataDocument = std::shared_ptr<TBSONDocument>;

// The name of the request number item.
inline constexpr std::string_view kReqCmd = "@ReqCMD";

// A new request document with request number n under "@ReqCMD"; the second number is always 0.
CORVANE_API IDataDocument TakeDataDocument(std::int32_t requestNumber, std::int32_t reserved);
// A new empty document.
CORVANE_API IDataDocument TakeDataDocument();

} // namespace corvane
