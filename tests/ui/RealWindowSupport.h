#pragma once

#include "app/UiServices.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QWidget;

// The program's own services (Qt's real dialogs run by exec()) for the life of the object,
// the services before restored after.
class DesktopServicesScope
{
public:
    DesktopServicesScope();
    ~DesktopServicesScope();
    DesktopServicesScope(const DesktopServicesScope&) = delete;
    DesktopServicesScope& operator=(const DesktopServicesScope&) = delete;

private:
    std::unique_ptr<UiServices> m_previous;
};

// Ends a test that would hang: once the time is up, every modal dialog is rejected and every
// popup closed, again and again, so that the exec() calls return and the test can fail. The
// time only catches a hang: a test that takes a second alone may take many times that on a
// loaded machine under the sanitizers.
class ModalWatchdog
{
public:
    explicit ModalWatchdog(int ms = 120000);
    ~ModalWatchdog();
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;
    bool Fired() const { return m_bFired; }

private:
    QTimer m_start;
    QTimer m_sweep;
    bool m_bFired = false;
};

// Calls act with the next modal window, one other than the window now in front (and of that
// class, when named), once it has shown: from inside the exec() that runs it.
void OnNextModal(std::function<void(QWidget*)> act, const char* className = nullptr);

// A mouse click and a key as the window system delivers them, to the window of the widget:
// a popup that holds the input, a modal window that blocks others and the shortcuts all have
// their say, as for a person. A key goes to the window's focus widget.
void SystemClick(QWidget* widget, QPoint at);
void SystemClick(QWidget* widget);
void SystemKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void SystemType(QWidget* widget, const QString& text);
