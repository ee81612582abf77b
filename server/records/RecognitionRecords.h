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

struct RecordLimits {
    qsizetype maxTextLength = 2000;   // UTF-16 code units per stored text
    int maxRecordsPerUser = 10000;
};

// Stored dictations, bounded: each text is cut to a maximum length, a user
// keeps a maximum number of records (the oldest go first), and prune() drops
// records past the retention time.
class RecognitionRecords final {
public:
    enum class Status { Ok, NotFound, StorageError };

    RecognitionRecords(Database& database, const Clock& clock, RecordLimits limits = RecordLimits());

    // Stores the record under a new id and adds `words` to its user's total, in one
    // transaction. Returns the id; none on a storage failure.
    std::optional<QString> add(RecognitionRecord record, qint64 words);
    // Deletes records older than `maxAgeMs`; the number deleted, none on a storage failure.
    std::optional<int> prune(qint64 maxAgeMs);
    // Only the record's own user (or anyone, for a signed-out record) may update it.
    Status update(const QString& id, std::optional<qint64> callerId, const RecordUpdate& update);
    std::optional<RecognitionRecord> find(const QString& id);

private:
    QString storedText(const QString& text) const;

    Database& m_database;
    const Clock& m_clock;
    RecordLimits m_limits;
};

} // namespace velnor::server
