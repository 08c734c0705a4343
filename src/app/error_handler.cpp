#include "app/error_handler.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace nx::app {

namespace {

void messageBox(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
}

ErrorPresenter& presenter()
{
    static ErrorPresenter current = messageBox;
    return current;
}

}  // namespace

void showError(const QString& text) { presenter()(text); }

ScopedErrorPresenter::ScopedErrorPresenter(ErrorPresenter replacement) : previous_(std::move(presenter()))
{
    presenter() = std::move(replacement);
}

ScopedErrorPresenter::~ScopedErrorPresenter() { presenter() = std::move(previous_); }

NxApplication::NxApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool NxApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
    return false;
}

}  // namespace nx::app
