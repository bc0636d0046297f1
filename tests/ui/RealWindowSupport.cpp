#include "RealWindowSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

DesktopServicesScope::DesktopServicesScope()
    : m_previous(InstallServices(std::make_unique<DesktopUiServices>()))
{
}

DesktopServicesScope::~DesktopServicesScope()
{
    // The previous services may be a test's fake, which releases itself again.
    (void)InstallServices(std::move(m_previous));
}

ModalWatchdog::ModalWatchdog(int ms)
{
    m_start.setSingleShot(true);
    QObject::connect(&m_start, &QTimer::timeout, [this] {
        m_bFired = true;
        ADD_FAILURE() << "a window took no input: the test was ended after its time";
        m_sweep.start(50);
    });
    QObject::connect(&m_sweep, &QTimer::timeout, [] {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->hide();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    m_start.start(ms);
}

ModalWatchdog::~ModalWatchdog() = default;

void OnNextModal(std::function<void(QWidget*)> act, const char* className)
{
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, before, className, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == before || !modal->isVisible() || (className && !modal->inherits(className)))
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start(20);
}

void SystemClick(QWidget* widget, QPoint at)
{
    ASSERT_NE(widget, nullptr);
    QWidget* window = widget->window();
    ASSERT_NE(window->windowHandle(), nullptr);
    const QPoint point = widget->mapTo(window, at);
    QTest::mouseMove(window->windowHandle(), point);
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, point);
}

void SystemClick(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    SystemClick(widget, widget->rect().center());
}

void SystemKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->window()->windowHandle(), nullptr);
    QTest::keyClick(widget->window()->windowHandle(), key, modifiers);
}

void SystemType(QWidget* widget, const QString& text)
{
    ASSERT_NE(widget, nullptr);
    for (const QChar c : text)
        QTest::keyClick(widget->window()->windowHandle(), static_cast<char>(c.toLatin1()));
}
