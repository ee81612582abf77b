#include "ui/common/Theme.h"

namespace velnor::Theme {

QString styleSheet()
{
    return QStringLiteral(R"(
QWidget { font-family: "Noto Sans CJK SC", "Noto Sans", sans-serif; font-size: 13px; color: #1f2933; }
QWidget#content, QScrollArea#content, QWidget#pageBody { background: #f5f7fb; }
QWidget#sidebar { background: #eef1f7; border-right: 1px solid #dde3ee; }
QLabel#appName { font-size: 15px; font-weight: 600; }
QPushButton#menuItem { text-align: left; padding: 8px 12px; border: none; border-radius: 8px; background: transparent; font-size: 14px; }
QPushButton#menuItem:hover { background: #e1e7f3; }
QPushButton#menuItem:checked { background: #d6e2fb; color: #1f4fbf; font-weight: 600; }
QFrame#card { background: white; border: 1px solid #e3e8f0; border-radius: 12px; }
QLabel#cardTitle { font-size: 14px; font-weight: 600; }
QLabel#pageTitle { font-size: 20px; font-weight: 600; }
QLabel#caption { color: #6b7785; font-size: 12px; }
QLabel#bigNumber { font-size: 24px; font-weight: 600; color: #1f4fbf; }
QLabel#error { color: #d0021b; }
QPushButton { padding: 6px 14px; border: 1px solid #cfd6e2; border-radius: 7px; background: white; }
QPushButton:hover { background: #f0f3f9; }
QPushButton:disabled { color: #9aa5b1; }
QPushButton#primary { background: #3b6fe0; color: white; border: none; font-weight: 600; }
QPushButton#primary:hover { background: #325fc2; }
QPushButton#primary:disabled { background: #a8bdeb; }
QPushButton#danger { color: #d0021b; }
QPushButton#link { border: none; background: transparent; color: #3b6fe0; padding: 0 2px; }
QLineEdit { padding: 5px 8px; border: 1px solid #cfd6e2; border-radius: 7px; background: white; }
QLineEdit:focus { border-color: #3b6fe0; }
QComboBox, QSpinBox { min-height: 24px; }
QProgressBar { border: none; border-radius: 3px; background: #e3e8f0; max-height: 6px; }
QProgressBar::chunk { border-radius: 3px; background: #3b6fe0; }
QFrame#sheet { background: white; border-radius: 14px; }
)");
}

} // namespace velnor::Theme
