#pragma once

#include "common/AutoValue.h"

#include <memory>
#include <string>

// The account service: login, registration, login tokens, token-login addresses and the store's
// service list. Call sites create one object per group of calls (CreateBrennikApi) and drop it
// afterwards. Arguments the call sites hand over as variables of their own are taken by reference
// (the component may change them); the others by value. Results are TAutoValue and the call
// sites convert them as noted.
namespace qm {

inline constexpr const char* kBrennikApiProgId = "MERIDAPI.BrennikApi";

// One entry of the service list; value("productCode"), value("storeUrl"), value("price").
class IServiceEntry {
public:
    virtual ~IServiceEntry() = default;
    virtual std::string value(const std::string& fieldName) = 0;
};

// The service list: entries are numbered from 1 to Size().
class IServiceList {
public:
    virtual ~IServiceList() = default;
    virtual int Size() = 0;
    virtual std::unique_ptr<IServiceEntry> item(int index) = 0;
};

class IBrennikApi {
public:
    virtual ~IBrennikApi() = default;

    // Success means no error; an error carries the message shown to the user.
    virtual void LoginIDP(const std::string& userName, const std::string& password) = 0;
    // AsBoolean: true = account created. An error whose message contains "已存在" means the
    // user name is taken.
    virtual TAutoValue Register(std::string& userName, std::string& password, const std::string& sourceId,
                                std::string& email) = 0;
    // AsString: a login token for the account logged in through this object, "" when none.
    virtual TAutoValue NewToken() = 0;
    // With a text token: AsBoolean, true = logged in. With the value NewToken answered:
    // AsInteger, 1 = logged in.
    virtual TAutoValue LoginAPI(const TAutoValue& token, std::string& userName) = 0;
    // AsString: the URL-encoded text.
    virtual TAutoValue UrlEncodeStr(std::string& text) = 0;
    // AsString: the address to open, carrying the login token.
    virtual TAutoValue BuildTokenLoginUrl(const std::string& address) = 0;
    // nullptr, or the list of services of that type and version ("Dunmo税务", "9.0").
    virtual std::unique_ptr<IServiceList> findMainServiceTypeList(const std::string& serviceType,
                                                                  const std::string& version) = 0;
};

// A new account-service object. Raises ETax when the component is not installed; guarded call
// sites treat that as a failed login, unguarded ones let it reach the sender.
std::unique_ptr<IBrennikApi> CreateBrennikApi();

} // namespace qm
