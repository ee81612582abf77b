#pragma once

#include "audio/RecordingFiles.h"
#include "log/ConsoleSink.h"

#include <QFileInfo>
#include <QList>

#include <functional>

namespace velnor {

class Clock;
class Logger;

// Names, finds and prunes this app's recordings in the Documents folder.
//
// A recording is a file whose whole name is one this class makes: the
// seconds since 1970 as a decimal with a fraction, then ".m4a" (exactly
// lower case). Any other file of the folder — a user's own "song.m4a" or
// "X.M4A" — is never listed, returned or deleted.
class FileUtils final : public RecordingFiles {
public:
    // A recording for which `isPinned(absolutePath)` holds is never pruned: it
    // is the only copy of a dictation that was not delivered yet.
    using PinnedRecording = std::function<bool(const QString& absolutePath)>;

    FileUtils(QString documentsDir, const Clock& clock, Logger& log, ConsoleSink print,
              PinnedRecording isPinned = {});

    void cleanupOldAudioFiles(int keepCount) override;
    QString newAudioFileURL() override;
    std::optional<QString> getLatestAudioFile() override;

    // "1765012345.678.m4a" for that many seconds since 1970: the shortest
    // decimal that reads back as the same double, always with a fraction.
    static QString fileNameFor(double secondsSince1970);
    static bool isRecordingFileName(const QString& fileName);

private:
    // The recordings newest first, or none when the folder cannot be read
    // (the error text in `error`).
    std::optional<QList<QFileInfo>> sortedRecordings(QString& error);
    void report(const QString& line);

    const QString m_documentsDir;
    const Clock& m_clock;
    Logger& m_log;
    const ConsoleSink m_print;
    const PinnedRecording m_isPinned;
};

} // namespace velnor
