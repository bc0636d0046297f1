#pragma once

#include "output/PrintSeams.h"

#include <QDialog>
#include <QPointer>
#include <memory>
#include <vector>

class QDate;
class QPushButton;

// The date a form's date item holds: its text as the designer writes it ("2024-03-05",
// "2024-3-5") or as the system's locale writes dates; invalid for other text.
QDate ReadFormDate(const QString& text);

// The label's screen-data form shown at print time (317): its items at their pixel
// boxes, OK centred under them. OK stores what was typed into the tags; Cancel keeps
// the values the previous label had.
class CWindowDataInputDlg : public QDialog
{
    Q_OBJECT
public:
    CWindowDataInputDlg(const QString& caption, int width, int height, WindowDataTags* tags,
                        QWidget* parent = nullptr);

    // Makes the controls afresh from the items (typed values are not kept) and sizes
    // the dialog; called before each showing.
    void Open();
    void accept() override;

private:
    QString m_strCaption;
    int m_nWidth;
    int m_nHeight;
    WindowDataTags* m_pTags; // the job's, not owned
    QPushButton* m_pOK;
    std::vector<QPointer<QWidget>> m_controls; // one per tag, parallel to the tags
};

// Asks for the window data of each label with the dialog, run through the services.
class CWindowDataPrompt : public IWindowDataPrompt
{
public:
    explicit CWindowDataPrompt(QWidget* parent) : m_pParent(parent) {}
    ~CWindowDataPrompt() override;
    bool Prompt(const QString& caption, int width, int height, WindowDataTags& tags) override;

private:
    QPointer<QWidget> m_pParent;
    QPointer<CWindowDataInputDlg> m_pDialog; // made on the first label; may die with its parent
};
