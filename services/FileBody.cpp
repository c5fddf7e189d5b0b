#include "services/FileBody.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qm::server {

namespace {

// Large blocks: each one costs the library two readiness polls and us a seek besides the copies.
constexpr std::uint64_t kBlockSize = 256 * 1024;

// Paced bodies go out in steps of a tenth of a second, so that a stopping server never waits
// long for a slow transfer to notice.
constexpr std::uint64_t kPacedStepsPerSecond = 10;

struct OpenFile {
    std::ifstream stream;
    std::vector<char> buffer;
};

} // namespace

httplib::ContentProvider MakeFileBodyProvider(const FileBodyPlan& plan) {
    auto body = std::make_shared<OpenFile>();
    body->stream.open(plan.file, std::ios::binary);
    if (!body->stream)
        throw std::runtime_error("cannot open " + plan.file.string());

    return [body, plan](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        std::uint64_t count = std::min<std::uint64_t>(length, kBlockSize);
        if (plan.cutAfter && offset < *plan.cutAfter)
            count = std::min<std::uint64_t>(count, *plan.cutAfter - offset);
        else if (plan.cutAfter && offset == *plan.cutAfter && (!plan.cutBudget || plan.cutBudget->Take()))
            return false; // the library closes the connection when a provider fails
        // Past the cut point only when the budget allowed no cut: the body goes on whole.
        if (plan.bytesPerSecond) {
            const std::uint64_t rate = *plan.bytesPerSecond;
            count = std::min<std::uint64_t>(count, std::max<std::uint64_t>(1, rate / kPacedStepsPerSecond));
            std::this_thread::sleep_for(std::chrono::microseconds(count * 1'000'000 / rate));
        }
        body->buffer.resize(count);
        body->stream.seekg(static_cast<std::streamoff>(plan.offset + offset));
        body->stream.read(body->buffer.data(), static_cast<std::streamsize>(count));
        if (static_cast<std::uint64_t>(body->stream.gcount()) != count)
            return false; // the file shrank under us
        return sink.write(body->buffer.data(), count);
    };
}

} // namespace qm::server
