#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace velnor {

// Owns the main window: creates it on first use, brings it to the front, and
// hides it instead of closing it, so the app lives on in the tray and the
// same window comes back.
class MainWindowPresenter final : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<std::unique_ptr<QWidget>()>;

    explicit MainWindowPresenter(Factory factory, QObject* parent = nullptr);
    ~MainWindowPresenter() override;

    void openMainWindow();
    void hideMainWindow();
    QWidget* mainWindow() const { return m_window.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Factory m_factory;
    std::unique_ptr<QWidget> m_window;
};

} // namespace velnor
