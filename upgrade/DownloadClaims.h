#pragma once

#include <functional>
#include <string>

class QObject;

namespace qm {

// Which download window writes which file, for the whole process: a file is written by one
// transfer at a time. UI thread only.
namespace download_claims {

enum class TClaim {
    Granted, // the caller now writes the file; it must Release it when its task ends
    Joined,  // another window is fetching the same address into it: onEnd tells how that ended
    Refused, // another address is being fetched into the file
};

// How a claimed file's task ended, as joiners hear it.
enum class TEnd { Applied, Failed, Cancelled };

// Claims file (compared as given, after making it native) for url on behalf of owner. When
// joined, onEnd runs once the owner of the file releases it (on the UI thread, after the
// releasing call has returned), unless owner has gone or left first.
TClaim Claim(const std::string& file, const std::string& url, QObject* owner,
             std::function<void(TEnd end, const std::string& reason)> onEnd);

// The owner's task has ended: the file is free, and every window that joined hears end.
void Release(const std::string& file, const QObject* owner, TEnd end, const std::string& reason);

// A joined window no longer waits for the file (it was aborted or freed).
void Leave(const std::string& file, const QObject* owner);

} // namespace download_claims

} // namespace qm
