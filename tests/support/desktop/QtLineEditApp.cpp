// A Qt window with one line edit, for tests that type into a real field.
//
//   velnor-qt-line-edit [TITLE]
//
// The same line commands as velnor-gtk-entry on standard input ("text",
// "set <TEXT>", "select <A> <B>", "quit"), one answer line each; "ready"
// once the window is shown, the text again on exit.
#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLineEdit edit;
    edit.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("velnor-qt-line-edit"));
    edit.resize(400, 40);
    edit.show();
    edit.activateWindow();
    edit.setFocus();

    QTextStream out(stdout);
    auto printText = [&] {
        out << edit.text() << '\n';
        out.flush();
    };
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string raw;
        if (!std::getline(std::cin, raw)) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        const QString line = QString::fromUtf8(raw.c_str());
        if (line == QStringLiteral("text")) {
            printText();
        } else if (line == QStringLiteral("set") || line.startsWith(QStringLiteral("set "))) {
            edit.setText(line.mid(4));
            printText();
        } else if (line.startsWith(QStringLiteral("select "))) {
            const QStringList parts = line.mid(7).split(QLatin1Char(' '));
            if (parts.size() == 2) {
                const int start = parts[0].toInt();
                const int end = parts[1].toInt() < 0 ? int(edit.text().size()) : parts[1].toInt();
                edit.setSelection(start, end - start);
            }
            printText();
        } else if (line == QStringLiteral("quit")) {
            app.quit();
        }
    });
    QTimer::singleShot(0, &app, [&] {
        out << "ready\n";
        out.flush();
    });
    const int code = app.exec();
    printText();
    return code;
}
