#pragma once

#include "audio/RecordingFiles.h"

#include <QStringList>

namespace velnor {

// Recording locations numbered in a folder of the test's choosing; the
// latest file is, as on disk, the newest recording that was really written.
class FakeRecordingFiles final : public RecordingFiles {
public:
    explicit FakeRecordingFiles(QString folder)
        : m_folder(std::move(folder))
    {
    }

    void cleanupOldAudioFiles(int keepCount) override { cleanupCalls << keepCount; }
    QString newAudioFileURL() override;
    std::optional<QString> getLatestAudioFile() override;

    QList<int> cleanupCalls;
    QStringList handedOut;

private:
    QString m_folder;
};

} // namespace velnor
