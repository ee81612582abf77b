#include "audio/FileUtils.h"

#include "core/Clock.h"
#include "log/Logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>

namespace velnor {

FileUtils::FileUtils(QString documentsDir, const Clock& clock, Logger& log, ConsoleSink print,
                     PinnedRecording isPinned)
    : m_documentsDir(std::move(documentsDir))
    , m_clock(clock)
    , m_log(log)
    , m_print(std::move(print))
    , m_isPinned(std::move(isPinned))
{
}

QString FileUtils::fileNameFor(double secondsSince1970)
{
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof(digits), secondsSince1970, std::chars_format::fixed);
    QString text = QString::fromLatin1(digits, int(result.ptr - digits));
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text + QStringLiteral(".m4a");
}

bool FileUtils::isRecordingFileName(const QString& fileName)
{
    // At least nine whole digits (any date after 1973) and up to nine
    // fractional ones, which also covers names made with finer clocks.
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{9,12}\\.[0-9]{1,9}\\.m4a$"));
    return pattern.match(fileName).hasMatch();
}

QString FileUtils::newAudioFileURL()
{
    // Many Linux accounts have no Documents folder until something makes it;
    // without it every recording would fail to open.
    QDir dir(m_documentsDir);
    if (!m_documentsDir.isEmpty() && !dir.exists() && !QDir().mkpath(m_documentsDir))
        report(QStringLiteral("无法创建文件夹: ") + m_documentsDir);
    const double seconds = double(m_clock.now().toMSecsSinceEpoch()) / 1000.0;
    return dir.filePath(fileNameFor(seconds));
}

void FileUtils::report(const QString& line)
{
    if (m_print)
        m_print(line);
    m_log.error(line);
}

std::optional<QList<QFileInfo>> FileUtils::sortedRecordings(QString& error)
{
    const QDir dir(m_documentsDir);
    if (m_documentsDir.isEmpty() || !dir.exists() || !dir.isReadable()) {
        error = QStringLiteral("无法读取文件夹: ") + m_documentsDir;
        return std::nullopt;
    }
    QList<QFileInfo> files;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (isRecordingFileName(entry.fileName()))
            files.append(entry);
    }
    std::stable_sort(files.begin(), files.end(), [this](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime first = a.lastModified();
        const QDateTime second = b.lastModified();
        if (!first.isValid() || !second.isValid()) {
            report(QStringLiteral("排序文件时出错: 无法读取修改时间 ") + (first.isValid() ? b : a).fileName());
            return false;
        }
        return first > second;
    });
    return files;
}

std::optional<QString> FileUtils::getLatestAudioFile()
{
    QString error;
    const auto files = sortedRecordings(error);
    if (!files) {
        report(QStringLiteral("获取录音文件失败: ") + error);
        return std::nullopt;
    }
    if (files->isEmpty())
        return std::nullopt;
    return files->first().absoluteFilePath();
}

void FileUtils::cleanupOldAudioFiles(int keepCount)
{
    QString error;
    const auto files = sortedRecordings(error);
    if (!files) {
        report(QStringLiteral("清理旧录音文件失败: ") + error);
        return;
    }
    const qsizetype keep = std::max(0, keepCount);
    for (qsizetype i = keep; i < files->size(); ++i) {
        if (m_isPinned && m_isPinned(files->at(i).absoluteFilePath()))
            continue;
        QFile file(files->at(i).absoluteFilePath());
        if (!file.remove()) {
            report(QStringLiteral("清理旧录音文件失败: ") + file.errorString());
            return;
        }
        m_log.info(QStringLiteral("删除旧录音文件: ") + files->at(i).fileName());
    }
}

} // namespace velnor
