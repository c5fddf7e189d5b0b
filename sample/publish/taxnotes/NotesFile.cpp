#include "sample/publish/taxnotes/NotesFile.h"

#include "common/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace qm {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QString LoginName() {
    if (const passwd* account = getpwuid(geteuid()); account != nullptr && account->pw_name[0] != '\0')
        return QString::fromLocal8Bit(account->pw_name);
    return QString::number(geteuid());
}

} // namespace

QString NotesFileOf(const QString& folder) {
    return folder + QStringLiteral("Notes/") + LoginName() + QStringLiteral(".json");
}

TNotesRead ReadNotes(const QString& file) {
    TNotesRead read;
    QFile input(file);
    if (!input.exists())
        return read;
    if (!input.open(QIODevice::ReadOnly)) {
        read.problem = input.errorString();
        return read;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(input.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        read.problem =
            error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("不是便签文件");
        return read;
    }
    for (const QJsonValue entry : document.object().value(QStringLiteral("notes")).toArray()) {
        const QJsonObject note = entry.toObject();
        const QDate date = QDate::fromString(note.value(QStringLiteral("date")).toString(), kDateFormat);
        const QString text = note.value(QStringLiteral("text")).toString();
        if (!date.isValid() || text.isEmpty()) {
            read.notes.clear();
            read.problem = QStringLiteral("便签的日期或内容有误");
            return read;
        }
        read.notes.push_back({date, text});
    }
    SortNotes(read.notes);
    return read;
}

QString WriteNotes(const QString& file, const std::vector<TNote>& notes) {
    QJsonArray entries;
    for (const TNote& note : notes)
        entries.append(QJsonObject{{QStringLiteral("date"), note.date.toString(kDateFormat)},
                                   {QStringLiteral("text"), note.text}});
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("notes"), entries}}).toJson(QJsonDocument::Indented);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return QStringLiteral("不能建立文件夹 %1").arg(QFileInfo(file).absolutePath());
    const std::optional<TReplaceFailure> failure =
        ReplaceFileContent(ResolvedTarget(file.toStdString()), std::string_view(bytes.data(), bytes.size()));
    if (!failure)
        return {};
    return QString::fromLocal8Bit(std::strerror(failure->error));
}

void SortNotes(std::vector<TNote>& notes) {
    std::stable_sort(notes.begin(), notes.end(),
                     [](const TNote& a, const TNote& b) { return a.date < b.date; });
}

} // namespace qm
