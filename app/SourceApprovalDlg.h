#pragma once

#include <QDialog>

struct SourceQuestion;
class QPushButton;
class QScrollArea;

// The question asked before a label's database source first connects with the user's
// logins: which label, which source, where it connects, as whom and what it runs, and what
// the program cannot hold that statement to; with 允许 (accept) and 不允许 (reject; also Esc
// and closing the window). 不允许 is the default button and has the focus first, so a hurried
// Return allows nothing; Return on a focused button presses that button.
//
// Everything shown comes from a label or a server, so it is plain text, shown whole:
// long values wrap (scrolling where they would not fit the screen), the statement box says
// how much of it is out of sight, and characters that show as nothing or reorder what
// follows them are shown by their code (\u202E).
class CSourceApprovalDlg : public QDialog
{
    Q_OBJECT
public:
    CSourceApprovalDlg(const QString& label, const SourceQuestion& question, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab and Shift+Tab go round every control of the window.
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    // As high as all it shows, up to most of the screen.
    void FitContent();

    QPushButton* m_pDeny = nullptr;
    QPushButton* m_pAllow = nullptr;
    QWidget* m_pStatement = nullptr;
    QScrollArea* m_pScroll = nullptr;
    int m_nTallest = 0;
};
