// A Qt window with one text field, for tests that type into a real field.
//
//   velnor-qt-line-edit [--multiline] [--report-changes] [--password] [--paste-delay MS] [TITLE]
//
// The same line commands as velnor-gtk-entry on standard input ("text",
// "set <TEXT>", "select <A> <B>", "quit"), one answer line each; "ready"
// once the window is shown, the text again on exit. --multiline makes the
// field a QPlainTextEdit (its newlines are printed as "\n"; "set" and
// "select" act on the hidden line edit there); --report-changes
// also prints "changed <CLOCK_MONOTONIC ns> <text>" whenever the text changes,
// for latency measurements. --password hides the line edit's text. --paste-delay
// reads the clipboard MS after the paste key, like a busy application.
// "copy <TEXT>" puts TEXT on the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <ctime>
#include <iostream>
#include <string>

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// With a paste delay, pastes that long after the paste key instead of at once.
class LineEdit final : public QLineEdit {
public:
    int pasteDelayMs = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (pasteDelayMs > 0 && event->matches(QKeySequence::Paste))
            QTimer::singleShot(pasteDelayMs, this, &QLineEdit::paste);
        else
            QLineEdit::keyPressEvent(event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool multiline = arguments.removeAll(QStringLiteral("--multiline")) > 0;
    const bool reportChanges = arguments.removeAll(QStringLiteral("--report-changes")) > 0;
    const bool password = arguments.removeAll(QStringLiteral("--password")) > 0;
    LineEdit line;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--paste-delay")); at >= 0) {
        line.pasteDelayMs = arguments.value(at + 1).toInt();
        arguments.remove(at, 2);
    }
    if (password)
        line.setEchoMode(QLineEdit::Password);
    QPlainTextEdit lines;
    QWidget* const field = multiline ? static_cast<QWidget*>(&lines) : &line;
    field->setWindowTitle(arguments.value(0, QStringLiteral("velnor-qt-line-edit")));
    field->resize(400, multiline ? 120 : 40);
    field->show();
    field->activateWindow();
    field->setFocus();

    QTextStream out(stdout);
    auto printable = [&] { return (multiline ? lines.toPlainText() : line.text()).replace(QLatin1Char('\n'), QStringLiteral("\\n")); };
    auto printText = [&] {
        out << printable() << '\n';
        out.flush();
    };
    auto report = [&] {
        out << "changed " << monotonicNs() << ' ' << printable() << '\n';
        out.flush();
    };
    if (reportChanges) {
        QObject::connect(&line, &QLineEdit::textChanged, &app, report);
        QObject::connect(&lines, &QPlainTextEdit::textChanged, &app, report);
    }
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string raw;
        if (!std::getline(std::cin, raw)) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        const QString command = QString::fromUtf8(raw.c_str());
        if (command == QStringLiteral("text")) {
            printText();
        } else if (command == QStringLiteral("set") || command.startsWith(QStringLiteral("set "))) {
            line.setText(command.mid(4));
            printText();
        } else if (command.startsWith(QStringLiteral("select "))) {
            const QStringList parts = command.mid(7).split(QLatin1Char(' '));
            const int start = parts.value(0).toInt();
            const int end = parts.value(1).toInt() < 0 ? int(line.text().size()) : parts.value(1).toInt();
            if (parts.size() == 2)
                line.setSelection(start, end - start);
            printText();
        } else if (command.startsWith(QStringLiteral("copy "))) {
            QApplication::clipboard()->setText(command.mid(5));
            printText();
        } else if (command == QStringLiteral("quit")) {
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
