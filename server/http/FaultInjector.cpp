#include "http/FaultInjector.h"

#include <QJsonValue>

namespace velnor::server {

namespace {

bool readInt(const QJsonObject& json, const char* key, int low, int high, int* out, QString* error)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    const double number = value.toDouble(-1e18);
    if (!value.isDouble() || number != static_cast<double>(static_cast<qint64>(number)) || number < low || number > high) {
        if (error)
            *error = QStringLiteral("\"%1\" must be an integer from %2 to %3").arg(QLatin1String(key)).arg(low).arg(high);
        return false;
    }
    *out = static_cast<int>(number);
    return true;
}

} // namespace

std::optional<Fault> Fault::fromJson(const QJsonObject& json, QString* path, QString* error)
{
    *path = json.value(QStringLiteral("path")).toString();
    if (!path->startsWith(QLatin1Char('/'))) {
        if (error)
            *error = QStringLiteral("\"path\" must be an endpoint path such as /qasr/adjust");
        return std::nullopt;
    }
    Fault fault;
    if (!readInt(json, "delay_ms", 0, 600000, &fault.delayMs, error)
        || !readInt(json, "count", 1, 1000000, &fault.count, error)
        || !readInt(json, "envelope_code", -1000000, 1000000, &fault.envelopeCode, error))
        return std::nullopt;
    if (!readInt(json, "http_status", 0, 599, &fault.httpStatus, error))
        return std::nullopt;
    if (fault.httpStatus != 0 && fault.httpStatus < 100) {
        if (error)
            *error = QStringLiteral("\"http_status\" must be 0 or an HTTP status from 100 to 599");
        return std::nullopt;
    }
    fault.malformedBody = json.value(QStringLiteral("malformed_body")).toBool(false);
    fault.dropConnection = json.value(QStringLiteral("drop_connection")).toBool(false);
    return fault;
}

void FaultInjector::arm(const QString& path, const Fault& fault)
{
    QMutexLocker lock(&m_mutex);
    m_faults.insert(path, fault);
}

void FaultInjector::clear()
{
    QMutexLocker lock(&m_mutex);
    m_faults.clear();
}

bool FaultInjector::drops(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_faults.find(path);
    if (found == m_faults.end() || !found->dropConnection)
        return false;
    m_dropDelayMs = found->delayMs;
    if (--found->count <= 0)
        m_faults.erase(found);
    return true;
}

int FaultInjector::dropDelayMs()
{
    QMutexLocker lock(&m_mutex);
    return m_dropDelayMs;
}

std::optional<Fault> FaultInjector::take(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_faults.find(path);
    if (found == m_faults.end())
        return std::nullopt;
    const Fault fault = *found;
    if (--found->count <= 0)
        m_faults.erase(found);
    return fault;
}

} // namespace velnor::server
