#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace velnor {

// The history's SQLite file, used from one thread only (the store's queue).
// The file is created readable by the user alone (0600) and kept in WAL mode,
// so a crash mid-write never corrupts what was already stored.
class HistoryDatabase final {
public:
    explicit HistoryDatabase(QString path);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // Creates the folder, the file and the schema; the error text on failure.
    std::optional<QString> open();
    bool isOpen() const { return m_open; }
    const QString& lastError() const { return m_lastError; }

    bool upsert(const HistoryEntry& entry);
    std::optional<HistoryEntry> find(const QString& id);
    // Newest first; `search` matches the texts and the application name.
    QList<HistoryEntry> list(const QString& search, int limit);
    bool remove(const QString& id);
    bool removeAll();
    // Entries a crash left unfinished become failed with `errorText`; their ids.
    QStringList failUnfinished(const QString& errorText);
    // Entries started before `cutoff`, oldest first.
    QList<HistoryEntry> startedBefore(const QDateTime& cutoff);
    // Whether any entry refers to the recording.
    bool refersTo(const QString& recordingPath);
    // The recordings of all entries.
    QStringList recordings();
    // Recordings of entries not delivered yet: the only copy of that speech.
    QStringList undeliveredRecordings();

private:
    bool exec(const QString& sql);
    // The first column of each row `sql` selects with `value` bound.
    QStringList column(const QString& what, const QString& sql, const QVariant& value = {});
    bool addMissingColumn(const QString& name, const QString& type);
    void fail(const QString& what, const QString& error);

    const QString m_path;
    const QString m_connectionName;
    bool m_open = false;
    QString m_lastError;
};

} // namespace velnor
