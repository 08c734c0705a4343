#pragma once

#include <QApplication>
#include <QString>

#include <functional>

namespace nx::app {

// Shows an error text to the user (a message box). Tests put a recorder in its place
// for their scope.
using ErrorPresenter = std::function<void(const QString& text)>;

void showError(const QString& text);

class ScopedErrorPresenter {
public:
    explicit ScopedErrorPresenter(ErrorPresenter replacement);
    ~ScopedErrorPresenter();
    ScopedErrorPresenter(const ScopedErrorPresenter&) = delete;
    ScopedErrorPresenter& operator=(const ScopedErrorPresenter&) = delete;

private:
    ErrorPresenter previous_;
};

// The one top-level handler: an exception leaving any event handler stops that event,
// its text is shown, and the program goes on.
class NxApplication final : public QApplication {
public:
    NxApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace nx::app
