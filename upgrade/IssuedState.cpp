#include "upgrade/IssuedState.h"

#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "upgrade/UpgradeLog.h"

#include <exception>
#include <filesystem>
#include <mutex>

namespace qm {

namespace {

constexpr std::size_t kMostDigits = 40;
const char* const kSection = "issued";

std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
    const auto first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view("0") : digits.substr(first);
}

// A component's key: its name with the characters an INI key cannot hold escaped.
std::string ComponentKey(std::string_view component) {
    std::string key;
    for (const char c : component) {
        switch (c) {
        case '%':
            key += "%25";
            break;
        case '=':
            key += "%3D";
            break;
        case '\r':
            key += "%0D";
            break;
        case '\n':
            key += "%0A";
            break;
        default:
            key += c;
        }
    }
    return key;
}

} // namespace

bool IsIssueSerial(std::string_view text) {
    text = TrimWhitespace(text);
    return !text.empty() && text.size() <= kMostDigits &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

int CompareIssued(std::string_view a, std::string_view b) {
    a = WithoutLeadingZeros(TrimWhitespace(a));
    b = WithoutLeadingZeros(TrimWhitespace(b));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string IssuedStateFile() {
    return ConfigPath() + "UpgradeIssued.ini";
}

std::string LastIssued(const std::string& component) {
    return IniReadString(IssuedStateFile(), kSection, ComponentKey(component));
}

std::string LegacyComponent(const std::string& upFile) {
    return std::filesystem::path(upFile).lexically_normal().string();
}

TResult<> AcceptIssued(const std::string& component, const std::string& issued, const std::string& upFile) {
    const std::lock_guard lock(StateLock());
    std::string last = LastIssued(component);
    if (!upFile.empty()) {
        // Floors kept before descriptors named their component still hold.
        const std::string legacy = LastIssued(LegacyComponent(upFile));
        if (IsIssueSerial(legacy) && (!IsIssueSerial(last) || CompareIssued(legacy, last) > 0))
            last = legacy;
    }
    if (IsIssueSerial(last)) {
        const int order = CompareIssued(issued, last);
        if (order < 0)
            return Failure("issued " + std::string(TrimWhitespace(issued)) + " is older than " + last +
                           ", the last accepted (or shipped) for " + component);
        if (order == 0 && IsIssueSerial(LastIssued(component)))
            return Success();
    }
    try {
        EnsureDir(ConfigPath());
        IniWriteString(IssuedStateFile(), kSection, ComponentKey(component),
                       std::string(TrimWhitespace(issued)));
    } catch (const std::exception& error) {
        LogWarning(lcUpgrade, "升级描述文件的发布序号无法保存(" + IssuedStateFile() + ")：" + error.what());
    }
    return Success();
}

} // namespace qm
