#pragma once

#include "backend/QASRTypes.h"
#include "dictation/DictationObserver.h"

namespace velnor {

// The recognition request for a recording: the same for a dictation's upload
// and for a retry of it from the history.
inline RecognizeAudioFileParams recordingUpload(const UploadSettings& settings, const QString& osType, QByteArray audio)
{
    RecognizeAudioFileParams params;
    params.fileType = QStringLiteral("m4a");
    params.appID = settings.appID;
    params.appName = settings.appName;
    params.osType = osType;
    params.outLanguage = settings.outLanguage;
    params.overOver = settings.overOver;
    params.audioData = std::move(audio);
    return params;
}

} // namespace velnor
