#pragma once

#include <QString>

#include <optional>

namespace velnor {

// The app's own recordings in the Documents folder. Only files whose names
// this app made are ever listed, pruned or returned.
class RecordingFiles {
public:
    RecordingFiles() = default;
    virtual ~RecordingFiles() = default;
    RecordingFiles(const RecordingFiles&) = delete;
    RecordingFiles& operator=(const RecordingFiles&) = delete;

    // Keeps the newest `keepCount` recordings, deletes older ones.
    virtual void cleanupOldAudioFiles(int keepCount) = 0;
    // A new location for the next recording (the file is not created).
    virtual QString newAudioFileURL() = 0;
    // The newest recording, if any.
    virtual std::optional<QString> getLatestAudioFile() = 0;
};

} // namespace velnor
