#pragma once

#include "corvane/Plugin.h"

namespace qm {

// The login plug-in's plugin object: login and registration dialogs, the login check, logout and
// account pages with a token login. It keeps no state; the logged-in user lives in the host's
// shared values ("Login": "UserName", "Password"). One per process (see CreatePlugin).
class TLoginPlugin : public corvane::TClientPlugin {
public:
    TLoginPlugin();
    ~TLoginPlugin() override;

    // The process's one instance, or nullptr when there is none.
    static TLoginPlugin* Instance() noexcept { return instance_; }

    // Registration dialog: "Result" = its modal result (1 registered, 2 cancelled).
    void REQ_2(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Login dialog: "Result" = its modal result; after a login the user and password are stored.
    void REQ_3(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Nothing.
    void REQ_4(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Change-password page: "UrlNode" = "changepassword_addr" is written into req, then as 9.
    void REQ_5(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Change-user-info page: "UrlNode" = "changeuserinfo_addr" is written into req, then as 9.
    void REQ_6(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Login check ("NoLogin"): "Result" 1 when the account service is logged in for the user.
    void REQ_7(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Logout: clears the shared values; "Result" = 1.
    void REQ_8(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // Opens "Url" (else the branding address named by "UrlNode") in the default browser, with a
    // token login when the login check gives 1. "Result", and "ErrMsg" when the token failed.
    void REQ_9(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    static inline TLoginPlugin* instance_ = nullptr;
};

} // namespace qm
