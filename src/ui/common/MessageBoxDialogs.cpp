#include "ui/common/MessageBoxDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace velnor {

void MessageBoxDialogs::alert(QWidget* parent, const QString& title, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MessageBoxDialogs::confirm(QWidget* parent, const QString& title, const QString& text, const QString& cancelText,
                                const QString& acceptText, std::function<void()> onAccept)
{
    auto* box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->addButton(cancelText, QMessageBox::RejectRole);
    QPushButton* accept = box->addButton(acceptText, QMessageBox::DestructiveRole);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [accept, onAccept = std::move(onAccept)](auto* clicked) {
        if (clicked == accept && onAccept)
            onAccept();
    });
    box->open();
}

} // namespace velnor
