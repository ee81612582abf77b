#pragma once

#include "platform/SystemLog.h"

#include <QList>

#include <mutex>
#include <utility>

namespace velnor {

class FakeSystemLog final : public SystemLog {
public:
    bool isAvailable() const override { return true; }
    void write(Type type, const QString& message) override;

    QList<std::pair<Type, QString>> entries() const;

private:
    mutable std::mutex m_mutex;
    QList<std::pair<Type, QString>> m_entries;
};

} // namespace velnor
