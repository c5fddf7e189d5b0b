#pragma once

#include "skellow/RegistrationNumber.h"
#include "skellow/UsageEvent.h"
#include "skellow/XmlFile.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qm::skellow {

// Counts usage events in the statistics files of one folder ("BKLOG/"): per user a "Data" element,
// in it per day an "FOperationDays", in that per function key an "FFunctions" with its count. Files
// are GB2312 XML with CR LF line breaks, replaced whole on every change. A file that has reached
// kRotationBytes is left for shipping and a new one is started under a date-time prefixed name.
// Every file carries an identifier (root attribute "FFileID") under which the logging service
// keeps it, so that a file sent twice is never counted twice.
//
// The file being counted into is kept in memory between Record calls and written by Flush (the
// worker flushes once per turn, before shipping); sizes are those the file would have, so rotation
// happens exactly as if every event had been saved at once.
//
// Used by one thread at a time (the worker); it owns the current file name.
class TUsageRecorder {
public:
    static constexpr std::uintmax_t kRotationBytes = 7300;
    static constexpr const char* kFirstFileName = "Behavior.xml";

    using TRegistrationFactory = std::function<std::unique_ptr<IRegistrationNumber>()>;
    using TLogWriter = std::function<void(std::string_view)>;
    using TClock = std::function<std::time_t()>;

    // directory ends with "/" and is created when missing (here and whenever a file is saved into
    // it). The clock gives the day and the rotation
    // prefix (local time); the log writer takes the problems that do not stop recording.
    TUsageRecorder(
        std::string directory, TRegistrationFactory registration, TLogWriter log,
        TClock clock = [] { return std::time(nullptr); });
    TUsageRecorder(TUsageRecorder&&) = default;
    // Flushes; a failure is logged.
    ~TUsageRecorder();

    // Records a normalised event for the user event.logName ("0" when empty). A current file that
    // cannot be read is set aside under its name + ".bad" (and logged) and a new one is started.
    // Raises corvane::ETax when a file cannot be written.
    void Record(const TUsageEvent& event);

    // Writes the file counted into since the last flush, if any, creating the folder again when it
    // is missing. Raises corvane::ETax when it cannot be written; its counts then stay pending and
    // the next Record or Flush tries again.
    void Flush();

    const std::string& CurrentFileName() const noexcept { return currentFileName_; }
    const std::string& Directory() const noexcept { return directory_; }

private:
    // A rotated file's successor: "YYYYMMDDHHMMSS_Behavior.xml", with "_2", "_3", ... after the time
    // when a file of that name exists, so that names never grow and never meet.
    std::string RotatedName(std::time_t now) const;

    struct TPending {
        std::string path;
        TXmlDoc doc;
        std::string bytes; // the file's content as it will be written
    };

    std::string directory_;
    TRegistrationFactory registration_;
    TLogWriter log_;
    TClock clock_;
    std::string currentFileName_ = kFirstFileName;
    std::unique_ptr<TPending> pending_;
};

// A new random file identifier (32 hexadecimal digits).
std::string NewFileIdentifier();

// Moves a statistics file that cannot be read out of the way (name + ".bad"), so that it is kept
// for inspection but neither recorded into nor shipped again.
void SetAsideBrokenFile(const std::string& fileName);

} // namespace qm::skellow
