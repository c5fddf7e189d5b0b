#pragma once

#include <memory>
#include <optional>
#include <string>

namespace corvane {
class TStopToken;
}

// The log-sending component: ships one statistics file's JSON text to the logging service
// (docs/logging-service.md). Its address is a deployment setting in the branding file
// "brennik.xml" (ConfigPath), beside the account service's:
//   logservice_addr     base address of the logging service; absent or blank: sending is off
//   logservice_timeout  seconds one call may take in all; default 5
namespace qm::skellow {

struct TLogServiceConfig {
    std::string serviceAddress; // without a trailing "/"
    double timeoutSeconds = 5;
};

// nullopt when the branding file or its "logservice_addr" is missing or blank. A branding file
// that does not parse raises corvane::ETax.
std::optional<TLogServiceConfig> ReadLogServiceConfig();

class ISendLog {
public:
    virtual ~ISendLog() = default;
    // Sends the JSON text of the statistics file known to the service as fileId (the service keeps
    // the last text sent under an identifier, so sending a file again never counts it twice) and
    // answers the result text. Codes in it: "#00" accepted; "#01" this object's sending was already
    // completed; "#02" the service refused it or the transfer broke off; "#03" the service found the
    // text invalid; "#04" no network connection could be prepared; "#05" the service answered with
    // an HTTP error; "#06" the service could not be reached. Raises corvane::ETax only when no
    // service is configured.
    virtual std::string SendLog(const std::string& json, const std::string& fileId) = 0;
    // True when a service is configured and answers its readiness check within the time limit.
    virtual bool CanSend() = 0;
    // Ends this object's sending; a later SendLog answers "#01".
    virtual void SetSendComplete() = 0;
};

// A new log-sending object for the configuration (nullopt: not configured, CanSend is false). Its
// calls end at once when `stop` (when given; it must outlive the object) is stopped: CanSend then
// answers false and SendLog "#02".
std::unique_ptr<ISendLog> CreateSendLog(std::optional<TLogServiceConfig> config,
                                        corvane::TStopToken* stop = nullptr);

} // namespace qm::skellow
