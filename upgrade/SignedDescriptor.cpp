#include "upgrade/SignedDescriptor.h"

#include "common/FileBytes.h"
#include "common/TextTrim.h"
#include "upgrade/IssuedState.h"
#include "upgrade/UpdateSignature.h"
#include "upgrade/UpgradeLog.h"

namespace qm {

namespace {

bool IsSha256(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// A section whose package is on offer must name that package's digest.
TResult<> NamesItsDigest(const TIniDocument& descriptor, const char* section) {
    if (TrimWhitespace(descriptor.ReadString(section, "ver")).empty())
        return Success();
    if (IsSha256(TrimWhitespace(descriptor.ReadString(section, "sha256"))))
        return Success();
    return Failure(std::string("the package of [") + section + "] is offered without its sha256");
}

TResult<> DescriptorPasses(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop) {
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    if (!*key)
        return Success();
    const TResult<TSignature> signature = FetchSignature(descriptor.URL, descriptor.File + ".sig", stop);
    if (!signature)
        return signature.Error();
    if (!descriptor.Ini.Loaded())
        return Failure("cannot read " + descriptor.File);
    if (!SignatureMatches(descriptor.Bytes, *signature, **key))
        return Failure("the signature at " + descriptor.URL + ".sig does not match the descriptor");
    for (const char* section : {"upgrade", "silent"})
        if (TResult<> named = NamesItsDigest(descriptor.Ini, section); !named)
            return named;
    const std::string issued = descriptor.Ini.ReadString("upgrade", "issued");
    if (!IsIssueSerial(issued))
        return Failure("the descriptor carries no issue serial ([upgrade] issued=<decimal number>)");
    return AcceptIssued(upFile, issued);
}

} // namespace

TFetchedDescriptor ReadFetchedDescriptor(const std::string& file, const std::string& url) {
    TFetchedDescriptor descriptor{file, url, {}, {}};
    if (TResult<std::string> bytes = ReadFileBytes(file)) {
        descriptor.Bytes = std::move(*bytes);
        descriptor.Ini = TIniDocument::Parse(descriptor.Bytes);
    }
    return descriptor;
}

TResult<> AcceptDescriptor(const std::string& upFile, const TFetchedDescriptor& descriptor,
                           corvane::TStopToken* stop) {
    TResult<> accepted = DescriptorPasses(upFile, descriptor, stop);
    if (!accepted)
        LogWarning(lcUpgrade, "拒绝升级描述文件 " + descriptor.URL + "：" + accepted.Reason());
    return accepted;
}

} // namespace qm
