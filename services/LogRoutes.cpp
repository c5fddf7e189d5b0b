#include "services/LogRoutes.h"

#include "services/UsageStore.h"

#include <algorithm>
#include <chrono>
#include <functional>
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
        std::string note;       // appended to "#00"
        int delayMs = 0;        // after storing, before answering
        int pauseInStoreMs = 0; // inside the store's transaction, before it commits
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
    explicit LogService(const LogRoutesConfig& config)
        : database_(config.database), store_(*database_), stopping_(config.stopping),
          maxBodyBytes_(config.maxBodyBytes), metrics_(config.metrics) {}

    void Ping(httplib::Response& response) {
        if (behaviour_.Get().mode == Behaviour::Mode::Away)
            return AnswerJson(response, 503, Json{{"error", "日志服务暂停"}});
        if (!database_->Answers())
            return AnswerUnavailable(response);
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
            std::function<void()> pause;
            if (state.pauseInStoreMs > 0)
                pause = [this, &state] { Delay(std::chrono::milliseconds(state.pauseInStoreMs)); };
            store_.Store(id, request.body, *read.counts, pause);
        } catch (const DatabaseUnavailable& error) {
            std::cerr << "log service: " << error.what() << "\n";
            return AnswerUnavailable(response);
        } catch (const std::runtime_error& error) {
            std::cerr << "log service: " << error.what() << "\n";
            return AnswerJson(response, 500, Json{{"error", "日志服务出现内部错误"}});
        }
        std::int64_t uses = 0;
        for (const UsageCount& count : *read.counts)
            uses += count.count;
        metrics_->CountUsageStored(uses);
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
        } catch (const DatabaseUnavailable& error) {
            std::cerr << "log service: " << error.what() << "\n";
            AnswerUnavailable(response);
        } catch (const std::runtime_error& error) {
            std::cerr << "log service: " << error.what() << "\n";
            AnswerJson(response, 500, Json{{"error", "日志服务出现内部错误"}});
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
        for (const auto& [key, field] : {std::pair{"delayMs", &Behaviour::State::delayMs},
                                         std::pair{"pauseInStoreMs", &Behaviour::State::pauseInStoreMs}}) {
            const auto delay = body.find(key);
            if (delay != body.end() && !delay->is_number_integer())
                return AnswerJson(response, 400, Json{{"error", std::string(key) + " 必须是整数"}});
            state.*field = static_cast<int>(std::clamp(delay == body.end() ? 0 : delay->get<long long>(), 0LL,
                                                       static_cast<long long>(kLongestDelayMs)));
        }
        behaviour_.Set(std::move(state));
        AnswerJson(response, 200, Json{{"mode", mode}});
    }

private:
    static void AnswerUnavailable(httplib::Response& response) {
        response.set_header("Retry-After", "5");
        AnswerJson(response, 503, Json{{"error", "日志服务暂时无法使用，请稍后再试"}});
    }

    void Delay(std::chrono::milliseconds delay) {
        if (stopping_)
            stopping_->WaitFor(delay);
        else
            std::this_thread::sleep_for(delay);
    }

    std::shared_ptr<SqlDatabase> database_;
    UsageStore store_;
    std::shared_ptr<StopLatch> stopping_;
    const std::size_t maxBodyBytes_;
    std::shared_ptr<ServerMetrics> metrics_;
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
    if (!config.database) {
        const auto unavailable = [](const httplib::Request&, httplib::Response& response) {
            AnswerJson(response, 503, Json{{"error", "日志服务没有数据目录：启动服务器时请给出 --data DIR"}});
        };
        server.Get("/log/(ping|summary)", unavailable);
        server.Post(config.testRoutes ? "/log/(usage|switch)" : "/log/usage", unavailable);
        return;
    }
    const auto service = std::make_shared<LogService>(config);
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
