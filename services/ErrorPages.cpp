#include "services/ErrorPages.h"

#include <exception>
#include <iostream>
#include <string>

namespace qm::server {

namespace {

std::string StatusLine(int status) {
    switch (status) {
    case 400:
        return "400 Bad Request";
    case 403:
        return "403 Forbidden";
    case 404:
        return "404 Not Found";
    case 405:
        return "405 Method Not Allowed";
    case 416:
        return "416 Range Not Satisfiable";
    case 500:
        return "500 Internal Server Error";
    default:
        return std::to_string(status) + " Error";
    }
}

} // namespace

void InstallErrorPages(httplib::Server& server) {
    const httplib::Server::HandlerWithResponse fillEmptyErrorBody = [](const httplib::Request& request,
                                                                       httplib::Response& response) {
        if (!response.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        // The page is the whole body: keep the library from cutting it to a requested range.
        const_cast<httplib::Request&>(request).ranges.clear();
        const std::string line = StatusLine(response.status);
        response.set_content("<html><head><title>" + line + "</title></head><body><h1>" + line +
                                 "</h1></body></html>\n",
                             "text/html");
        return httplib::Server::HandlerResponse::Handled;
    };
    server.set_error_handler(fillEmptyErrorBody);
    server.set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr failure) {
            std::string what = "unknown exception";
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& exception) {
                what = exception.what();
            } catch (...) {
            }
            std::cerr << "qm-reference-server: " << request.method << " " << request.path << ": " << what
                      << std::endl;
            response.status = 500;
        });
}

} // namespace qm::server
