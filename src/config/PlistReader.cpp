#include "config/PlistReader.h"

#include <QDateTime>
#include <QXmlStreamReader>

namespace velnor {

namespace {

class PlistParser {
public:
    explicit PlistParser(const QByteArray& xml)
        : m_reader(xml)
    {
    }

    std::optional<QVariant> parseDocument()
    {
        while (m_reader.readNextStartElement()) {
            if (m_reader.name() == QLatin1String("plist")) {
                if (!m_reader.readNextStartElement())
                    return std::nullopt;
                auto value = parseValue();
                if (!value || m_reader.hasError())
                    return std::nullopt;
                return value;
            }
            m_reader.skipCurrentElement();
        }
        return std::nullopt;
    }

private:
    // Called with the reader on a value's start element; leaves it on the end element.
    std::optional<QVariant> parseValue()
    {
        const auto name = m_reader.name();
        if (name == QLatin1String("dict"))
            return parseDict();
        if (name == QLatin1String("array"))
            return parseArray();
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool value = name == QLatin1String("true");
            m_reader.skipCurrentElement();
            return QVariant(value);
        }
        const QString text = m_reader.readElementText();
        if (m_reader.hasError())
            return std::nullopt;
        if (name == QLatin1String("string"))
            return QVariant(text);
        if (name == QLatin1String("integer")) {
            bool ok = false;
            const qlonglong value = text.trimmed().toLongLong(&ok);
            return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
        }
        if (name == QLatin1String("real")) {
            bool ok = false;
            const double value = text.trimmed().toDouble(&ok);
            return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
        }
        if (name == QLatin1String("data"))
            return QVariant(QByteArray::fromBase64(text.simplified().remove(QLatin1Char(' ')).toLatin1()));
        if (name == QLatin1String("date"))
            return QVariant(QDateTime::fromString(text.trimmed(), Qt::ISODate));
        return std::nullopt;
    }

    std::optional<QVariant> parseDict()
    {
        QVariantMap map;
        while (m_reader.readNextStartElement()) {
            if (m_reader.name() != QLatin1String("key"))
                return std::nullopt;
            const QString key = m_reader.readElementText();
            if (!m_reader.readNextStartElement())
                return std::nullopt;
            auto value = parseValue();
            if (!value)
                return std::nullopt;
            map.insert(key, *value);
        }
        return m_reader.hasError() ? std::nullopt : std::optional<QVariant>(QVariant(map));
    }

    std::optional<QVariant> parseArray()
    {
        QVariantList list;
        while (m_reader.readNextStartElement()) {
            auto value = parseValue();
            if (!value)
                return std::nullopt;
            list.append(*value);
        }
        return m_reader.hasError() ? std::nullopt : std::optional<QVariant>(QVariant(list));
    }

    QXmlStreamReader m_reader;
};

} // namespace

std::optional<QVariant> readXmlPlist(const QByteArray& xml)
{
    return PlistParser(xml).parseDocument();
}

} // namespace velnor
