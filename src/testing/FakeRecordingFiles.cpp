#include "testing/FakeRecordingFiles.h"

#include <QDir>

namespace velnor {

QString FakeRecordingFiles::newAudioFileURL()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("%1.m4a").arg(1700000000 + handedOut.size()));
    handedOut << path;
    return path;
}

std::optional<QString> FakeRecordingFiles::getLatestAudioFile()
{
    if (handedOut.isEmpty())
        return std::nullopt;
    return handedOut.last();
}

} // namespace velnor
