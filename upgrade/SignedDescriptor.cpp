#include "upgrade/SignedDescriptor.h"

#include "common/FileBytes.h"
#include "common/SignedKinds.h"
#include "common/TextTrim.h"
#include "upgrade/IssuedState.h"
#include "upgrade/UpdateAddress.h"
#include "upgrade/UpdateSignature.h"
#include "upgrade/UpgradeLog.h"

#include <charconv>
#include <ctime>

namespace qm {

namespace {

constexpr std::size_t kMostLengthDigits = 18; // fits std::int64_t

bool IsSha256(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

bool Offers(const TIniDocument& descriptor, const char* section) {
    return !TrimWhitespace(descriptor.ReadString(section, "ver")).empty();
}

// A section whose package is on offer must name that package's digest and length.
TResult<> DescribesItsPackage(const TIniDocument& descriptor, const char* section) {
    if (!Offers(descriptor, section))
        return Success();
    const std::string where = std::string("the package of [") + section + "]";
    if (!IsSha256(TrimWhitespace(descriptor.ReadString(section, "sha256"))))
        return Failure(where + " is offered without its sha256");
    if (OfferedLength(descriptor.ReadString(section, "length")) < 0)
        return Failure(where + " is offered without its length (length=<bytes>)");
    return Success();
}

TResult<> ForThisComponent(const TFetchedDescriptor& descriptor, const std::string& component) {
    const std::string named = descriptor.Ini.ReadString("upgrade", "component");
    if (ComponentName(named).empty())
        return Failure("the descriptor names no component ([upgrade] component=<its update source>)");
    if (ComponentName(named) != component)
        return Failure("the descriptor was published for component " + ComponentName(named) + ", not for " +
                       component + " (fetched from " + descriptor.URL + ")");
    return Success();
}

TResult<> NotExpired(const TIniDocument& descriptor) {
    const std::string text = TrimmedCopy(descriptor.ReadString("upgrade", "expires"));
    const std::optional<std::time_t> expires = ParseUtcStamp(text);
    if (!expires)
        return Failure("the descriptor carries no expiry ([upgrade] expires=YYYYMMDDHHMMSS, UTC)");
    if (std::time(nullptr) > *expires)
        return Failure("the descriptor expired at " + text +
                       " UTC: the server offers no current one (held back or replayed)");
    return Success();
}

TResult<> DescriptorPasses(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop) {
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    if (!*key)
        return Success();
    if (TResult<> allowed = UpdateAddressAllowed(descriptor.URL); !allowed)
        return allowed;
    const TResult<TSignature> signature = FetchSignature(descriptor.URL, descriptor.File + ".sig", stop);
    if (!signature)
        return signature.Error();
    if (!descriptor.Ini.Loaded())
        return Failure("cannot read " + descriptor.File);
    if (!SignatureMatches(DescriptorSignedText(descriptor.Bytes), *signature, **key))
        return Failure("the signature at " + descriptor.URL + ".sig does not match the descriptor");
    const std::string component = ComponentOfDescriptor(descriptor.URL);
    if (TResult<> bound = ForThisComponent(descriptor, component); !bound)
        return bound;
    if (TResult<> current = NotExpired(descriptor.Ini); !current)
        return current;
    for (const char* section : {"upgrade", "silent"})
        if (TResult<> described = DescribesItsPackage(descriptor.Ini, section); !described)
            return described;
    const std::string issued = descriptor.Ini.ReadString("upgrade", "issued");
    if (!IsIssueSerial(issued))
        return Failure("the descriptor carries no issue serial ([upgrade] issued=<decimal number>)");
    return AcceptIssued(component, issued, upFile);
}

} // namespace

std::optional<std::time_t> ParseUtcStamp(std::string_view text) {
    if (text.size() != 14 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        std::from_chars(text.data() + at, text.data() + at + digits, value);
        return value;
    };
    std::tm parts{};
    parts.tm_year = number(0, 4) - 1900;
    parts.tm_mon = number(4, 2) - 1;
    parts.tm_mday = number(6, 2);
    parts.tm_hour = number(8, 2);
    parts.tm_min = number(10, 2);
    parts.tm_sec = number(12, 2);
    std::tm normalised = parts;
    const std::time_t when = timegm(&normalised);
    // A field out of its range (month 13, 31 April) is normalised by timegm: refuse it instead.
    if (when == static_cast<std::time_t>(-1) || normalised.tm_year != parts.tm_year ||
        normalised.tm_mon != parts.tm_mon || normalised.tm_mday != parts.tm_mday ||
        normalised.tm_hour != parts.tm_hour || normalised.tm_min != parts.tm_min ||
        normalised.tm_sec != parts.tm_sec)
        return std::nullopt;
    return when;
}

std::int64_t OfferedLength(std::string_view text) {
    text = TrimWhitespace(text);
    if (text.empty() || text.size() > kMostLengthDigits ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return -1;
    std::int64_t value = -1;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TFetchedDescriptor ReadFetchedDescriptor(const std::string& file, const std::string& url) {
    TFetchedDescriptor descriptor{file, url, {}, {}};
    if (TResult<std::string> bytes = ReadFileBytes(file)) {
        descriptor.Bytes = std::move(*bytes);
        descriptor.Ini = TIniDocument::Parse(descriptor.Bytes);
    }
    return descriptor;
}

TResult<> AcceptUpdateAddress(const std::string& descriptorURL, const std::string& url) {
    TResult<> allowed = UpdateAddressAllowed(url);
    if (!allowed)
        LogWarning(lcUpgrade, "拒绝升级描述文件 " + descriptorURL + "：" + allowed.Reason());
    return allowed;
}

TResult<> AcceptDescriptor(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop) {
    TResult<> accepted = DescriptorPasses(upFile, descriptor, stop);
    if (!accepted)
        LogWarning(lcUpgrade, "拒绝升级描述文件 " + descriptor.URL + "：" + accepted.Reason());
    return accepted;
}

} // namespace qm
