#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace velnor::server {

class Database;

struct HotWord {
    QString text;
    int weight = 0;
};

// Each user's hot words, in the order they were added. Adding a text that is
// already there changes its weight (it does not count twice against the limit).
class HotWordStore final {
public:
    static constexpr int kMaxWords = 50;
    static constexpr int kMaxTextLength = 10;   // user-perceived characters
    static constexpr int kMaxCodePoints = 64;   // however many marks or joiners they carry
    static constexpr int kMinWeight = 1;
    static constexpr int kMaxWeight = 11;

    enum class Status { Ok, InvalidText, InvalidWeight, LimitReached, NotFound, StorageError };

    explicit HotWordStore(Database& database);

    std::optional<QList<HotWord>> list(qint64 userId);
    Status add(qint64 userId, const QString& text, int weight);
    Status remove(qint64 userId, const QString& text);

    // Surrounding white space is not part of a hot word.
    static QString normalizedText(const QString& text);
    static Status validate(const QString& normalizedText, int weight);

private:
    Database& m_database;
};

} // namespace velnor::server
