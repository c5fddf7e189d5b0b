#include "services/AccountRoutes.h"

#include "services/AccountFields.h"
#include "services/AccountStore.h"
#include "services/LoginThrottle.h"
#include "services/ServiceCatalogue.h"
#include "services/SessionBook.h"
#include "services/TokenLoginPage.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace qm::server {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr const char* kApiPaths = "/account/(register|login|token|checkToken|services)";
constexpr const char* kTokenLoginPath = R"(/myaccount/loginSend\.do)";
constexpr std::size_t kMaxSourceIdBytes = 256;

void AnswerJson(httplib::Response& response, int status, const Json& body) {
    response.status = status;
    response.set_content(body.dump(), kJsonType);
}

void AnswerError(httplib::Response& response, int status, const std::string& message) {
    AnswerJson(response, status, Json{{"error", message}});
}

// A request body's member as text; "" when it is missing or not a string.
std::string TextMember(const Json& body, const char* name) {
    const auto found = body.find(name);
    return found != body.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// Runs a handler; a database that cannot be reached answers 503 (the client may try again soon),
// any other database failure 500. The details go to the server's log only.
template <typename Handler> void AnswerDatabaseTrouble(httplib::Response& response, Handler handler) {
    try {
        handler();
    } catch (const DatabaseUnavailable& error) {
        std::cerr << "account service: " << error.what() << "\n";
        response.set_header("Retry-After", "5");
        AnswerError(response, 503, "账户服务暂时无法使用，请稍后再试");
    } catch (const DatabaseError& error) {
        std::cerr << "account service: " << error.what() << "\n";
        AnswerError(response, 500, "账户服务出现内部错误");
    }
}

class AccountService {
public:
    explicit AccountService(const AccountRoutesConfig& config)
        : database_(config.database), accounts_(*database_, config.limits.hashSlots),
          sessions_(*database_, config.tokenLifetime, std::chrono::seconds(config.limits.sessionIdleSeconds)),
          throttle_(*database_, config.limits.nameFailures, config.limits.addressFailures,
                    std::chrono::seconds(config.limits.loginWindowSeconds)),
          catalogue_(config.dataFolder.empty() ? std::filesystem::path()
                                               : config.dataFolder / "services.json"),
          metrics_(config.metrics) {}

    void Register(const Json& body, httplib::Response& response) {
        // The source identifier may be empty: an installation without one still registers users.
        const NewAccount account{TrimBlank(TextMember(body, "userName")), TextMember(body, "password"),
                                 TextMember(body, "sourceId"), TrimBlank(TextMember(body, "email"))};
        if (auto problem = UserNameProblem(account.userName))
            return AnswerError(response, 400, *problem);
        if (auto problem = PasswordProblem(account.password))
            return AnswerError(response, 400, *problem);
        if (auto problem = EmailProblem(account.email))
            return AnswerError(response, 400, *problem);
        if (account.sourceId.size() > kMaxSourceIdBytes)
            return AnswerError(response, 400, "注册来源过长");
        if (!accounts_.Add(account))
            return AnswerError(response, 409, "用户名已存在");
        AnswerJson(response, 200, Json{{"created", true}});
    }

    void Login(const Json& body, const std::string& address, httplib::Response& response) {
        const std::string name = TrimBlank(TextMember(body, "userName"));
        const std::string password = TextMember(body, "password");
        if (auto problem = UserNameProblem(name))
            return AnswerError(response, 400, *problem);
        if (auto problem = PasswordProblem(password))
            return AnswerError(response, 400, *problem);
        const LoginThrottle::Attempt attempt = throttle_.Begin(name, address);
        if (!attempt.allowed) {
            metrics_->CountLoginThrottled();
            response.set_header("Retry-After", std::to_string(attempt.retryAfter.count()));
            const auto minutes = (attempt.retryAfter.count() + 59) / 60;
            return AnswerError(response, 429,
                               "登录失败次数过多，请" + std::to_string(minutes) + "分钟后再试");
        }
        const std::optional<std::string> user = accounts_.Verify(name, password);
        if (!user) {
            metrics_->CountLoginFailure();
            return AnswerError(response, 401, "用户名或密码错误");
        }
        throttle_.Succeeded(name, address, attempt);
        AnswerJson(response, 200, Json{{"session", sessions_.OpenSession(*user)}, {"userName", *user}});
    }

    void Token(const Json& body, httplib::Response& response) {
        const std::optional<std::string> user = sessions_.SessionUser(TextMember(body, "session"));
        if (!user)
            return AnswerError(response, 401, "会话无效，请重新登录");
        AnswerJson(
            response, 200,
            Json{{"token", sessions_.IssueToken(*user)}, {"expiresIn", sessions_.TokenLifetime().count()}});
    }

    void CheckToken(const Json& body, httplib::Response& response) {
        const bool valid = sessions_.TokenValidFor(TextMember(body, "token"), TextMember(body, "userName"));
        AnswerJson(response, 200, Json{{"valid", valid}});
    }

    void Services(const httplib::Request& request, httplib::Response& response) {
        const std::string type = request.get_param_value("serviceType");
        const std::string version = request.get_param_value("version");
        if (type.empty() || version.empty())
            return AnswerError(response, 400, "serviceType 和 version 都不能为空");
        try {
            const Json services =
                catalogue_.empty() ? Json::array() : FindServices(catalogue_, type, version);
            AnswerJson(response, 200, Json{{"services", services}});
        } catch (const std::runtime_error& error) {
            AnswerError(response, 500, error.what());
        }
    }

    void TokenLogin(const httplib::Request& request, httplib::Response& response) {
        try {
            AnswerTokenLogin(sessions_, request, response);
        } catch (const std::runtime_error& error) {
            std::cerr << "account service: " << error.what() << "\n";
            const bool later = dynamic_cast<const DatabaseUnavailable*>(&error) != nullptr;
            if (later)
                response.set_header("Retry-After", "5");
            response.status = later ? 503 : 500;
            response.set_content(
                "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>暂时无法登录"
                "</title></head>\n<body><h1>暂时无法登录</h1><p>请稍后回到程序中重新打开此页面。"
                "</p></body></html>\n",
                "text/html; charset=utf-8");
        }
    }

private:
    std::shared_ptr<SqlDatabase> database_;
    AccountStore accounts_;
    SessionBook sessions_;
    LoginThrottle throttle_;
    std::filesystem::path catalogue_; // empty: no service list
    std::shared_ptr<ServerMetrics> metrics_;
};

// Sends a POST body to one of the service's JSON operations.
void DispatchPost(AccountService& service, std::size_t maxBody,
                  const std::vector<std::string>& trustedProxies, const httplib::Request& request,
                  httplib::Response& response) {
    // A body sent in chunks is only measured once it is in.
    if (request.body.size() > maxBody)
        return AnswerError(response, 413, "请求内容过大：最多 " + std::to_string(maxBody) + " 字节");
    const Json body = Json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
        return AnswerError(response, 400, "请求内容不是 JSON 对象");
    const std::string operation = request.matches[1];
    AnswerDatabaseTrouble(response, [&] {
        if (operation == "register")
            service.Register(body, response);
        else if (operation == "login")
            service.Login(body, ClientAddress(request, trustedProxies), response);
        else if (operation == "token")
            service.Token(body, response);
        else if (operation == "checkToken")
            service.CheckToken(body, response);
        else
            AnswerError(response, 405, "请用 GET 查询服务列表");
    });
}

void AddHangingRoutes(httplib::Server& server, const std::shared_ptr<StopLatch>& stopping) {
    const auto hang = [stopping](const httplib::Request&, httplib::Response& response) {
        stopping->Wait();
        response.status = 503;
    };
    const std::string apiPaths = std::string("/hang") + kApiPaths;
    const std::string pagePath = std::string("/hang") + kTokenLoginPath;
    server.Post(apiPaths, hang);
    server.Get(apiPaths, hang);
    server.Get(pagePath, hang);
}

void AddUnconfiguredRoutes(httplib::Server& server) {
    const auto unavailable = [](const httplib::Request&, httplib::Response& response) {
        AnswerError(response, 503, "账户服务没有数据目录：启动服务器时请给出 --data DIR");
    };
    server.Post(kApiPaths, unavailable);
    server.Get(kApiPaths, unavailable);
    server.Get(kTokenLoginPath, unavailable);
}

} // namespace

