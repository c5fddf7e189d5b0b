#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

// Sets an environment variable for the life of the guard and then puts back what was there.
class TEnvGuard {
public:
    TEnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~TEnvGuard() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

inline void WriteTextFile(const QString& fileName, const std::string& text) {
    std::ofstream(fileName.toStdString(), std::ios::trunc) << text;
}

inline void WriteScript(const QString& fileName, const std::string& body) {
    WriteTextFile(fileName, "#!/bin/sh\n" + body);
    QFile::setPermissions(fileName, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A program that writes each of its arguments on a line of outFile (whole file at once).
inline void WriteArgumentRecorder(const QString& fileName, const QString& outFile) {
    const std::string out = outFile.toStdString();
    WriteScript(fileName, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + ".part'\n/bin/mv '" +
                              out + ".part' '" + out + "'\n");
}

// The lines of a file some started program writes, once it is there (empty list after timeout).
inline QStringList WaitForLines(const QString& fileName,
                                std::chrono::seconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) {
            QString text = QString::fromUtf8(file.readAll());
            if (text.endsWith(QLatin1Char('\n')))
                text.chop(1);
            return text.split(QLatin1Char('\n'));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}
