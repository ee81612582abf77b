#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace velnor {

struct TencentASRWord {
    QString word;
    qint64 startTime = 0;
    qint64 endTime = 0;
    qint64 stableFlag = 0;

    // Strict: a missing key or a value of the wrong type fails (reason in *error).
    static std::optional<TencentASRWord> decode(const QJsonObject& json, QString* error);
    QJsonObject toJson() const;
    bool operator==(const TencentASRWord&) const = default;
};

// The current text of one segment (sentence) of the stream.
struct TencentASRResult {
    qint64 sliceType = 0;
    qint64 index = 0;
    qint64 startTime = 0;
    qint64 endTime = 0;
    QString voiceTextStr;
    qint64 wordSize = 0;
    std::optional<QList<TencentASRWord>> wordList;

    static std::optional<TencentASRResult> decode(const QJsonObject& json, QString* error);
    QJsonObject toJson() const;
    bool operator==(const TencentASRResult&) const = default;
};

// One message of the recognition server.
struct TencentASRResponse {
    qint64 code = 0;
    std::optional<QString> message;
    std::optional<QString> voiceId;
    std::optional<QString> messageId;
    std::optional<TencentASRResult> result;
    std::optional<qint64> final;

    static std::optional<TencentASRResponse> decode(const QJsonObject& json, QString* error);
    // Decodes message bytes; a text that is not a JSON object fails too.
    static std::optional<TencentASRResponse> decode(const QByteArray& utf8, QString* error);
    QJsonObject toJson() const;
    bool operator==(const TencentASRResponse&) const = default;
};

// Log names of slice types: "开始识别", "识别中", "识别结束", "未知".
QString sliceTypeName(qint64 sliceType);

} // namespace velnor
