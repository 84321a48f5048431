#pragma once

#include <QObject>

// Return (or Enter) on a focused push button presses it, as Space does. Qt does that only
// for the default buttons of dialogs; a technician who tabs to "Read" expects Return to work
// everywhere. Installed once on the application.
class ReturnPressesButton : public QObject {
    Q_OBJECT
public:
    // Installs the filter on the application, once, for as long as `owner` lives.
    static void install(QObject* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
