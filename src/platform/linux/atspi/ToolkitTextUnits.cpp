#include "platform/linux/atspi/ToolkitTextUnits.h"

#include <QStringList>

#include <algorithm>

namespace velnor::atspi {

ToolkitTextUnits ToolkitTextUnits::forToolkit(const QString& toolkitName)
{
    const QString name = toolkitName.trimmed().toLower();
    if (name == QStringLiteral("qt"))
        return {TextUnit::Utf16, TextUnit::Utf16};
    // Toolkits that reach AT-SPI through ATK (at-spi2-atk hands the length
    // to atk_editable_text_insert_text, which takes bytes), and GTK 4, which
    // passes it to gtk_editable_insert_text as bytes too.
    static const QStringList atkToolkits = {
        QStringLiteral("gtk"),      QStringLiteral("gail"),     QStringLiteral("vcl"),
        QStringLiteral("gecko"),    QStringLiteral("chromium"), QStringLiteral("j2se-access-bridge"),
        QStringLiteral("java"),     QStringLiteral("webkitgtk"),
    };
    if (atkToolkits.contains(name))
        return {TextUnit::CodePoints, TextUnit::Utf8Bytes};
    // Unknown: code points. Too short at worst, which the read-back after
    // the write catches and undoes; never past the end of the text.
    return {};
}

qsizetype ToolkitTextUnits::indexOf(const QString& text, int offset) const
{
    if (offset <= 0)
        return 0;
    if (offsets == TextUnit::Utf16)
        return std::min<qsizetype>(offset, text.size());
    qsizetype index = 0;
    for (int codePoint = 0; codePoint < offset && index < text.size(); ++codePoint)
        index += (text.at(index).isHighSurrogate() && index + 1 < text.size()) ? 2 : 1;
    return index;
}

int ToolkitTextUnits::offsetOf(const QString& text, qsizetype index) const
{
    const QString head = text.left(index);
    if (offsets == TextUnit::Utf16)
        return static_cast<int>(head.size());
    return static_cast<int>(head.toUcs4().size());
}

int ToolkitTextUnits::lengthOf(const QString& text) const
{
    switch (insertLength) {
    case TextUnit::Utf16:
        return static_cast<int>(text.size());
    case TextUnit::Utf8Bytes:
        return static_cast<int>(text.toUtf8().size());
    case TextUnit::CodePoints:
        break;
    }
    return static_cast<int>(text.toUcs4().size());
}

QString spliced(const QString& before, qsizetype start, qsizetype end, const QString& inserted)
{
    start = std::clamp<qsizetype>(start, 0, before.size());
    end = std::clamp<qsizetype>(end, start, before.size());
    return before.left(start) + inserted + before.mid(end);
}

} // namespace velnor::atspi
