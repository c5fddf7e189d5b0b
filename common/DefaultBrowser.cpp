#include "common/DefaultBrowser.h"

#include "common/TextTrim.h"
#include "corvane/BrowserSlot.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace qm {

namespace {

const char* const kDefaultBrowser = "xdg-open";

std::string EnvText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : std::string();
}

bool IsAbsolute(const std::string& dir) {
    return !dir.empty() && dir.front() == '/';
}

// A desktop entry's "string" escapes: \s \n \t \r \\ .
std::string UnescapeValue(const std::string& value) {
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            result += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's':
            result += ' ';
            break;
        case 'n':
            result += '\n';
            break;
        case 't':
            result += '\t';
            break;
        case 'r':
            result += '\r';
            break;
        case '\\':
            result += '\\';
            break;
        default:
            result += '\\';
            result += next;
            break;
        }
    }
    return result;
}

// The words of an Exec value: blank-separated, double quotes group, backslash escapes inside quotes.
std::vector<std::string> SplitExec(const std::string& exec) {
    const std::string line = UnescapeValue(exec);
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == line.size())
            break;
        std::string word;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] != '"') {
                word += line[i++];
                continue;
            }
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i;
                word += line[i];
            }
            if (i < line.size())
                ++i; // the closing quote
        }
        words.push_back(word);
    }
    return words;
}

bool IsEnvAssignment(const std::string& word) {
    const auto equals = word.find('=');
    return equals != std::string::npos && equals > 0;
}

// Searches folder for the entry id, trying each "-" of the id also as a sub-folder separator.
std::string FindInFolder(const std::filesystem::path& folder, const std::string& id) {
    std::error_code error;
    const std::filesystem::path direct = folder / id;
    if (std::filesystem::is_regular_file(direct, error))
        return direct.string();
    for (auto dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
        const std::filesystem::path sub = folder / id.substr(0, dash);
        if (dash > 0 && std::filesystem::is_directory(sub, error)) {
            std::string found = FindInFolder(sub, id.substr(dash + 1));
            if (!found.empty())
                return found;
        }
    }
    return {};
}

} // namespace

std::vector<std::string> XdgDataDirs() {
    std::vector<std::string> dirs;
    std::string home = EnvText("XDG_DATA_HOME");
    if (!IsAbsolute(home)) {
        const std::string userHome = EnvText("HOME");
        home = IsAbsolute(userHome) ? userHome + "/.local/share" : std::string();
    }
    if (!home.empty())
        dirs.push_back(home);
    std::string system = EnvText("XDG_DATA_DIRS");
    if (system.empty())
        system = "/usr/local/share/:/usr/share/";
    std::size_t start = 0;
    while (start <= system.size()) {
        const auto colon = system.find(':', start);
        const std::string dir =
            system.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (IsAbsolute(dir))
            dirs.push_back(dir);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return dirs;
}

std::string FindDesktopEntry(const std::string& desktopId, const std::vector<std::string>& dataDirs) {
    // An id names a file inside the applications folders, never a path.
    if (desktopId.empty() || desktopId.find('/') != std::string::npos || desktopId.front() == '.')
        return {};
    for (const std::string& dir : dataDirs) {
        std::string found = FindInFolder(std::filesystem::path(dir) / "applications", desktopId);
        if (!found.empty())
            return found;
    }
    return {};
}

std::string DesktopEntryProgram(const std::string& desktopFile) {
    std::ifstream in(desktopFile);
    std::string line;
    bool inMainGroup = false;
    while (std::getline(in, line)) {
        line = TrimmedCopy(line);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string::npos || TrimmedCopy(line.substr(0, equals)) != "Exec")
            continue;
        const std::vector<std::string> words = SplitExec(TrimmedCopy(line.substr(equals + 1)));
        std::size_t first = 0;
        if (!words.empty() && (words[0] == "env" || words[0].ends_with("/env"))) {
            first = 1;
            while (first < words.size() && IsEnvAssignment(words[first]))
                ++first;
        }
        return first < words.size() ? words[first] : std::string();
    }
    return {};
}

std::string BrowserFromDesktopEntry(const std::string& desktopId, const std::vector<std::string>& dataDirs) {
    const std::string file = FindDesktopEntry(desktopId, dataDirs);
    return file.empty() ? std::string() : DesktopEntryProgram(file);
}

namespace {

// xdg-settings is a shell script that can hang on a broken desktop; the look-up waits for it no
// longer than this, once per process.
constexpr int kLookupMilliseconds = 500;

std::string LookUpBrowserPath() {
    QProcess query;
    const QDeadlineTimer deadline(kLookupMilliseconds);
    query.start(QStringLiteral("xdg-settings"),
                {QStringLiteral("get"), QStringLiteral("default-web-browser")}, QIODevice::ReadOnly);
    if (!query.waitForStarted(static_cast<int>(deadline.remainingTime())))
        return kDefaultBrowser;
    if (!query.waitForFinished(static_cast<int>(deadline.remainingTime()))) {
        query.kill();
        query.waitForFinished(1000);
        return kDefaultBrowser;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return kDefaultBrowser;
    const std::string output = query.readAllStandardOutput().toStdString();
    const std::string desktopId = TrimmedCopy(output.substr(0, output.find('\n')));
    const std::string program = BrowserFromDesktopEntry(desktopId, XdgDataDirs());
    return program.empty() ? kDefaultBrowser : program;
}

} // namespace

std::string GetBrowserPath() {
    corvane::TBrowserSlot& slot = corvane::BrowserSlot();
    std::unique_lock lock(slot.mutex);
    if (slot.path)
        return *slot.path;
    // Never wait for xdg-settings while a look-up runs: xdg-open hands the address to the same
    // default browser.
    if (slot.lookingUp)
        return kDefaultBrowser;
    // Nobody looked ahead (a tool, a plug-in loaded by something other than the desk): look up now.
    slot.lookingUp = true;
    lock.unlock();
    std::string path = LookUpBrowserPath();
    lock.lock();
    slot.lookingUp = false;
    slot.path = std::move(path);
    return *slot.path;
}

void StartBrowserPathLookup() {
    corvane::TBrowserSlot& slot = corvane::BrowserSlot();
    std::lock_guard lock(slot.mutex);
    if (slot.path || slot.lookingUp)
        return;
    if (slot.worker.joinable())
        slot.worker.join(); // a finished look-up that a test made the slot forget
    slot.lookingUp = true;
    slot.worker = std::thread([&slot] {
        std::string path = LookUpBrowserPath();
        std::lock_guard done(slot.mutex);
        slot.path = std::move(path);
        slot.lookingUp = false;
    });
}

void ForgetBrowserPathForTesting() {
    corvane::TBrowserSlot& slot = corvane::BrowserSlot();
    if (slot.worker.joinable())
        slot.worker.join();
    std::lock_guard lock(slot.mutex);
    slot.path.reset();
    slot.lookingUp = false;
}

} // namespace qm
