#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velnor {

// Arguments of a file recognition ("/qasr/recognize").
struct RecognizeAudioFileParams {
    QString fileType;
    std::optional<QString> appID;
    std::optional<QString> appName;
    std::optional<QString> osType;
    std::optional<QString> outLanguage;
    std::optional<QString> userId;        // accepted, not sent
    std::optional<QString> qasrVoiceType; // accepted, not sent
    std::optional<bool> overOver;
    QByteArray audioData;
};

// The envelope's "data" of a file recognition.
struct RecognizeAudioFileResponse {
    std::optional<QString> text;
    std::optional<QString> message;
    std::optional<QString> id;
    std::optional<bool> overOver; // JSON "over_over"
};

// The record update ("/qasr/recognize/update").
struct RecognizeRecordUpdateReq {
    QString id;
    std::optional<QString> appID;
    std::optional<QString> appName;
    std::optional<QString> textInputMethod;
    std::optional<QString> osType;
};

// Arguments of a text correction ("/qasr/adjust").
struct AdjustTextParams {
    QString text;
    std::optional<QString> appID;
    std::optional<QString> appName;
    std::optional<QString> osType;
    std::optional<QString> outLanguage;
};

struct AdjustTextResponse {
    std::optional<QString> id;
    std::optional<QString> text;
    std::optional<QString> message;
};

} // namespace velnor
