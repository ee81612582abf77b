// A clipboard manager as some desktops run one: whenever another program
// takes the clipboard, it copies every format and owns the copy itself, so
// the clipboard outlives its owner.
//
//   velnor-clipboard-manager
//
// Prints "ready" once watching, then "copied <text>" after each copy.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QClipboard& clipboard = *QGuiApplication::clipboard();
    QTextStream out(stdout);
    QObject::connect(&clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard || clipboard.ownsClipboard())
            return;
        const QMimeData* source = clipboard.mimeData();
        if (!source || source->formats().isEmpty())
            return;
        auto* copy = new QMimeData;
        for (const QString& format : source->formats())
            copy->setData(format, source->data(format));
        clipboard.setMimeData(copy);
        out << "copied " << copy->text() << '\n';
        out.flush();
    });
    QTimer::singleShot(0, &app, [&] {
        out << "ready\n";
        out.flush();
    });
    return app.exec();
}
