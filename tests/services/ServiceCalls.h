#pragma once

#include "tests/support/ReferenceServer.h"

#include <chrono>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <string>

namespace qm::test {

// Calls of the account and logging services of a running reference server, for the tests that
// start several of them.
class ServiceCalls {
public:
    explicit ServiceCalls(const ReferenceServer& server) : base_(server.BaseURL()) {}

    httplib::Result Post(const std::string& path, const nlohmann::json& body) const {
        return Client().Post(path.c_str(), body.dump(), "application/json");
    }
    httplib::Result Get(const std::string& path) const { return Client().Get(path.c_str()); }

    // The status of a call; 0 when there was no answer.
    static int Status(const httplib::Result& result) { return result ? result->status : 0; }

    int Register(const std::string& name, const std::string& password) const {
        return Status(
            Post("/account/register", {{"userName", name}, {"password", password}, {"email", "a@b.test"}}));
    }
    int Login(const std::string& name, const std::string& password) const {
        return Status(Post("/account/login", {{"userName", name}, {"password", password}}));
    }
    // A session of the user; "" when the login failed.
    std::string Session(const std::string& name, const std::string& password) const {
        const auto answer = Post("/account/login", {{"userName", name}, {"password", password}});
        return answer && answer->status == 200 ? nlohmann::json::parse(answer->body).value("session", "")
                                               : "";
    }
    std::string Token(const std::string& session) const {
        const auto answer = Post("/account/token", {{"session", session}});
        return answer && answer->status == 200 ? nlohmann::json::parse(answer->body).value("token", "") : "";
    }
    // The status of the token-login page for the token (302 when it was taken).
    int TakeToken(const std::string& token) const {
        return Status(
            Get("/myaccount/loginSend.do?sendTo=http%253A%252F%252Fexample.test%252F&token=" + token));
    }
    // The answer text of a usage file sent; "" when there was no answer.
    std::string SendUsage(const std::string& id, const std::string& text) const {
        const auto answer = Client().Post(("/log/usage?id=" + id).c_str(), text, "application/json");
        return answer ? std::to_string(answer->status) + " " + answer->body : "";
    }
    nlohmann::json Summary() const {
        const auto answer = Get("/log/summary");
        return answer && answer->status == 200 ? nlohmann::json::parse(answer->body) : nlohmann::json();
    }

private:
    httplib::Client Client() const {
        httplib::Client client(base_);
        client.set_read_timeout(std::chrono::seconds(20));
        return client;
    }

    std::string base_;
};

// A statistics text of one user with one function used `count` times on one day.
inline std::string UsageText(const std::string& user, int count, const std::string& key = "S2S007") {
    return nlohmann::json{
        {"FProductID", "1"},
        {"FProductVer", "0.1.0"},
        {"FProductRegNO", "QM-1"},
        {"FAccountName", "0"},
        {"FAccountUser", "0"},
        {"FBKUser", user},
        {"FAdditionalInfo", "0"},
        {"FOperationDays",
         {{{"FOperationDay", "20261209"},
           {"FFunctions", {{{"FFunctionKey", key}, {"FOperationCount", std::to_string(count)}}}}}}}}
        .dump();
}

} // namespace qm::test
