#include "services/FileRoutes.h"

#include "services/ByteRange.h"
#include "services/CutBudget.h"
#include "services/FaultSwitches.h"
#include "services/FileBody.h"
#include "services/RootedPath.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace qm::server {

namespace {

std::string ContentTypeFor(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (extension == ".html" || extension == ".htm")
        return "text/html";
    if (extension == ".txt" || extension == ".ini" || extension == ".lua")
        return "text/plain";
    if (extension == ".xml")
        return "text/xml";
    if (extension == ".json")
        return "application/json";
    if (extension == ".png")
        return "image/png";
    if (extension == ".zip")
        return "application/zip";
    return "application/octet-stream";
}

// The file's modification time as an HTTP date, so that clients can tell a changed file.
std::string LastModified(const std::filesystem::path& file) {
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error)
        return "";
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[utc.tm_wday], utc.tm_mday,
                  months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

// The longest a slow transfer may take: it holds a worker all the while.
constexpr std::uint64_t kSlowestSeconds = 60;

// Only plain paths on this server may be redirect targets, so the server can never be used to
// bounce a client somewhere else: "//host" and "/\host" name other hosts, and browsers drop tabs
// and line breaks, so "/<TAB>/host" does too. Printable ASCII only, no backslash anywhere.
bool IsLocalTarget(const std::string& target) {
    const bool printable =
        std::all_of(target.begin(), target.end(), [](char c) { return c > ' ' && c < 0x7F; });
    return printable && !target.empty() && target.front() == '/' && target.find('\\') == std::string::npos &&
           (target.size() == 1 || target[1] != '/');
}

class FileRequestHandler {
public:
    explicit FileRequestHandler(FileRoutesConfig config) : config_(std::move(config)) {}

    void operator()(const httplib::Request& request, httplib::Response& response) const {
        // Ranges are resolved here, differently per fault switch; the library would otherwise cut
        // the body a second time. Its request object is not const, only the handler's view of it.
        const_cast<httplib::Request&>(request).ranges.clear();

        for (const auto& [from, to] : config_.redirects) {
            if (request.path == from) {
                response.set_redirect(to, 302);
                return;
            }
        }
        if (request.path == "/redirect") {
            const std::string target = request.get_param_value("to");
            if (IsLocalTarget(target))
                response.set_redirect(target, 302);
            else
                response.status = 400;
            return;
        }
        ServeFile(request, response);
    }

private:
    void ServeFile(const httplib::Request& request, httplib::Response& response) const {
        FaultedPath faulted = SplitFaultPrefixes(request.path, config_.testSwitches);
        FaultSwitches& faults = faulted.faults;
        if (const auto rate = ParseCount(request.get_param_value("rate")); rate && *rate > 0)
            faults.bytesPerSecond = *rate;
        faults.dropAfter = ParseCount(request.get_param_value("after"));
        if (const auto times = ParseCount(request.get_param_value("times")))
            faults.flakyCuts = *times;

        if (faults.noSignatures && faulted.path.ends_with(".sig")) {
            response.status = 503;
            return;
        }
        const RootedPath target = ResolveUnderRoot(config_.root, faulted.path);
        // Outside the root is answered like nothing there, so nothing can be learnt about outside.
        if (target.kind != RootedPath::Kind::File) {
            response.status = 404;
            return;
        }

        std::error_code error;
        const std::uint64_t size = std::filesystem::file_size(target.file, error);
        if (error) {
            response.status = 404;
            return;
        }
        const ByteRange range =
            faults.noRange ? ByteRange{} : ResolveByteRange(request.get_header_value("Range"), size);
        if (range.kind == ByteRange::Kind::Unsatisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        if (!faults.noRange)
            response.set_header("Accept-Ranges", "bytes");
        if (const std::string modified = LastModified(target.file); !modified.empty())
            response.set_header("Last-Modified", modified);

        FileBodyPlan plan{target.file, 0, std::nullopt, std::nullopt, nullptr};
        std::uint64_t length = size;
        if (range.kind == ByteRange::Kind::Part) {
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                     std::to_string(range.last) + "/" + std::to_string(size));
            plan.offset = range.first;
            length = range.Length();
        } else {
            response.status = 200;
        }
        if (faults.slow)
            plan.bytesPerSecond =
                std::max(faults.bytesPerSecond, (length + kSlowestSeconds - 1) / kSlowestSeconds);

        const std::string contentType = ContentTypeFor(target.file);
        if (faults.noLength) {
            auto provider = MakeFileBodyProvider(plan);
            response.set_chunked_content_provider(
                contentType, [provider, length](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= length) {
                        sink.done();
                        return true;
                    }
                    return provider(offset, length - offset, sink);
                });
            return;
        }
        if (faults.drop) {
            // Always cut before the end; an empty body is announced as one byte that never comes.
            const std::uint64_t announced = std::max<std::uint64_t>(length, 1);
            plan.cutAfter = std::min(faults.dropAfter.value_or(length / 2), announced - 1);
            response.set_content_provider(announced, contentType, MakeFileBodyProvider(plan));
            return;
        }
        if (faults.flaky && length > 0) {
            plan.cutAfter = std::min(faults.dropAfter.value_or(length / 2), length - 1);
            plan.cutBudget = cutBudgets_->For(faulted.path, faults.flakyCuts);
        }
        if (length == 0) {
            response.set_content("", contentType);
            return;
        }
        response.set_content_provider(length, contentType, MakeFileBodyProvider(plan));
    }

    FileRoutesConfig config_;
    std::shared_ptr<CutBudgets> cutBudgets_ =
        std::make_shared<CutBudgets>(); // shared by the handler's copies
};

} // namespace

void AddFileRoutes(httplib::Server& server, FileRoutesConfig config) {
    server.Get(".*", FileRequestHandler(std::move(config)));
}

} // namespace qm::server
