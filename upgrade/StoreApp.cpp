#include "upgrade/StoreApp.h"

#include "common/Paths.h"
#include "common/StoreListText.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"
#include "upgrade/UpdateSignature.h"

#include <QFile>
#include <algorithm>

namespace qm {

namespace {

constexpr const char* kLocation = "TUIPlugin.REQ_3(const req, res: TBSONDocument)";

// With an update key configured, the list's signed text must carry the publisher's signature in
// the file beside it; false with the reason otherwise (always true without a key).
bool StoreListSigned(const std::string& file, const std::vector<TStoreEntry>& entries, std::string& reason) {
    const std::optional<TPublicKey> key = UpdateKeyToCheck(reason);
    if (!key)
        return reason.empty();
    const std::string signatureFile = file + ".sig";
    QFile input(QString::fromStdString(signatureFile));
    if (!input.open(QIODevice::ReadOnly)) {
        reason = "no signature in " + signatureFile;
        return false;
    }
    TSignature signature{};
    if (!ParseSignature(input.readAll().toStdString(), signature)) {
        reason = "the signature in " + signatureFile + " is not 128 hex digits";
        return false;
    }
    if (!SignatureMatches(StoreSignedText(entries), signature, *key)) {
        reason = "the signature in " + signatureFile + " does not match the store list";
        return false;
    }
    return true;
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
    std::vector<TStoreEntry> entries;
    std::string problem;
    if (!ReadStoreEntries(file, entries, problem))
        throw corvane::EPlugin(corvane::FormatText("文件(%s)格式错误：%s", file, problem), kLocation);
    if (!StoreListSigned(file, entries, problem)) {
        LogUpdateProblem("拒绝应用商店列表 " + file + "：" + problem);
        throw corvane::EPlugin(corvane::FormatText("应用商店列表(%s)未通过签名校验！", file), kLocation);
    }
    const auto entry = std::ranges::find_if(
        entries, [&id](const TStoreEntry& candidate) { return corvane::SameText(candidate.id, id); });
    if (entry == entries.end())
        return std::nullopt;
    return TStoreApp{entry->url, UpperAscii(entry->ver), entry->params, entry->name, entry->sha256};
}

} // namespace qm
