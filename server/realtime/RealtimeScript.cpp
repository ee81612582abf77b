#include "realtime/RealtimeScript.h"

#include <QJsonArray>

namespace velnor::server {

namespace {

bool readInt(const QJsonObject& json, const char* key, int* out, QString* error)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble() || value.toDouble() < 0) {
        *error = QStringLiteral("\"%1\" must be a non-negative number").arg(QLatin1String(key));
        return false;
    }
    *out = value.toInt();
    return true;
}

std::optional<QList<RealtimeScript::Result>> readResults(const QJsonObject& json, const char* key, QString* error)
{
    QList<RealtimeScript::Result> list;
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isArray()) {
        *error = QStringLiteral("\"%1\" must be an array").arg(QLatin1String(key));
        return std::nullopt;
    }
    for (const QJsonValue& entry : value.toArray()) {
        if (!entry.isObject() || !entry.toObject().value(QStringLiteral("text")).isString()) {
            *error = QStringLiteral("each entry of \"%1\" needs a \"text\"").arg(QLatin1String(key));
            return std::nullopt;
        }
        const QJsonObject object = entry.toObject();
        RealtimeScript::Result result;
        result.text = object.value(QStringLiteral("text")).toString();
        if (!readInt(object, "after_packets", &result.afterPackets, error))
            return std::nullopt;
        result.sliceType = object.value(QStringLiteral("slice_type")).toInteger(1);
        result.index = object.value(QStringLiteral("index")).toInteger(0);
        result.startTime = object.value(QStringLiteral("start_time")).toInteger(0);
        result.endTime = object.value(QStringLiteral("end_time")).toInteger(0);
        list.append(result);
    }
    return list;
}

std::optional<RealtimeScript::Error> readError(const QJsonObject& json, QString* error)
{
    RealtimeScript::Error result;
    if (!json.value(QStringLiteral("code")).isDouble()) {
        *error = QStringLiteral("an error needs a numeric \"code\"");
        return std::nullopt;
    }
    result.code = json.value(QStringLiteral("code")).toInt();
    result.message = json.value(QStringLiteral("message")).toString(QStringLiteral("scripted error"));
    result.close = json.value(QStringLiteral("close")).toBool(true);
    if (!readInt(json, "after_packets", &result.afterPackets, error))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<RealtimeScript> RealtimeScript::fromJson(const QJsonObject& json, QString* error)
{
    RealtimeScript script;
    if (!readInt(json, "handshake_delay_ms", &script.handshakeDelayMs, error) || !readInt(json, "count", &script.count, error))
        return std::nullopt;
    if (script.count < 1) {
        *error = QStringLiteral("\"count\" must be at least 1");
        return std::nullopt;
    }
    if (json.contains(QStringLiteral("results")) || json.contains(QStringLiteral("final_results"))) {
        script.scriptedText = true;
        if (json.contains(QStringLiteral("results"))) {
            auto results = readResults(json, "results", error);
            if (!results)
                return std::nullopt;
            script.results = *results;
        }
        if (json.contains(QStringLiteral("final_results"))) {
            auto results = readResults(json, "final_results", error);
            if (!results)
                return std::nullopt;
            script.finalResults = *results;
        }
    }
    for (const char* key : {"reject", "error"}) {
        const QJsonValue value = json.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isObject()) {
            *error = QStringLiteral("\"%1\" must be an object").arg(QLatin1String(key));
            return std::nullopt;
        }
        auto parsed = readError(value.toObject(), error);
        if (!parsed)
            return std::nullopt;
        (qstrcmp(key, "reject") == 0 ? script.reject : script.error) = *parsed;
    }
    for (auto [key, target] : {std::pair{"abnormal_close_after_packets", &script.abnormalCloseAfterPackets},
                               std::pair{"drop_after_packets", &script.dropAfterPackets},
                               std::pair{"max_session_ms", &script.maxSessionMs}}) {
        if (json.contains(QLatin1String(key))) {
            int value = 0;
            if (!readInt(json, key, &value, error))
                return std::nullopt;
            *target = value;
        }
    }
    return script;
}

} // namespace velnor::server
