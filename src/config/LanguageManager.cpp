#include "config/LanguageManager.h"

#include "log/Logger.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace velnor {

LanguageManager::LanguageManager(Logger& log, QString resourcePath)
    : m_log(log)
    , m_resourcePath(std::move(resourcePath))
{
}

void LanguageManager::loadLanguages()
{
    m_log.info(QStringLiteral("开始加载语音识别配置文件"));
    if (!QFile::exists(m_resourcePath)) {
        m_log.error(QStringLiteral("未能找到qasr.json配置文件"));
        return;
    }
    m_log.info(QStringLiteral("配置文件路径: ") + m_resourcePath);

    QFile file(m_resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_log.error(QStringLiteral("读取配置文件失败: ") + file.errorString());
        return;
    }
    const QByteArray content = file.readAll();
    m_log.info(QStringLiteral("成功读取配置文件内容"));

    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isObject()) {
        m_log.error(QStringLiteral("JSON解析失败"));
        return;
    }
    const QJsonValue types = document.object().value(QStringLiteral("eng_vice_types"));
    const QJsonArray entries = types.toArray();
    const bool allObjects = std::all_of(entries.begin(), entries.end(), [](const QJsonValue& v) { return v.isObject(); });
    if (!types.isArray() || !allObjects) {
        m_log.error(QStringLiteral("未找到eng_vice_types字段或格式错误"));
        return;
    }

    m_log.info(QString::number(entries.size()) + QStringLiteral("个语音识别类型"));
    QList<VoiceType> loaded;
    for (const QJsonValue& entry : entries) {
        const QJsonValue value = entry.toObject().value(QStringLiteral("value"));
        const QJsonValue name = entry.toObject().value(QStringLiteral("name"));
        if (value.isString() && name.isString())
            loaded.append({value.toString(), name.toString()});
    }
    m_languages = loaded;
}

} // namespace velnor
