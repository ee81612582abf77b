#pragma once

#include "core/Clock.h"

#include <QString>

#include <optional>

namespace velnor::server {

class Database;

// One dictation as the server saw it: a file recognition or a text correction.
struct RecognitionRecord {
    QString id;
    QString kind;                 // "recognize" or "adjust"
    std::optional<qint64> userId; // none for a signed-out client
    QString rawText;              // before corrections
    QString text;                 // as answered
    QString appId;
    QString appName;
    QString osType;
    QString outLanguage;
    bool overOver = false;
    qint64 audioMs = 0;
    QString textInputMethod;      // set later by the client's record update
};

// How the client finally delivered a record's text; absent fields stay as they were.
struct RecordUpdate {
    std::optional<QString> textInputMethod;
    std::optional<QString> appId;
    std::optional<QString> appName;
    std::optional<QString> osType;
};

class RecognitionRecords final {
public:
    enum class Status { Ok, NotFound, StorageError };

    RecognitionRecords(Database& database, const Clock& clock);

    // Stores the record under a new id and adds `words` to its user's total, in one
    // transaction. Returns the id; none on a storage failure.
    std::optional<QString> add(RecognitionRecord record, qint64 words);
    // Only the record's own user (or anyone, for a signed-out record) may update it.
    Status update(const QString& id, std::optional<qint64> callerId, const RecordUpdate& update);
    std::optional<RecognitionRecord> find(const QString& id);

private:
    Database& m_database;
    const Clock& m_clock;
};

} // namespace velnor::server
