#include "testing/FakeRecordingFiles.h"

#include <QDir>
#include <QFileInfo>

namespace velnor {

QString FakeRecordingFiles::newAudioFileURL()
{
    const QString path = QDir(m_folder).filePath(QStringLiteral("%1.m4a").arg(1700000000 + handedOut.size()));
    handedOut << path;
    return path;
}

std::optional<QString> FakeRecordingFiles::getLatestAudioFile()
{
    for (auto it = handedOut.crbegin(); it != handedOut.crend(); ++it) {
        if (QFileInfo(*it).isFile())
            return *it;
    }
    return std::nullopt;
}

} // namespace velnor
