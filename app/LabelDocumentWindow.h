#pragma once

#include "app/Commands.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class CLabelData;
class CMainFrame;

// What the main frame needs of the window of one label document. The window owns
// its label record; its windowTitle() is what the document's tab shows. It is a
// command target between the canvas and the main frame, and closing it (close())
// asks to save a modified label and may be refused.
class LabelDocumentWindow : public QWidget, public CommandTarget
{
    Q_OBJECT
public:
    explicit LabelDocumentWindow(std::unique_ptr<CLabelData> label, QWidget* parent = nullptr);
    ~LabelDocumentWindow() override;

    CLabelData& LabelData() const { return *m_pLabelData; }

    virtual bool IsModified() const = 0;
    // Writes the label to its path, asking for one when it has none. False when the
    // user cancelled the path or the write failed (the failure is reported).
    virtual bool SaveLabel() = 0;
    // The three status-bar texts of the object in hand, empty when there is none.
    virtual QStringList ObjectStatusTexts() const { return {QString(), QString(), QString()}; }
    // The zoom a new window starts with, applied once it is shown in the frame.
    virtual void ApplyDefaultZoom() {}
    // The target routed before this window (its canvas), null for none.
    virtual CommandTarget* CanvasTarget() const { return nullptr; }

protected:
    std::unique_ptr<CLabelData> m_pLabelData;
};

// Makes the window of a label record just read or created; the frame puts it into a
// tab. The frame is there for what the window takes from it (the format combos).
using LabelWindowFactory = std::function<LabelDocumentWindow*(std::unique_ptr<CLabelData>, CMainFrame&)>;