std::string ClientAddress(const httplib::Request& request, const std::vector<std::string>& trustedProxies) {
    if (std::find(trustedProxies.begin(), trustedProxies.end(), request.remote_addr) == trustedProxies.end())
        return request.remote_addr;
    const std::string named = TrimBlank(request.get_header_value("X-Real-IP"));
    return named.empty() ? request.remote_addr : named;
}

void AddAccountRoutes(httplib::Server& server, const AccountRoutesConfig& config) {
    if (config.testRoutes)
        AddHangingRoutes(server, config.stopping);
    if (!config.database)
        return AddUnconfiguredRoutes(server);

    const auto service = std::make_shared<AccountService>(config);
    const auto maxBody = static_cast<std::size_t>(config.limits.maxAccountBodyBytes);
    server.Post(kApiPaths, [service, maxBody, proxies = config.trustedProxies](
                               const httplib::Request& request, httplib::Response& response) {
        DispatchPost(*service, maxBody, proxies, request, response);
    });
    server.Get(kApiPaths, [service](const httplib::Request& request, httplib::Response& response) {
        if (request.matches[1] == "services")
            service->Services(request, response);
        else
            AnswerError(response, 405, "请用 POST 调用此操作");
    });
    server.Get(kTokenLoginPath, [service](const httplib::Request& request, httplib::Response& response) {
        service->TokenLogin(request, response);
    });
}

} // namespace qm::server
