#pragma once

#include <QMutex>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <optional>

namespace velnor::server {

// Texts that the next file recognitions answer instead of decoding the upload
// (a test control, so the client's tests can choose what is "heard").
class RecognitionScript final {
public:
    void set(const QStringList& texts);
    std::optional<QString> takeNext();
    void clear();

private:
    QMutex m_mutex;
    QQueue<QString> m_texts;
};

} // namespace velnor::server
