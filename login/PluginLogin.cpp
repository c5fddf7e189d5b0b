#include "login/PluginLogin.h"

#include "common/AccountConfig.h"
#include "common/AccountService.h"
#include "common/Routing.h"
#include "common/ServiceCall.h"
#include "corvane/Errors.h"
#include "login/Branding.h"
#include "login/BrowserStart.h"
#include "login/FrmLogin.h"

#include <QApplication>
#include <memory>
#include <optional>

namespace qm {

namespace {

const char* const kNamespace = "Login";

std::string SharedValue(const std::string& key) {
    const corvane::IDataDocument answer = GetSharedValue(kNamespace, key);
    const corvane::TBSONItem* value = answer ? answer->Find("value") : nullptr;
    return value ? value->AsString() : std::string();
}

bool NoLogin(const corvane::TBSONDocument& req) {
    const corvane::TBSONItem* item = req.Find("NoLogin");
    return item != nullptr && item->AsBoolean();
}

std::string Text(const corvane::TBSONDocument& req, const char* name) {
    const corvane::TBSONItem* item = req.Find(name);
    return item ? item->AsString() : std::string();
}

// Shows the dialog in the layout and answers its modal result.
int RunDialog(int layout, TUserInfo* userInfo, const char* location) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        throw corvane::EPlugin("登录窗口需要图形界面程序", location);
    TfrmLogin dialog;
    dialog.ShowLayout(layout);
    const int result = dialog.exec();
    if (userInfo != nullptr)
        *userInfo = dialog.UserInfo();
    return result;
}

// Request 7, steps 4 to 6: the value for "Result", or nullopt when a failure leaves it unwritten.
// Every failure is swallowed. The calls run on a worker while the desk keeps painting.
std::optional<int> ServiceLoginResult(const std::string& userName, const std::string& password) {
    std::optional<int> result;
    RunServiceCallHoldingInput([&result, user = userName, password]() mutable {
        std::string token;
        try {
            token = CreateBrennikApi()->NewToken().AsString();
        } catch (const std::exception&) {
            token.clear();
        }
        if (!token.empty()) {
            try {
                result = CreateBrennikApi()->LoginAPI(TAutoValue(token), user).AsBoolean() ? 1 : 0;
            } catch (const std::exception&) {
            }
            return;
        }
        try {
            const std::unique_ptr<IBrennikApi> api = CreateBrennikApi();
            api->LoginIDP(user, password);
            const TAutoValue newToken = api->NewToken();
            result = api->LoginAPI(newToken, user).AsInteger();
        } catch (const std::exception&) {
        }
    });
    return result;
}

// Request 9, step 5: the address wrapped in a token login; raises what the service raised. The
// calls run on a worker while the desk keeps painting.
std::string TokenLoginAddress(const std::string& address) {
    std::string wrapped;
    RunServiceCallHoldingInput([&wrapped, text = address]() mutable {
        const std::unique_ptr<IBrennikApi> api = CreateBrennikApi();
        std::string encoded = api->UrlEncodeStr(text).AsString();
        const std::string twice = api->UrlEncodeStr(encoded).AsString();
        wrapped = api->BuildTokenLoginUrl(TokenLoginEndpoint() + twice).AsString();
    });
    return wrapped;
}

} // namespace

TLoginPlugin::TLoginPlugin() {
    instance_ = this;
}

TLoginPlugin::~TLoginPlugin() {
    if (instance_ == this)
        instance_ = nullptr;
}

void TLoginPlugin::REQ_2(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    res.SetInteger("Result", RunDialog(TfrmLogin::kLayoutRegister, nullptr,
                                       "TLoginPlugin.REQ_2(const req, res: TBSONDocument)"));
}

void TLoginPlugin::REQ_3(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    TUserInfo userInfo;
    const int result =
        RunDialog(TfrmLogin::kLayoutLogin, &userInfo, "TLoginPlugin.REQ_3(const req, res: TBSONDocument)");
    res.SetInteger("Result", result);
    if (result == TfrmLogin::kResultDone) {
        SetSharedValue(kNamespace, "UserName", userInfo.UserName);
        SetSharedValue(kNamespace, "Password", userInfo.PassWord);
    }
}

void TLoginPlugin::REQ_4(const corvane::TBSONDocument&, corvane::TBSONDocument&) {}

void TLoginPlugin::REQ_5(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    // The caller's document is changed on purpose: the caller sees which page was opened. Request
    // documents are made by TakeDataDocument and are never const objects.
    auto& request = const_cast<corvane::TBSONDocument&>(req);
    request.SetString("UrlNode", "changepassword_addr");
    REQ_9(request, res);
}

void TLoginPlugin::REQ_6(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    auto& request = const_cast<corvane::TBSONDocument&>(req);
    request.SetString("UrlNode", "changeuserinfo_addr");
    REQ_9(request, res);
}

void TLoginPlugin::REQ_7(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    std::string userName = SharedValue("UserName");
    std::string password = SharedValue("Password");
    if (userName.empty() && NoLogin(req))
        return;
    if (userName.empty()) {
        REQ_3(req, res);
        const corvane::TBSONItem* result = res.Find("Result");
        if (result == nullptr || result->AsInteger() != 1)
            return;
        userName = SharedValue("UserName");
        password = SharedValue("Password");
    }
    // The shared values were read above, on this thread; the answer is written here afterwards.
    if (const std::optional<int> result = ServiceLoginResult(userName, password))
        res.SetInteger("Result", *result);
}

void TLoginPlugin::REQ_8(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    SetSharedValue(kNamespace, "UserName", "");
    SetSharedValue(kNamespace, "Password", "");
    res.SetInteger("Result", 1);
}

void TLoginPlugin::REQ_9(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    res.SetInteger("Result", 0);
    const std::string url = Text(req, "Url");
    const std::string urlNode = Text(req, "UrlNode");
    if (url.empty() && urlNode.empty())
        throw corvane::EPlugin("无网页地址参数", "TLoginPlugin.REQ_9(const req, res: TBSONDocument)");
    std::string address = url.empty() ? ReadBrandingAddress(urlNode) : url;
    REQ_7(req, res);
    const corvane::TBSONItem* result = res.Find("Result");
    if (result != nullptr && result->AsInteger() == 1) {
        try {
            address = TokenLoginAddress(address);
            res.SetInteger("Result", 1);
        } catch (const std::exception& error) {
            res.SetString("ErrMsg", error.what());
        }
    }
    StartBrowser(address);
}

std::span<const corvane::TPublishedMethod> TLoginPlugin::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        CORVANE_PUBLISH(TLoginPlugin, REQ_2), CORVANE_PUBLISH(TLoginPlugin, REQ_3),
        CORVANE_PUBLISH(TLoginPlugin, REQ_4), CORVANE_PUBLISH(TLoginPlugin, REQ_5),
        CORVANE_PUBLISH(TLoginPlugin, REQ_6), CORVANE_PUBLISH(TLoginPlugin, REQ_7),
        CORVANE_PUBLISH(TLoginPlugin, REQ_8), CORVANE_PUBLISH(TLoginPlugin, REQ_9),
    };
    return methods;
}

} // namespace qm

// The one export: creates the plugin object on the first call and whenever the previous one is
// gone; the library owns it and frees it when it is unloaded.
extern "C" __attribute__((visibility("default"))) void CreatePlugin(::corvane::TPlugin** plugin) {
    static std::unique_ptr<qm::TLoginPlugin> owner;
    if (qm::TLoginPlugin::Instance() == nullptr)
        owner = std::make_unique<qm::TLoginPlugin>();
    *plugin = qm::TLoginPlugin::Instance();
}
