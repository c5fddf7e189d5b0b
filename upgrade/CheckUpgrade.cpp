#include "upgrade/CheckUpgrade.h"

#include "common/Internet.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "common/TextTrim.h"
#include "upgrade/ReleaseNotes.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/SignedDescriptor.h"
#include "upgrade/UpdateSignature.h"
#include "upgrade/UpgradeLog.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace qm {

namespace {

const char* const kDescriptorFailed = "服务器upgrade.zip下载失败了";
const char* const kDescriptorRefused = "服务器upgrade.zip未通过校验：";

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// Any difference counts as newer; an empty server version offers nothing.
bool IsNewer(const std::string& localVersion, const std::string& serverVersion) {
    return !TrimmedCopy(serverVersion).empty() && !SameTextIgnoringCase(serverVersion, localVersion);
}

// Folder (with its trailing "\") and file name of a "\"-separated address.
std::pair<std::string, std::string> SplitAtLastBackslash(const std::string& address) {
    const auto slash = address.find_last_of('\\');
    if (slash == std::string::npos)
        return {std::string(), address};
    return {address.substr(0, slash + 1), address.substr(slash + 1)};
}

std::string WithExtension(const std::string& file, const std::string& extension) {
    const auto dot = file.find_last_of('.');
    const auto slash = file.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return file + extension;
    return file.substr(0, dot) + extension;
}

int ModeOf(bool mainNewer, bool silentNewer, bool forced) {
    if (mainNewer && forced)
        return TTaskObj::kModeForced;
    if (mainNewer && silentNewer)
        return TTaskObj::kModeBoth;
    return TTaskObj::kModeOnePackage;
}

// Deletes the descriptor copy however the check ends.
class TDescriptorCopy {
public:
    explicit TDescriptorCopy(std::string file) : file_(std::move(file)) {}
    ~TDescriptorCopy() { std::remove(file_.c_str()); }
    TDescriptorCopy(const TDescriptorCopy&) = delete;
    TDescriptorCopy& operator=(const TDescriptorCopy&) = delete;
    const std::string& File() const noexcept { return file_; }

private:
    std::string file_;
};

} // namespace

int ForceValue(const std::string& text) {
    const std::string trimmed = TrimmedCopy(text);
    if (trimmed.empty())
        return 0;
    const char* first = trimmed.data();
    const char* last = trimmed.data() + trimmed.size();
    if (*first == '+')
        ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        // A mistyped value must not end the check without an answer: it simply does not force.
        qCWarning(lcUpgrade, "\"force\" is not an integer (%s): not forced", trimmed.c_str());
        return 0;
    }
    return value;
}

TCheckOutcome CheckUpgrade(const TDownload_Upfile& upfile, corvane::TStopToken* stop) {
    const std::string& upFile = upfile.UpFile;
    const TIniDocument local = TIniDocument::Load(upFile);
    const std::string localURL = local.ReadString("upgrade", "url");
    const auto [folder, mainName] = SplitAtLastBackslash(ToBackslashes(localURL));
    const std::string descriptorURL = ToSlashes(ExpandPath(folder, "upgrade.zip"));
    if (const TResult<> allowed = AcceptUpdateAddress(descriptorURL, descriptorURL); !allowed)
        return Failure(kDescriptorRefused + allowed.Reason(), {}, kStateFailed);
    const TDescriptorCopy copy(WithExtension(upFile, ".ini"));
    if (!IsURLReachable(descriptorURL, stop) || !DownloadFile(descriptorURL, copy.File(), stop))
        return Failure(kDescriptorFailed, {}, kStateSkipped);
    const TFetchedDescriptor fetched = ReadFetchedDescriptor(copy.File(), descriptorURL);
    // A refused descriptor is a failure the requester and the user hear of, not "nothing to do".
    if (const TResult<> accepted = AcceptDescriptor(upFile, fetched, stop); !accepted) {
        // A signature the network withheld is tried again at the next check, like the descriptor.
        if (accepted.Code() == kSignatureUnreachable)
            return Failure(kDescriptorFailed, {}, kStateSkipped);
        return Failure(kDescriptorRefused + accepted.Reason(), {}, kStateFailed);
    }

    const TIniDocument& descriptor = fetched.Ini;
    TUpdatesDue due;
    const std::string serverVersion = descriptor.ReadString("upgrade", "ver");
    due.Forced = ForceValue(descriptor.ReadString("upgrade", "force")) == 1;
    const bool mainNewer = IsNewer(local.ReadString("upgrade", "ver"), serverVersion);
    const bool silentNewer =
        IsNewer(local.ReadString("silent", "ver"), descriptor.ReadString("silent", "ver"));
    if (!mainNewer && !silentNewer)
        return due;
    const int mode = ModeOf(mainNewer, silentNewer, due.Forced);
    if (silentNewer) {
        TTaskObj silent;
        silent.Mode = mode;
        silent.URL = local.ReadString("silent", "url");
        silent.LocalFile = ExpandPath(DownloadPath(), SplitAtLastBackslash(ToBackslashes(silent.URL)).second);
        silent.Sha256 = descriptor.ReadString("silent", "sha256");
        silent.Length = OfferedLength(descriptor.ReadString("silent", "length"));
        due.Tasks.push_back(std::move(silent));
        due.StartHidden = mode == TTaskObj::kModeOnePackage && !mainNewer;
    }
    if (mainNewer) {
        if (descriptor.Loaded())
            due.Notes = BuildReleaseNotes(descriptor.Text(), serverVersion);
        TTaskObj main;
        main.Mode = mode;
        main.Params = descriptor.ReadString("upgrade", "params");
        main.URL = descriptor.ReadString("upgrade", "url");
        main.LocalFile = ExpandPath(DownloadPath(), mainName);
        main.Sha256 = descriptor.ReadString("upgrade", "sha256");
        main.Length = OfferedLength(descriptor.ReadString("upgrade", "length"));
        due.Tasks.push_back(std::move(main));
        due.ShowDialog = true;
    }
    for (const TTaskObj& task : due.Tasks)
        if (const TResult<> allowed = AcceptUpdateAddress(descriptorURL, task.URL); !allowed)
            return Failure(kDescriptorRefused + allowed.Reason(), {}, kStateFailed);
    return due;
}

} // namespace qm
