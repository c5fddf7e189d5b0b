#include "services/TokenLoginPage.h"

namespace qm::server {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowerPrefix[i])
            return false;
    }
    return true;
}

void AnswerPage(httplib::Response& response, int status, const std::string& title, const std::string& text) {
    response.status = status;
    response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                             "</title></head>\n<body><h1>" + title + "</h1><p>" + text +
                             "</p></body></html>\n",
                         "text/html; charset=utf-8");
}

} // namespace

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

bool IsWebAddress(std::string_view address) {
    for (const char c : address) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    std::size_t hostStart = 0;
    if (StartsWithNoCase(address, "http://"))
        hostStart = 7;
    else if (StartsWithNoCase(address, "https://"))
        hostStart = 8;
    else
        return false;
    // A host must follow: "http:///x" or "http://\x" would leave it to the browser to guess.
    return hostStart < address.size() && address[hostStart] != '/' && address[hostStart] != '\\' &&
           address[hostStart] != '?' && address[hostStart] != '#';
}

void AnswerTokenLogin(SessionBook& sessions, const httplib::Request& request, httplib::Response& response) {
    const std::optional<std::string> target = PercentDecode(request.get_param_value("sendTo"));
    if (!target || !IsWebAddress(*target)) {
        AnswerPage(response, 400, "目标地址无效", "登录链接指向的不是一个网页地址。");
        return;
    }
    const std::string token = request.get_param_value("token");
    if (token.empty() || !sessions.RedeemToken(token)) {
        AnswerPage(response, 403, "登录链接无效或已过期", "请回到程序中重新打开此页面。");
        return;
    }
    response.set_redirect(*target, 302);
}

} // namespace qm::server
