#include "FakeServices.h"

#include <gtest/gtest.h>

FakeServices::FakeServices()
    : now(QDate(2024, 3, 5), QTime(7, 8, 9))
{
    // The fake is installed by address; its owner is the test, so it is released
    // again (not deleted) in the destructor.
    m_previous = InstallServices(std::unique_ptr<UiServices>(this));
}

FakeServices::~FakeServices()
{
    (void)InstallServices(std::move(m_previous)).release();
}

QStringList FakeServices::MessageTexts() const
{
    QStringList texts;
    for (const Message& m : messages)
        texts << m.text;
    return texts;
}

int FakeServices::RunModal(QDialog& dialog)
{
    dialogClasses.push_back(QString::fromLatin1(dialog.metaObject()->className()));
    if (dialogs.empty()) {
        ADD_FAILURE() << "unexpected modal dialog " << dialogClasses.back().toStdString();
        return QDialog::Rejected;
    }
    DialogHandler handler = std::move(dialogs.front());
    dialogs.pop_front();
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    // What the dialog queued for itself as it was shown runs first in exec's loop.
    QCoreApplication::sendPostedEvents(&dialog, QEvent::MetaCall);
    handler(dialog);
    const int result = dialog.isVisible() ? QDialog::Rejected : dialog.result();
    dialog.hide();
    return result;
}

int FakeServices::ShowMessageBox(QWidget*, const QString& text, MessageIcon icon, MessageButtons buttons,
                                 const QString& caption)
{
    messages.push_back({text, icon, buttons, caption});
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return IDYES;
    case MessageButtons::RetryCancel:
        return IDRETRY;
    default:
        return IDOK;
    }
}

QColor FakeServices::GetColor(QWidget*, const QColor&)
{
    return Next(colors);
}

bool FakeServices::GetFont(QWidget*, QFont& font)
{
    if (fonts.empty())
        return false;
    font = Next(fonts);
    return true;
}

bool FakeServices::OpenDocument(const QString& path)
{
    openedDocuments << path;
    return openSucceeds;
}

bool FakeServices::StartProgram(const QString& program, const QStringList& arguments)
{
    startedPrograms << (QStringList{program} + arguments).join(u' ');
    return startSucceeds;
}
