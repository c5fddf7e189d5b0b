#include "upgrade/StoreApp.h"

#include "common/FileBytes.h"
#include "common/Paths.h"
#include "common/StoreListText.h"
#include "common/TextTrim.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"
#include "upgrade/UpdateSignature.h"
#include "upgrade/UpgradeLog.h"

#include <algorithm>

namespace qm {

namespace {

constexpr const char* kLocation = "TUIPlugin.REQ_3(const req, res: TBSONDocument)";

// With an update key configured, the list's signed text must carry the publisher's signature in
// the file beside it (nothing is asked without a key).
TResult<> StoreListSigned(const std::string& file, const std::vector<TStoreEntry>& entries) {
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    if (!*key)
        return Success();
    const std::string signatureFile = file + ".sig";
    const TResult<std::string> text = ReadFileBytes(signatureFile);
    if (!text)
        return Failure("no signature in " + signatureFile);
    const TResult<TSignature> signature = ParseSignature(*text);
    if (!signature)
        return Failure("the signature in " + signatureFile + " is not 128 hex digits");
    if (!SignatureMatches(StoreSignedText(entries), *signature, **key))
        return Failure("the signature in " + signatureFile + " does not match the store list");
    return Success();
}

// With an update key configured, an entry must name its installer's digest: otherwise any older
// installer the publisher ever signed, with its signature, would pass for it.
TResult<> NamesItsInstaller(const TStoreEntry& entry) {
    const TResult<std::optional<TPublicKey>> key = UpdateKeyToCheck();
    if (!key)
        return key.Error();
    const std::string_view digest = TrimWhitespace(entry.sha256);
    if (!*key ||
        (digest.size() == 64 && digest.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos))
        return Success();
    return Failure("the entry of application " + entry.id + " names no sha256 of its installer");
}

} // namespace

std::string UpperAscii(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return text;
}

std::optional<TStoreApp> FindStoreApp(const std::string& id) {
    const std::string file = IssueFile();
    if (!FileExists(file))
        return std::nullopt;
    const TResult<std::vector<TStoreEntry>> read = ReadStoreEntries(file);
    if (!read)
        throw corvane::EPlugin(corvane::FormatText("文件(%s)格式错误：%s", file, read.Reason()), kLocation);
    const std::vector<TStoreEntry>& entries = *read;
    if (const TResult<> signed_ = StoreListSigned(file, entries); !signed_) {
        LogWarning(lcUpgrade, "拒绝应用商店列表 " + file + "：" + signed_.Reason());
        throw corvane::EPlugin(corvane::FormatText("应用商店列表(%s)未通过签名校验！", file), kLocation);
    }
    const auto entry = std::ranges::find_if(
        entries, [&id](const TStoreEntry& candidate) { return corvane::SameText(candidate.id, id); });
    if (entry == entries.end())
        return std::nullopt;
    if (const TResult<> named = NamesItsInstaller(*entry); !named) {
        LogWarning(lcUpgrade, "拒绝应用商店列表 " + file + "：" + named.Reason());
        throw corvane::EPlugin(corvane::FormatText("应用(%s)在应用商店列表中没有安装程序的sha256！", id),
                               kLocation);
    }
    return TStoreApp{entry->url, UpperAscii(entry->ver), entry->params, entry->name, entry->sha256};
}

} // namespace qm
