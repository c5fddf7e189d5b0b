#include "services/LogRoutes.h"

#include "services/UsageStore.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

namespace qm::server {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr std::size_t kMaxIdLength = 64;
constexpr int kLongestDelayMs = 60000; // a switched delay holds a worker: keep it short

void AnswerJson(httplib::Response& response, int status, const Json& body) {
    response.status = status;
    response.set_content(body.dump(), kJsonType);
}

void AnswerCode(httplib::Response& response, const std::string& code) {
    response.status = 200;
    response.set_content(code, kTextType);
}

// A file identifier: 1 to 64 letters, digits, "-" or "_".
bool ValidId(const std::string& id) {
    return !id.empty() && id.size() <= kMaxIdLength &&
           id.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_") ==
               std::string::npos;
}

// How the service behaves, switched at run time by the tests.
class Behaviour {
public:
    enum class Mode { Accept, Refuse, Away };
    struct State {
        Mode mode = Mode::Accept;
        std::string note; // appended to "#00"
        int delayMs = 0;  // after storing, before answering
    };
    State Get() {
        const std::lock_guard lock(mutex_);
        return state_;
    }
    void Set(State state) {
        const std::lock_guard lock(mutex_);
        state_ = std::move(state);
    }

private:
    std::mutex mutex_;
    State state_;
};

class LogService {
public:
    LogService(const std::filesystem::path& dataFolder, std::shared_ptr<StopLatch> stopping,
               std::size_t maxBodyBytes)
        : store_(dataFolder / "usage.sqlite"), stopping_(std::move(stopping)), maxBodyBytes_(maxBodyBytes) {}

    void Ping(httplib::Response& response) {
        if (behaviour_.Get().mode == Behaviour::Mode::Away)
            return AnswerJson(response, 503, Json{{"error", "日志服务暂停"}});
        AnswerJson(response, 200, Json{{"ready", true}});
    }

    void Usage(const httplib::Request& request, httplib::Response& response) {
        const Behaviour::State state = behaviour_.Get();
        if (state.mode == Behaviour::Mode::Away)
            return AnswerJson(response, 503, Json{{"error", "日志服务暂停"}});
        if (state.mode == Behaviour::Mode::Refuse)
            return AnswerCode(response, "#02");
        const std::string id = request.get_param_value("id");
        if (!ValidId(id)) {
            std::cerr << "log service: refused a text without a valid id\n";
            return AnswerCode(response, "#03");
        }
        if (request.body.size() > maxBodyBytes_) {
            std::cerr << "log service: refused text " << id << ": larger than " << maxBodyBytes_
                      << " bytes\n";
            return AnswerCode(response, "#03");
        }
        const UsageShapeResult read = ReadUsageText(request.body);
        if (!read.counts) {
            std::cerr << "log service: refused text " << id << ": " << read.error << "\n";
            return AnswerCode(response, "#03");
        }
        try {
            store_.Store(id, request.body, *read.counts);
        } catch (const std::runtime_error& error) {
            std::cerr << "log service: " << error.what() << "\n";
            return AnswerJson(response, 500, Json{{"error", error.what()}});
        }
        if (state.delayMs > 0)
            Delay(std::chrono::milliseconds(state.delayMs));
        AnswerCode(response, "#00" + state.note);
    }

    void Summary(httplib::Response& response) {
        try {
            const UsageStore::Summary summary = store_.Summarise();
            Json counts = Json::array();
            for (const UsageStore::Total& total : summary.counts)
                counts.push_back(Json{{"user", total.user},
                                      {"day", total.day},
                                      {"functionKey", total.functionKey},
                                      {"count", total.count}});
            AnswerJson(
                response, 200,
                Json{{"files", summary.files}, {"total", summary.total}, {"counts", std::move(counts)}});
        } catch (const std::runtime_error& error) {
            AnswerJson(response, 500, Json{{"error", error.what()}});
        }
    }

    void Switch(const httplib::Request& request, httplib::Response& response) {
        const Json body = Json::parse(request.body, nullptr, false);
        if (body.is_discarded() || !body.is_object())
            return AnswerJson(response, 400, Json{{"error", "请求内容不是 JSON 对象"}});
        Behaviour::State state;
        const std::string mode = body.value("mode", std::string("accept"));
        if (mode == "accept")
            state.mode = Behaviour::Mode::Accept;
        else if (mode == "refuse")
            state.mode = Behaviour::Mode::Refuse;
        else if (mode == "away")
            state.mode = Behaviour::Mode::Away;
        else
            return AnswerJson(response, 400, Json{{"error", "mode 只能是 accept、refuse 或 away"}});
        state.note = body.value("note", std::string());
        const auto delay = body.find("delayMs");
        if (delay != body.end() && !delay->is_number_integer())
            return AnswerJson(response, 400, Json{{"error", "delayMs 必须是整数"}});
        state.delayMs = std::clamp(delay == body.end() ? 0 : delay->get<long long>(), 0LL,
                                   static_cast<long long>(kLongestDelayMs));
        behaviour_.Set(std::move(state));
        AnswerJson(response, 200, Json{{"mode", mode}});
    }

private:
    void Delay(std::chrono::milliseconds delay) {
        if (stopping_)
            stopping_->WaitFor(delay);
        else
            std::this_thread::sleep_for(delay);
    }

    UsageStore store_;
    std::shared_ptr<StopLatch> stopping_;
    const std::size_t maxBodyBytes_;
    Behaviour behaviour_;
};

void AddHangingRoutes(httplib::Server& server, const std::shared_ptr<StopLatch>& stopping) {
    if (!stopping)
        return;
    const auto hang = [stopping](const httplib::Request&, httplib::Response& response) {
        stopping->Wait();
        AnswerJson(response, 503, Json{{"error", "服务器正在停止"}});
    };
    server.Get("/hang/log/ping", hang);
    server.Post("/hang/log/usage", hang);
}

} // namespace

void AddLogRoutes(httplib::Server& server, const LogRoutesConfig& config) {
    if (config.testRoutes)
        AddHangingRoutes(server, config.stopping);
    if (config.dataFolder.empty()) {
        const auto unavailable = [](const httplib::Request&, httplib::Response& response) {
            AnswerJson(response, 503, Json{{"error", "日志服务没有数据目录：启动服务器时请给出 --data DIR"}});
        };
        server.Get("/log/(ping|summary)", unavailable);
        server.Post(config.testRoutes ? "/log/(usage|switch)" : "/log/usage", unavailable);
        return;
    }
    const auto service =
        std::make_shared<LogService>(config.dataFolder, config.stopping, config.maxBodyBytes);
    server.Get("/log/ping",
               [service](const httplib::Request&, httplib::Response& response) { service->Ping(response); });
    server.Post("/log/usage", [service](const httplib::Request& request, httplib::Response& response) {
        service->Usage(request, response);
    });
    server.Get("/log/summary", [service](const httplib::Request&, httplib::Response& response) {
        service->Summary(response);
    });
    if (config.testRoutes) {
        server.Post("/log/switch", [service](const httplib::Request& request, httplib::Response& response) {
            service->Switch(request, response);
        });
    }
}

} // namespace qm::server
