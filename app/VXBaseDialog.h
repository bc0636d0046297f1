#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QStyle>

class QAbstractButton;
class QKeyEvent;
class QPushButton;
class QScrollArea;
class QShowEvent;

// The largest window the program opens: a 1366 x 768 screen less a title bar and a
// desktop panel. What is taller scrolls inside its window.
inline constexpr int kMaxWindowWidth = 1366;
inline constexpr int kMaxWindowHeight = 700;

// A frameless scroll area around a dialog's content, for content that may be taller
// (or wider) than the largest window.
QScrollArea* ScrollingBody(QWidget* content);
// Shrinks a window that opens larger than the largest window.
void FitToScreen(QWidget* window);

// Every dialog button carries the style's icon of its role, also where a platform
// would show none, so that dialogs built by hand read like the others.
void SetButtonIcon(QAbstractButton* button, QStyle::StandardPixmap pixmap);
// One shared dialog button (OK, Cancel or Help) with its text, dialog id and icon, for
// dialogs that place their buttons themselves; the caller connects it.
QPushButton* MakeDialogButton(QDialogButtonBox::StandardButton role, QWidget* parent);

// Room for the window's title in its title bar: a small window is made at least as
// wide as the title, with the window manager's icon and buttons beside it.
void FitWindowTitle(QWidget& window);
int TitleBarWidth(const QWidget& window);

// The dialog buttons in the program's words ("确定", "取消", "帮助"), named by their
// dialog ids (1, 2, 9): OK accepts, Cancel rejects, Help opens the help file.
QDialogButtonBox* MakeDialogButtons(QDialog* dialog,
                                    QDialogButtonBox::StandardButtons buttons = QDialogButtonBox::Ok
                                                                                | QDialogButtonBox::Cancel);

// Base of the program's larger modal dialogs. It adds help (the Help button and F1
// open the help file) and one OK path: OnOK stores the dialog into its model and may
// refuse, leaving the dialog open; a typed exception on the way is reported and
// the dialog stays open too.
class CVXBaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CVXBaseDialog(QWidget* parent = nullptr);

    void accept() override;

public Q_SLOTS:
    void OnHelp();

protected:
    // Stores the dialog's values; false keeps the dialog open (after telling the
    // user why and showing the offending control).
    virtual bool OnOK() { return true; }
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// A pane or page of a dialog: it loads from its model, checks what was typed and
// stores it, each on the owner's call. Return and Escape end here, so a key pressed
// in one of its controls never closes the dialog around it by accident.
class CVXPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void Load() {}
    // False when a value cannot be stored; the page has then told the user why.
    virtual bool Validate() { return true; }
    virtual void Apply() {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
