#pragma once

#include "app/Commands.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class CLabelData;
class QColor;
class QComboBox;

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

// What a label document window takes from the main frame it sits in; the frame
// implements it.
class IDocumentHost
{
public:
    virtual ~IDocumentHost() = default;
    virtual CommandManager& Commands() = 0;
    // The format bar's combos; null while the bar has none.
    virtual QComboBox* FontNameCombo() const = 0;
    virtual QComboBox* FontSizeCombo() const = 0;
    // The colour last picked in a colour pop-up's selector.
    virtual QColor SelectorColour(int selectorId) const = 0;
    // The window that has the file open, or null.
    virtual LabelDocumentWindow* LabelWindowOf(const QString& path) const = 0;
    // A file was read into a window: the recent-file list follows.
    virtual void LabelFileOpened(const QString& path) = 0;
    // The object pane follows a change of the window's label (codes as the frame's
    // objectPaneUpdate).
    virtual void ObjectPaneUpdate(LabelDocumentWindow* window, int code) = 0;
};

// Makes the window of a label record just read or created; the frame puts it into a
// tab. The frame is there for what the window takes from it (the format combos).
using LabelWindowFactory = std::function<LabelDocumentWindow*(std::unique_ptr<CLabelData>, IDocumentHost&)>;
