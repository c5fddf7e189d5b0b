#include "tools/sign/PublishCommand.h"

#include "common/FileBytes.h"
#include "common/UpdateComponent.h"
#include "tools/sign/SignCommands.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace qm::sign {

namespace {

constexpr int kDefaultDays = 30;
constexpr long kSecondsADay = 24L * 60 * 60;

struct TRelease {
    std::string secretKeyFile, package, url, version, component;
    std::string descriptor = {}, notes = {}, params = {}, floorInstallation = {};
    std::string serial = {};
    int days = kDefaultDays;
    bool force = false;
    std::string silentPackage = {}, silentVersion = {};
};

std::string UtcStamp(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[16] = {};
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

bool IsSerial(const std::string& text) {
    return !text.empty() && text.size() <= 40 && text.find_first_not_of("0123456789") == std::string::npos;
}

// Below 0, 0, above 0 as serial a is older than, equal to, newer than b.
int CompareSerials(std::string a, std::string b) {
    a.erase(0, std::min(a.find_first_not_of('0'), a.size() - 1));
    b.erase(0, std::min(b.find_first_not_of('0'), b.size() - 1));
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// The release the arguments describe; nullopt (and said why) when they do not describe one.
std::optional<TRelease> ParseRelease(const std::vector<std::string>& args, std::ostream& err) {
    if (args.size() < 5) {
        err << "qm-sign publish: SECRET_KEY_FILE PACKAGE PACKAGE_URL VERSION COMPONENT [options]\n";
        return std::nullopt;
    }
    TRelease release{args[0], args[1], args[2], args[3], ComponentName(args[4])};
    for (std::size_t i = 5; i < args.size(); ++i) {
        const std::string& option = args[i];
        const std::size_t left = args.size() - i - 1;
        if (option == "--force") {
            release.force = true;
        } else if (option == "--silent" && left >= 2) {
            release.silentPackage = args[++i];
            release.silentVersion = args[++i];
        } else if (left >= 1 && (option == "--serial" || option == "--days" || option == "--notes" ||
                                 option == "--params" || option == "--descriptor" || option == "--floor")) {
            const std::string& value = args[++i];
            if (option == "--serial")
                release.serial = value;
            else if (option == "--notes")
                release.notes = value;
            else if (option == "--params")
                release.params = value;
            else if (option == "--descriptor")
                release.descriptor = value;
            else if (option == "--floor")
                release.floorInstallation = value;
            else if (const auto [end, error] =
                         std::from_chars(value.data(), value.data() + value.size(), release.days);
                     error != std::errc() || end != value.data() + value.size() || release.days < 1) {
                err << "qm-sign publish: --days takes a whole number of days above 0\n";
                return std::nullopt;
            }
        } else {
            err << "qm-sign publish: unknown or incomplete option " << option << "\n";
            return std::nullopt;
        }
    }
    if (release.component.empty() || release.version.empty() || release.url.empty()) {
        err << "qm-sign publish: the version, the address and the component must not be blank\n";
        return std::nullopt;
    }
    if (release.serial.empty())
        release.serial = UtcStamp(std::time(nullptr));
    if (!IsSerial(release.serial)) {
        err << "qm-sign publish: the serial must be a decimal number of at most 40 digits\n";
        return std::nullopt;
    }
    if (release.descriptor.empty())
        release.descriptor = (std::filesystem::path(release.package).parent_path() / "upgrade.zip").string();
    return release;
}

// Signs package and answers its "sha256=..." and "length=..." lines; nullopt when it cannot.
std::optional<std::string> SignedPackageLines(const std::string& secretKeyFile, const std::string& package,
                                              std::ostream& err) {
    std::ostringstream lines;
    if (Sign(secretKeyFile, package, lines, err) != 0)
        return std::nullopt;
    std::string text = lines.str();
    std::string crlf;
    for (const char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// The release notes with CR LF line breaks; "" without notes.
std::optional<std::string> NotesText(const std::string& file, std::ostream& err) {
    if (file.empty())
        return std::string();
    const TResult<std::string> notes = ReadFileBytes(file);
    if (!notes) {
        err << "qm-sign publish: cannot read the notes " << file << "\n";
        return std::nullopt;
    }
    std::string text = "\r\n";
    for (std::size_t i = 0; i < notes->size(); ++i) {
        const char c = (*notes)[i];
        if (c == '\n' && (i == 0 || (*notes)[i - 1] != '\r'))
            text += '\r';
        text += c;
    }
    return text;
}

bool WriteText(const std::string& file, const std::string& text, std::ostream& err) {
    const std::string temporary = file + ".new";
    std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
    output << text;
    output.close();
    if (!output || std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        err << "qm-sign: cannot write " << file << "\n";
        return false;
    }
    return true;
}

// The key an INI file of the installation keeps a component under.
std::string EscapedKey(const std::string& component) {
    std::string key;
    for (const char c : component) {
        if (c == '%')
            key += "%25";
        else if (c == '=')
            key += "%3D";
        else if (c == '\r')
            key += "%0D";
        else if (c == '\n')
            key += "%0A";
        else
            key += c;
    }
    return key;
}

} // namespace

int Publish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TRelease> release = ParseRelease(args, err);
    if (!release)
        return 2;
    const std::optional<std::string> main = SignedPackageLines(release->secretKeyFile, release->package, err);
    const std::optional<std::string> notes = NotesText(release->notes, err);
    if (!main || !notes)
        return 1;
    const std::string expires = UtcStamp(std::time(nullptr) + release->days * kSecondsADay);
    std::string text = "[upgrade]\r\nver=" + release->version + "\r\nissued=" + release->serial +
                       "\r\ncomponent=" + release->component + "\r\nexpires=" + expires +
                       "\r\nforce=" + (release->force ? "1" : "0") + "\r\nparams=" + release->params +
                       "\r\nurl=" + release->url + "\r\n" + *main;
    if (!release->silentPackage.empty()) {
        const std::optional<std::string> silent =
            SignedPackageLines(release->secretKeyFile, release->silentPackage, err);
        if (!silent)
            return 1;
        text += "[silent]\r\nver=" + release->silentVersion + "\r\n" + *silent;
    }
    text += *notes;
    if (!WriteText(release->descriptor, text, err))
        return 1;
    std::ostringstream quiet;
    if (SignDescriptor(release->secretKeyFile, release->descriptor, quiet, err) != 0)
        return 1;
    if (!release->floorInstallation.empty() &&
        Floor(release->floorInstallation, release->component, release->serial, quiet, err) != 0)
        return 1;
    out << "published " << release->descriptor << " for " << release->component
        << ": issued=" << release->serial << " expires=" << expires << " (UTC)\n";
    return 0;
}

int Floor(const std::string& installation, const std::string& component, const std::string& serial,
          std::ostream& out, std::ostream& err) {
    if (!IsSerial(serial) || ComponentName(component).empty()) {
        err << "qm-sign floor: INSTALLATION COMPONENT SERIAL (a decimal number)\n";
        return 2;
    }
    const std::filesystem::path config = std::filesystem::path(installation) / "Config";
    const std::string file = (config / "UpgradeIssued.ini").string();
    const std::string key = EscapedKey(ComponentName(component));
    std::error_code error;
    std::filesystem::create_directories(config, error);
    const TResult<std::string> old =
        std::filesystem::exists(file) ? ReadFileBytes(file) : TResult<std::string>(std::string());
    if (!old) {
        err << "qm-sign floor: cannot read " << file << "\n";
        return 1;
    }
    std::istringstream lines(*old);
    std::string text, line, section;
    bool written = false;
    const auto writeHere = [&] {
        text += key + "=" + serial + "\r\n";
        written = true;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('[')) {
            if (section == "[issued]" && !written)
                writeHere();
            section = line;
        } else if (section == "[issued]" && line.starts_with(key + "=")) {
            const std::string kept = line.substr(key.size() + 1);
            if (IsSerial(kept) && CompareSerials(kept, serial) > 0) {
                out << "kept the newer floor " << kept << " of " << ComponentName(component) << "\n";
                return 0;
            }
            continue; // replaced below
        }
        text += line + "\r\n";
    }
    if (section == "[issued]" && !written)
        writeHere();
    if (!written) {
        text += "[issued]\r\n";
        writeHere();
    }
    if (!WriteText(file, text, err))
        return 1;
    out << "floor of " << ComponentName(component) << " in " << file << ": " << serial << "\n";
    return 0;
}

} // namespace qm::sign
