#include "config/LanguageConfigManager.h"

#include "config/PlistReader.h"
#include "log/Logger.h"

#include <QFile>

#include <optional>

namespace velnor {

namespace {

std::optional<LanguageConfig> languageFrom(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = entry.toMap();
    const QStringList required = {QStringLiteral("code"), QStringLiteral("title"), QStringLiteral("icon"),
                                  QStringLiteral("description"), QStringLiteral("action")};
    for (const QString& key : required) {
        if (map.value(key).typeId() != QMetaType::QString)
            return std::nullopt;
    }
    const QVariant separator = map.value(QStringLiteral("separator_after"));
    return LanguageConfig{map.value(QStringLiteral("code")).toString(),
                          map.value(QStringLiteral("title")).toString(),
                          map.value(QStringLiteral("icon")).toString(),
                          map.value(QStringLiteral("description")).toString(),
                          map.value(QStringLiteral("action")).toString(),
                          separator.typeId() == QMetaType::Bool && separator.toBool()};
}

} // namespace

LanguageConfigManager::LanguageConfigManager(Logger& log, QString resourcePath)
    : m_log(log)
    , m_resourcePath(std::move(resourcePath))
{
}

void LanguageConfigManager::loadLanguageConfig()
{
    QFile file(m_resourcePath);
    std::optional<QVariant> root;
    if (file.open(QIODevice::ReadOnly))
        root = readXmlPlist(file.readAll());

    const QVariant list = root && root->typeId() == QMetaType::QVariantMap
        ? root->toMap().value(QStringLiteral("languages"))
        : QVariant();
    if (list.typeId() != QMetaType::QVariantList) {
        m_log.info(QStringLiteral("无法加载语言配置文件"));
        return;
    }

    QList<LanguageConfig> loaded;
    for (const QVariant& entry : list.toList()) {
        if (auto language = languageFrom(entry))
            loaded.append(*language);
    }
    m_languages = loaded;
    m_log.info(QStringLiteral("已加载 ") + QString::number(loaded.size()) + QStringLiteral(" 个语言配置"));
}

} // namespace velnor
