#pragma once

#include "HostProcess.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qmtest {

// The product type written into every test installation; usage keys carry it as "037".
constexpr int kTestAppType = 37;

// A title no other test, and no other run of these tests, uses: the single-instance lock is keyed
// by the title, and tests run side by side.
std::string UniqueTitle(const std::string& what);

// A Lua statement that makes the recorder plug-in append the line to the evidence file.
std::string RecordStatement(const std::string& line);

// A fresh installation folder in a temporary folder of its own: copies of the host program and of
// the runtime library, the image store that the desk's frame draws from, the recorder plug-in as
// "Skellow.so" and as "Recorder.so", and Config/SysConfig.Xml with the given title. Everything is
// removed when the object goes.
class TTestInstallation {
public:
    explicit TTestInstallation(const std::string& appTitle);
    ~TTestInstallation();
    TTestInstallation(const TTestInstallation&) = delete;
    TTestInstallation& operator=(const TTestInstallation&) = delete;

    // The installation folder.
    const std::filesystem::path& Dir() const noexcept { return dir_; }

    // Writes a file under the installation folder, creating its folders.
    void WriteFile(const std::string& relative, const std::string& text) const;
    // Config/boot.xml with one child element per file, in this order.
    void WriteBootXml(const std::vector<std::string>& files) const;

    // The lines the recorder plug-in appended, in order.
    std::vector<std::string> Evidence() const;
    // The files in Log/, by name.
    std::vector<std::filesystem::path> LogFiles() const;

    // Starts the installation's host program; name tags the run's output and dialog files.
    std::unique_ptr<THostProcess> Start(const std::string& name) const;

private:
    std::filesystem::path root_; // holds the installation and the runs' output files
    std::filesystem::path dir_;
};

} // namespace qmtest
