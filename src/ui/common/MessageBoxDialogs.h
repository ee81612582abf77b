#pragma once

#include "ui/common/Dialogs.h"

namespace velnor {

// Window-modal message boxes opened with open(), answered by signal.
class MessageBoxDialogs final : public Dialogs {
public:
    void alert(QWidget* parent, const QString& title, const QString& text) override;
    void confirm(QWidget* parent, const QString& title, const QString& text, const QString& cancelText,
                 const QString& acceptText, std::function<void()> onAccept) override;
};

} // namespace velnor
