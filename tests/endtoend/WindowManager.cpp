#include "WindowManager.h"

#include "HostProcess.h"

#include <fstream>
#include <regex>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qmtest {

namespace fs = std::filesystem;

TWindowManager::TWindowManager(const TXServer& server, const fs::path& folder, int top, int left)
    : server_(server) {
    const fs::path config = folder / ("qm-openbox-rc" + server.Display().substr(1) + ".xml");
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n"
                             "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                             "  <margins><top>"
                          << top << "</top><bottom>0</bottom><left>" << left
                          << "</left><right>0</right></margins>\n"
                             "  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>\n"
                             "</openbox_config>\n";
    const std::string display = server.Display();
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start openbox");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        setenv("DISPLAY", display.c_str(), 1);
        execlp("openbox", "openbox", "--sm-disable", "--config-file", config.c_str(), nullptr);
        _exit(127);
    }
    if (!WaitUntil([this] { return !WorkArea().isEmpty(); }, 10s))
        throw std::runtime_error("openbox announced no work area");
}

TWindowManager::~TWindowManager() {
    ::kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

QRect TWindowManager::WorkArea() const {
    // "_NET_WORKAREA(CARDINAL) = 64, 32, 1856, 1048"
    std::smatch found;
    const std::string text = server_.Run("xprop -root _NET_WORKAREA");
    if (!std::regex_search(text, found, std::regex("= (\\d+), (\\d+), (\\d+), (\\d+)")))
        return {};
    return QRect(std::stoi(found[1]), std::stoi(found[2]), std::stoi(found[3]), std::stoi(found[4]));
}

std::vector<std::string> WindowIds(const TXServer& server, pid_t pid) {
    std::istringstream ids(server.Run("xdotool search --onlyvisible --pid " + std::to_string(pid)));
    std::vector<std::string> windows;
    for (std::string id; ids >> id;)
        windows.push_back(id);
    return windows;
}

std::string WindowProperty(const TXServer& server, const std::string& window, const std::string& property) {
    const std::string text = server.Run("xprop -id " + window + " " + property);
    return text.find("not found") != std::string::npos || text.find("no such atom") != std::string::npos
               ? std::string()
               : text;
}

} // namespace qmtest
