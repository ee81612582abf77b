#pragma once

#include <QString>

namespace velnor::atspi {

// Toolkits disagree on AT-SPI text units (measured with GTK 3 and Qt 6.4):
// GTK counts offsets in code points and insert lengths in UTF-8 bytes; Qt
// counts both in UTF-16 units (and inserts garbage for a length past the
// text). ATK-based toolkits (LibreOffice, Firefox, Chromium, Java) take
// bytes as GTK does. Unknown toolkits get code points for both.
enum class TextUnit { CodePoints, Utf16, Utf8Bytes };

struct ToolkitTextUnits {
    TextUnit offsets = TextUnit::CodePoints;
    TextUnit insertLength = TextUnit::CodePoints;

    static ToolkitTextUnits forToolkit(const QString& toolkitName);

    // A toolkit offset into `text` as a QString index (clamped to the text).
    qsizetype indexOf(const QString& text, int offset) const;
    // The toolkit offset of a QString index.
    int offsetOf(const QString& text, qsizetype index) const;
    // The length argument that inserts all of `text`.
    int lengthOf(const QString& text) const;
};

// What a field holds after `inserted` replaced [start, end) (QString indices).
QString spliced(const QString& before, qsizetype start, qsizetype end, const QString& inserted);

} // namespace velnor::atspi
