// Pure pieces of the X11/AT-SPI insertion backends, tested without a display.
#include "platform/KeySynthesizer.h"
#include "platform/linux/atspi/ToolkitTextUnits.h"
#include "platform/linux/x11/X11SelectionReader.h"
#include "platform/linux/x11/X11PasteChord.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

TEST(X11PasteChord, TerminalsGetTheirOwnChordAndOnlyXtermPastesThePrimarySelection)
{
    const PasteChord ctrlV{{VirtualKey::LeftControl}, VirtualKey::V, false};
    const PasteChord ctrlShiftV{{VirtualKey::LeftControl, VirtualKey::LeftShift}, VirtualKey::V, false};
    const PasteChord shiftInsert{{VirtualKey::LeftShift}, VirtualKey::Insert, true};
    const std::vector<std::pair<QString, PasteChord>> cases = {
        {QStringLiteral("XTerm"), shiftInsert},          {QStringLiteral("URxvt"), shiftInsert},
        {QStringLiteral("Gnome-terminal"), ctrlShiftV}, {QStringLiteral("konsole"), ctrlShiftV},
        {QStringLiteral("kitty"), ctrlShiftV},          {QStringLiteral("Gedit"), ctrlV},
        {QStringLiteral("firefox-esr"), ctrlV},         {QString(), ctrlV},
    };
    for (const auto& [windowClass, chord] : cases)
        EXPECT_EQ(x11::pasteChordForWindowClass(windowClass), chord) << windowClass.toStdString();
}

TEST(X11Clipboard, SavesDataFormatsOnceButNotTheSelectionProtocolsOwnTargets)
{
    // As GTK offers text: the legacy text targets are made again from "text/plain".
    const QList<QByteArray> gtkText = {"TIMESTAMP", "TARGETS", "MULTIPLE", "SAVE_TARGETS", "UTF8_STRING",
                                       "COMPOUND_TEXT", "TEXT", "STRING", "text/plain;charset=utf-8",
                                       "text/plain", "text/html", "image/png", "application/x-qt-image", "image/png"};
    const QList<std::pair<QByteArray, QString>> expected = {
        {"UTF8_STRING", QStringLiteral("text/plain")},
        {"text/plain;charset=utf-8", QStringLiteral("text/plain;charset=utf-8")},
        {"text/html", QStringLiteral("text/html")},
        {"image/png", QStringLiteral("image/png")},
    };
    EXPECT_EQ(x11::savedFormatsOf(gtkText), expected);
    // Without UTF8_STRING the owner's own "text/plain" is the text.
    EXPECT_EQ(x11::savedFormatsOf({"TARGETS", "STRING", "text/plain"}),
              (QList<std::pair<QByteArray, QString>>{{"text/plain", QStringLiteral("text/plain")}}));
}

TEST(ToolkitTextUnits, OffsetsAndInsertLengthsFollowEachToolkitsUnits)
{
    // "a😀é" with a decomposed é: code points a, U+1F600, e, U+0301.
    const QString text = QStringLiteral("a😀e\u0301b");
    const auto gtk = atspi::ToolkitTextUnits::forToolkit(QStringLiteral("GTK"));
    const auto qt = atspi::ToolkitTextUnits::forToolkit(QStringLiteral("Qt"));

    // The caret after the emoji: code point 2 in GTK, UTF-16 unit 3 in Qt.
    EXPECT_EQ(gtk.indexOf(text, 2), 3);
    EXPECT_EQ(qt.indexOf(text, 3), 3);
    EXPECT_EQ(gtk.offsetOf(text, 3), 2);
    EXPECT_EQ(qt.offsetOf(text, 3), 3);
    EXPECT_EQ(gtk.indexOf(text, 99), text.size());

    // Insert lengths: UTF-16 units for Qt; UTF-8 bytes for GTK and the
    // toolkits that go through ATK; code points for toolkits not known.
    const int bytes = 1 + 4 + 1 + 2 + 1;
    const std::vector<std::pair<const char*, int>> lengths = {
        {"Qt", 6},          {"GTK", bytes},      {"gail", bytes},
        {"Gecko", bytes},   {"VCL", bytes},      {"Chromium", bytes},
        {"J2SE-access-bridge", bytes},           {"NewToolkit", 5},
    };
    for (const auto& [toolkit, length] : lengths)
        EXPECT_EQ(atspi::ToolkitTextUnits::forToolkit(QString::fromLatin1(toolkit)).lengthOf(text), length) << toolkit;

    EXPECT_EQ(atspi::spliced(QStringLiteral("keep old"), 5, 8, QStringLiteral("新")), QStringLiteral("keep 新"));
    EXPECT_EQ(atspi::spliced(QStringLiteral("ab"), 1, 1, QStringLiteral("😀")), QStringLiteral("a😀b"));
}

} // namespace
} // namespace velnor
