#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

namespace qm::test {

// The OpenGL drivers and integrations a process has mapped, read from its /proc/PID/maps ("self"
// for this process): Qt's OpenGL integration plug-ins, the vendor libraries behind the dispatch
// libraries, Mesa's drivers and the compiler they bring. The dispatch libraries themselves
// (libGLX.so.0, libEGL.so.1, libOpenGL.so.0, libGLdispatch.so.0) are not counted: Qt Gui links
// them, and they load no driver until somebody makes a context.
inline std::set<std::string> OpenGlLibrariesMapped(const std::string& pid = "self") {
    static constexpr std::string_view kMarks[] = {"/xcbglintegrations/",
                                                  "/wayland-graphics-integration-client/",
                                                  "/egldeviceintegrations/",
                                                  "libGLX_",
                                                  "libEGL_",
                                                  "/dri/",
                                                  "libLLVM",
                                                  "libgbm",
                                                  "libvulkan",
                                                  "libGL.so"};
    std::ifstream maps("/proc/" + pid + "/maps");
    std::set<std::string> found;
    for (std::string line; std::getline(maps, line);) {
        const std::size_t path = line.find('/');
        if (path == std::string::npos)
            continue;
        const std::string file = line.substr(path);
        if (std::any_of(std::begin(kMarks), std::end(kMarks),
                        [&](std::string_view mark) { return file.find(mark) != std::string::npos; }))
            found.insert(file);
    }
    return found;
}

// The libraries as one line, for messages.
inline std::string JoinedLibraries(const std::set<std::string>& libraries) {
    std::ostringstream text;
    for (const std::string& library : libraries)
        text << (text.tellp() > 0 ? " " : "") << library;
    return text.str();
}

} // namespace qm::test
