#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qm::bench {

// This process's environment without the variables that start with one of `dropped`, followed by
// `added` ("NAME=value" each).
std::vector<std::string> EnvironmentWithout(const std::vector<std::string_view>& dropped,
                                            const std::vector<std::string>& added);

// What a program wrote on its standard error until `reached` said so, and what that cost.
struct TProgramRun {
    double seconds = 0;    // from the start until `reached` answered true
    double cpuSeconds = 0; // user + system, all threads, until it was killed
    long minorFaults = 0;
    std::string errorText;
    // Read just before it was killed, only when it lingered: VmRSS and VmHWM of /proc/PID/status,
    // and the OpenGL drivers and integrations it had mapped.
    long residentKb = 0;
    long peakResidentKb = 0;
    std::set<std::string> openGlLibraries;
};

// Starts `program` (from "/", standard output discarded) with `environment` and reads its standard
// error until `reached(text so far)` is true; the program is killed `linger` after that (its
// memory read first when `linger` is not zero). Nothing
// when it could not start or `reached` was never true within `timeout`; what it wrote is then
// printed on this process's standard error.
std::optional<TProgramRun> RunUntil(const std::filesystem::path& program,
                                    std::vector<std::string> environment,
                                    const std::function<bool(const std::string&)>& reached,
                                    std::chrono::milliseconds timeout,
                                    std::chrono::milliseconds linger = std::chrono::milliseconds(0));

// The middle value (the mean of the two middle ones for an even count); values must not be empty.
double Median(std::vector<double> values);

} // namespace qm::bench
