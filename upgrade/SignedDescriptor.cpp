#include "upgrade/SignedDescriptor.h"

#include "common/IniFile.h"
#include "common/TextTrim.h"
#include "upgrade/IssuedState.h"
#include "upgrade/UpdateSignature.h"

#include <QFile>

namespace qm {

namespace {

bool IsSha256(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// A section whose package is on offer must name that package's digest.
bool NamesItsDigest(const std::string& descriptorFile, const char* section, std::string& reason) {
    if (TrimWhitespace(IniReadString(descriptorFile, section, "ver")).empty())
        return true;
    if (IsSha256(TrimWhitespace(IniReadString(descriptorFile, section, "sha256"))))
        return true;
    reason = std::string("the package of [") + section + "] is offered without its sha256";
    return false;
}

bool DescriptorPasses(const std::string& upFile, const std::string& descriptorFile,
                      const std::string& descriptorURL, std::string& reason, corvane::TStopToken* stop) {
    const std::optional<TPublicKey> key = UpdateKeyToCheck(reason);
    if (!key)
        return reason.empty();
    TSignature signature{};
    if (!FetchSignature(descriptorURL, descriptorFile + ".sig", stop, signature, reason))
        return false;
    QFile input(QString::fromStdString(descriptorFile));
    if (!input.open(QIODevice::ReadOnly)) {
        reason = "cannot read " + descriptorFile;
        return false;
    }
    const QByteArray bytes = input.readAll();
    if (!SignatureMatches(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                          signature, *key)) {
        reason = "the signature at " + descriptorURL + ".sig does not match the descriptor";
        return false;
    }
    if (!NamesItsDigest(descriptorFile, "upgrade", reason) ||
        !NamesItsDigest(descriptorFile, "silent", reason))
        return false;
    const std::string issued = IniReadString(descriptorFile, "upgrade", "issued");
    if (!IsIssueSerial(issued)) {
        reason = "the descriptor carries no issue serial ([upgrade] issued=<decimal number>)";
        return false;
    }
    return AcceptIssued(upFile, issued, reason);
}

} // namespace

bool AcceptDescriptor(const std::string& upFile, const std::string& descriptorFile,
                      const std::string& descriptorURL, std::string& reason, corvane::TStopToken* stop) {
    const bool accepted = DescriptorPasses(upFile, descriptorFile, descriptorURL, reason, stop);
    if (!accepted)
        LogUpdateProblem("拒绝升级描述文件 " + descriptorURL + "：" + reason);
    return accepted;
}

} // namespace qm
