#include "app/placeholders/PlaceholderMainWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velnor {

std::unique_ptr<QWidget> makePlaceholderMainWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Velnor"));
    window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(800, 600);
    auto* layout = new QVBoxLayout(window.get());
    auto* label = new QLabel(QStringLiteral("Velnor"), window.get());
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return window;
}

} // namespace velnor
