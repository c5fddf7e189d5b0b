#include "common/BrennikClient.h"

#include "common/AccountCall.h"
#include "common/PercentEncoding.h"
#include "corvane/Errors.h"

#include <map>
#include <mutex>
#include <vector>

namespace qm {

namespace {

using Json = nlohmann::ordered_json;

struct TLoginIdentity {
    std::string userName;
    std::string session; // "" when nobody is logged in
};

// The identity logged in through the component, shared by every object of the process.
class TProcessLogin {
public:
    static TProcessLogin& Instance() {
        static TProcessLogin login;
        return login;
    }
    TLoginIdentity Get() {
        const std::lock_guard lock(mutex_);
        return identity_;
    }
    void Set(TLoginIdentity identity) {
        const std::lock_guard lock(mutex_);
        identity_ = std::move(identity);
    }

private:
    std::mutex mutex_;
    TLoginIdentity identity_;
};

const std::string& StringMember(const Json& answer, const char* name, const char* location) {
    const auto found = answer.find(name);
    if (found == answer.end() || !found->is_string())
        throw corvane::ETax(corvane::FormatText("账户服务的应答缺少\"%s\"", name), location);
    return found->get_ref<const std::string&>();
}

bool BooleanMember(const Json& answer, const char* name, const char* location) {
    const auto found = answer.find(name);
    if (found == answer.end() || !found->is_boolean())
        throw corvane::ETax(corvane::FormatText("账户服务的应答缺少\"%s\"", name), location);
    return found->get<bool>();
}

class TServiceEntry final : public IServiceEntry {
public:
    explicit TServiceEntry(std::map<std::string, std::string> fields) : fields_(std::move(fields)) {}
    std::string value(const std::string& fieldName) override {
        const auto found = fields_.find(fieldName);
        return found == fields_.end() ? std::string() : found->second;
    }

private:
    std::map<std::string, std::string> fields_;
};

class TServiceList final : public IServiceList {
public:
    explicit TServiceList(std::vector<std::map<std::string, std::string>> entries)
        : entries_(std::move(entries)) {}
    int Size() override { return static_cast<int>(entries_.size()); }
    std::unique_ptr<IServiceEntry> item(int index) override {
        if (index < 1 || index > Size())
            throw corvane::ETax(corvane::FormatText("服务列表没有第%d项", index), "TServiceList.item");
        return std::make_unique<TServiceEntry>(entries_[static_cast<std::size_t>(index - 1)]);
    }

private:
    std::vector<std::map<std::string, std::string>> entries_;
};

} // namespace

void TBrennikClient::LoginIDP(const std::string& userName, const std::string& password) {
    constexpr const char* kLocation = "TBrennikClient.LoginIDP";
    try {
        const Json answer = PostToAccountService(
            config_, "/account/login", Json{{"userName", userName}, {"password", password}}, kLocation);
        TProcessLogin::Instance().Set({userName, StringMember(answer, "session", kLocation)});
    } catch (...) {
        TProcessLogin::Instance().Set({});
        throw;
    }
}

TAutoValue TBrennikClient::Register(std::string& userName, std::string& password, const std::string& sourceId,
                                    std::string& email) {
    constexpr const char* kLocation = "TBrennikClient.Register";
    const Json answer = PostToAccountService(
        config_, "/account/register",
        Json{{"userName", userName}, {"password", password}, {"sourceId", sourceId}, {"email", email}},
        kLocation);
    return BooleanMember(answer, "created", kLocation);
}

TAutoValue TBrennikClient::NewToken() {
    constexpr const char* kLocation = "TBrennikClient.NewToken";
    const TLoginIdentity identity = TProcessLogin::Instance().Get();
    if (identity.session.empty())
        return std::string();
    const Json answer =
        PostToAccountService(config_, "/account/token", Json{{"session", identity.session}}, kLocation);
    return StringMember(answer, "token", kLocation);
}

TAutoValue TBrennikClient::LoginAPI(const TAutoValue& token, std::string& userName) {
    constexpr const char* kLocation = "TBrennikClient.LoginAPI";
    const Json answer = PostToAccountService(
        config_, "/account/checkToken", Json{{"token", token.AsString()}, {"userName", userName}}, kLocation);
    return BooleanMember(answer, "valid", kLocation);
}

TAutoValue TBrennikClient::UrlEncodeStr(std::string& text) {
    return PercentEncode(text);
}

TAutoValue TBrennikClient::BuildTokenLoginUrl(const std::string& address) {
    const std::string token = NewToken().AsString();
    if (token.empty())
        throw corvane::ETax("未登录", "TBrennikClient.BuildTokenLoginUrl");
    return address + "&token=" + token;
}

std::unique_ptr<IServiceList> TBrennikClient::findMainServiceTypeList(const std::string& serviceType,
                                                                      const std::string& version) {
    constexpr const char* kLocation = "TBrennikClient.findMainServiceTypeList";
    const Json answer = GetFromAccountService(config_,
                                              "/account/services?serviceType=" + PercentEncode(serviceType) +
                                                  "&version=" + PercentEncode(version),
                                              kLocation);
    const auto services = answer.find("services");
    if (services == answer.end() || !services->is_array())
        throw corvane::ETax("账户服务的应答缺少\"services\"", kLocation);
    std::vector<std::map<std::string, std::string>> entries;
    for (const Json& service : *services) {
        if (!service.is_object())
            throw corvane::ETax("账户服务的服务列表无法解析", kLocation);
        std::map<std::string, std::string> fields;
        for (const char* field : {"productCode", "storeUrl", "price"})
            fields[field] = StringMember(service, field, kLocation);
        entries.push_back(std::move(fields));
    }
    return std::make_unique<TServiceList>(std::move(entries));
}

} // namespace qm
