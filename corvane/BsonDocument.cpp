#include "corvane/BsonDocument.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "corvane/Errors.h"
#include "corvane/TextCase.h"

namespace corvane {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

template <class T> bool ParseWhole(std::string_view text, T& value) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ParseBoolean(std::string_view text, bool& value) {
    text = Trimmed(text);
    if (SameText(text, "true") || text == "1") {
        value = true;
        return true;
    }
    if (SameText(text, "false") || text == "0" || text.empty()) {
        value = false;
        return true;
    }
    return false;
}

bool FitsInt32(double value) {
    return std::isfinite(value) && value > static_cast<double>(std::numeric_limits<std::int32_t>::min()) - 1.0 &&
           value < static_cast<double>(std::numeric_limits<std::int32_t>::max()) + 1.0;
}

std::string DoubleText(double value) {
    // Script numbers are doubles; whole numbers read as whole numbers ("5", not "5.0").
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

} // namespace

TBSONItem::~TBSONItem() = default;

void TBSONItem::RaiseConversion(const char* toKind) const {
    throw EPlugin(FormatText("参数<%s>的值(%s)不能作为%s读取", name_, AsString(), toKind), "TBSONItem.As" + std::string(toKind));
}

// String items.
std::unique_ptr<TBSONItem> TBSONStringItem::Clone() const { return std::make_unique<TBSONStringItem>(*this); }

std::int32_t TBSONStringItem::AsInteger() const {
    std::int32_t result = 0;
    if (!ParseWhole(value_, result))
        RaiseConversion("Integer");
    return result;
}

double TBSONStringItem::AsFloat() const {
    double result = 0;
    if (!ParseWhole(value_, result))
        RaiseConversion("Float");
    return result;
}

bool TBSONStringItem::AsBoolean() const {
    bool result = false;
    if (!ParseBoolean(value_, result))
        RaiseConversion("Boolean");
    return result;
}

void TBSONStringItem::SetAsInteger(std::int32_t value) { value_ = std::to_string(value); }
void TBSONStringItem::SetAsFloat(double value) { value_ = DoubleText(value); }
void TBSONStringItem::SetAsBoolean(bool value) { value_ = value ? "True" : "False"; }

// Integer items.
std::unique_ptr<TBSONItem> TBSONIntItem::Clone() const { return std::make_unique<TBSONIntItem>(*this); }
std::string TBSONIntItem::AsString() const { return std::to_string(value_); }

void TBSONIntItem::SetAsFloat(double value) {
    if (!FitsInt32(value))
        throw EPlugin(FormatText("参数<%s>的值(%s)超出整数范围", Name(), DoubleText(value)), "TBSONIntItem.AsFloat");
    value_ = static_cast<std::int32_t>(std::trunc(value));
}

void TBSONIntItem::SetAsString(const std::string& value) {
    if (!ParseWhole(value, value_))
        throw EPlugin(FormatText("参数<%s>的值(%s)不是整数", Name(), value), "TBSONIntItem.AsString");
}

// Double items.
std::unique_ptr<TBSONItem> TBSONDoubleItem::Clone() const { return std::make_unique<TBSONDoubleItem>(*this); }

std::int32_t TBSONDoubleItem::AsInteger() const {
    if (!FitsInt32(value_))
        RaiseConversion("Integer");
    return static_cast<std::int32_t>(std::trunc(value_));
}

std::string TBSONDoubleItem::AsString() const { return DoubleText(value_); }

void TBSONDoubleItem::SetAsString(const std::string& value) {
    if (!ParseWhole(value, value_))
        throw EPlugin(FormatText("参数<%s>的值(%s)不是数字", Name(), value), "TBSONDoubleItem.AsString");
}

// Boolean items.
std::unique_ptr<TBSONItem> TBSONBooleanItem::Clone() const { return std::make_unique<TBSONBooleanItem>(*this); }

void TBSONBooleanItem::SetAsString(const std::string& value) {
    if (!ParseBoolean(value, value_))
        throw EPlugin(FormatText("参数<%s>的值(%s)不是布尔值", Name(), value), "TBSONBooleanItem.AsString");
}

// Documents.
TBSONDocument::~TBSONDocument() = default;

TBSONDocument& TBSONDocument::operator=(const TBSONDocument& other) {
    if (this != &other)
        Assign(other);
    return *this;
}

const TBSONItem* TBSONDocument::Find(std::string_view name) const noexcept {
    for (const auto& item : items_)
        if (item->Name() == name)
            return item.get();
    return nullptr;
}

TBSONItem* TBSONDocument::Find(std::string_view name) noexcept {
    return const_cast<TBSONItem*>(std::as_const(*this).Find(name));
}

const TBSONItem& TBSONDocument::GetValue(std::string_view name) const {
    if (const auto* item = Find(name))
        return *item;
    throw EPlugin(FormatText("缺少参数<%s>", std::string(name)), "TBSONDocument.GetValue");
}

TBSONItem& TBSONDocument::GetValue(std::string_view name) {
    return const_cast<TBSONItem&>(std::as_const(*this).GetValue(name));
}

void TBSONDocument::SetValue(std::unique_ptr<TBSONItem> item) {
    for (auto& existing : items_) {
        if (existing->Name() == item->Name()) {
            existing = std::move(item);
            return;
        }
    }
    // Requests and answers hold a handful of items: one allocation instead of growing 1, 2, 4, 8.
    if (items_.empty())
        items_.reserve(8);
    items_.push_back(std::move(item));
}

void TBSONDocument::SetString(const std::string& name, std::string value) {
    SetValue(std::make_unique<TBSONStringItem>(name, std::move(value)));
}
void TBSONDocument::SetInteger(const std::string& name, std::int32_t value) {
    SetValue(std::make_unique<TBSONIntItem>(name, value));
}
void TBSONDocument::SetDouble(const std::string& name, double value) {
    SetValue(std::make_unique<TBSONDoubleItem>(name, value));
}
void TBSONDocument::SetBoolean(const std::string& name, bool value) {
    SetValue(std::make_unique<TBSONBooleanItem>(name, value));
}

bool TBSONDocument::Remove(std::string_view name) {
    return std::erase_if(items_, [name](const auto& item) { return item->Name() == name; }) > 0;
}

const TBSONItem& TBSONDocument::GetItem(int index) const {
    if (index < 0 || index >= GetCount())
        throw EPlugin(FormatText("文档项序号(%d)超出范围(0..%d)", index, GetCount() - 1), "TBSONDocument.GetItem");
    return *items_[static_cast<std::size_t>(index)];
}

void TBSONDocument::Assign(const TBSONDocument& other) {
    if (this == &other)
        return;
    std::vector<std::unique_ptr<TBSONItem>> copy;
    copy.reserve(other.items_.size());
    for (const auto& item : other.items_)
        copy.push_back(item->Clone());
    items_ = std::move(copy);
}

IDataDocument TakeDataDocument(std::int32_t requestNumber, std::int32_t /*reserved*/) {
    auto doc = std::make_shared<TBSONDocument>();
    doc->SetInteger(std::string(kReqCmd), requestNumber);
    return doc;
}

IDataDocument TakeDataDocument() { return std::make_shared<TBSONDocument>(); }

} // namespace corvane
