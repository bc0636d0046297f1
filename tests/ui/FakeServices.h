#pragma once

#include "app/UiServices.h"

#include <QDialog>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// Stands in for the desktop in tests: dialogs run modally are handed to queued
// handlers that fill them through their controls; message boxes are recorded and
// answered from a queue; pickers answer what the test queued. Installed for the life
// of the object, the previous services restored after.
class FakeServices : public UiServices
{
public:
    struct Message
    {
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
        QString caption;
    };
    using DialogHandler = std::function<void(QDialog&)>;

    FakeServices();
    ~FakeServices() override;
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;

    // The next modal run calls the handler with the dialog shown; the run's result is
    // what the handler left (accept(), reject(), a click on OK ...), Rejected when it
    // left the dialog open.
    void OnNextDialog(DialogHandler handler) { dialogs.push_back(std::move(handler)); }
    // Texts of the messages shown so far.
    QStringList MessageTexts() const;

    int RunModal(QDialog& dialog) override;
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return Next(files); }
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return Next(files); }
    QString GetSaveFileNameOfType(QWidget*, const QString&, const QString&, const QString&,
                                  QString* chosenFilter) override
    {
        shownFilters.push_back(chosenFilter ? *chosenFilter : QString());
        if (!chosenTypes.empty() && chosenFilter)
            *chosenFilter = Next(chosenTypes);
        return Next(files);
    }
    QString GetExistingDirectory(QWidget*, const QString&, const QString&) override { return Next(files); }
    QColor GetColor(QWidget*, const QColor& initial) override;
    bool GetFont(QWidget* parent, QFont& font) override;
    QStringList PrinterNames() override { return printers; }
    QString DefaultPrinterName() override { return printers.value(0); }
    std::vector<PaperInfo> PrinterPapers(const QString& printer) override { return papers[printer]; }
    bool OpenDocument(const QString& path) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
    QDateTime CurrentDateTime() override { return now; }

    std::deque<DialogHandler> dialogs;
    std::vector<QString> dialogClasses; // class name of every dialog run
    std::vector<Message> messages;
    std::deque<int> answers;            // message answers; the first button's when empty
    std::deque<QString> files;          // picker answers; empty (cancelled) when none left
    std::deque<QString> chosenTypes;    // filters chosen in pickers of several types; else the one shown
    QStringList shownFilters;           // the filter each such picker showed first
    std::deque<QColor> colors;          // invalid (cancelled) when none left
    std::deque<QFont> fonts;
    QStringList printers;
    std::map<QString, std::vector<PaperInfo>> papers; // by printer name
    QStringList openedDocuments;
    bool openSucceeds = true;
    QStringList startedPrograms;
    bool startSucceeds = true;
    QDateTime now;

protected:
    // Records the message as the user would read it.
    int ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon, MessageButtons buttons,
                       const QString& caption) override;

private:
    template <class T>
    static T Next(std::deque<T>& queue)
    {
        if (queue.empty())
            return T();
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }

    std::unique_ptr<UiServices> m_previous;
};
