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

// The key of a component: its normalised path with the characters an INI key cannot hold escaped.
std::string ComponentKey(const std::string& upFile) {
    const std::string path = std::filesystem::path(upFile).lexically_normal().string();
    std::string key;
    for (const char c : path) {
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

std::string LastIssued(const std::string& upFile) {
    return IniReadString(IssuedStateFile(), kSection, ComponentKey(upFile));
}

TResult<> AcceptIssued(const std::string& upFile, const std::string& issued) {
    const std::lock_guard lock(StateLock());
    const std::string last = LastIssued(upFile);
    if (IsIssueSerial(last)) {
        const int order = CompareIssued(issued, last);
        if (order < 0)
            return Failure("issued " + std::string(TrimWhitespace(issued)) + " is older than " + last +
                           ", the last accepted for " + upFile);
        if (order == 0)
            return Success();
    }
    try {
        EnsureDir(ConfigPath());
        IniWriteString(IssuedStateFile(), kSection, ComponentKey(upFile),
                       std::string(TrimWhitespace(issued)));
    } catch (const std::exception& error) {
        LogWarning(lcUpgrade, "升级描述文件的发布序号无法保存(" + IssuedStateFile() + ")：" + error.what());
    }
    return Success();
}

} // namespace qm
