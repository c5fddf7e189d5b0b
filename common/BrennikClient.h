#pragma once

#include "common/AccountConfig.h"
#include "common/AccountService.h"

namespace qm {

// The account-service component: IBrennikApi over the account service's HTTP API
// (docs/account-service.md). Every call is one blocking request, bounded by the configured time
// limit, and may be made from any thread.
//
// The identity logged in through LoginIDP (user name and the service's session) belongs to the
// process, not to the object: call sites create a new object for each group of calls, and a later
// object's NewToken must still find it. A failed LoginIDP forgets it.
class TBrennikClient final : public IBrennikApi {
public:
    explicit TBrennikClient(TAccountServiceConfig config) : config_(std::move(config)) {}

    void LoginIDP(const std::string& userName, const std::string& password) override;
    TAutoValue Register(std::string& userName, std::string& password, const std::string& sourceId,
                        std::string& email) override;
    // "" when nobody is logged in through the component.
    TAutoValue NewToken() override;
    // A boolean: AsBoolean true / AsInteger 1 when the token is valid for that user.
    TAutoValue LoginAPI(const TAutoValue& token, std::string& userName) override;
    TAutoValue UrlEncodeStr(std::string& text) override;
    // address + "&token=" + a fresh token; raises "未登录" when nobody is logged in.
    TAutoValue BuildTokenLoginUrl(const std::string& address) override;
    // Never nullptr: a list with Size() 0 when the service knows no such services. An entry's
    // value() of a field other than "productCode", "storeUrl" or "price" is "".
    std::unique_ptr<IServiceList> findMainServiceTypeList(const std::string& serviceType,
                                                          const std::string& version) override;

private:
    TAccountServiceConfig config_;
};

} // namespace qm
