#pragma once

#include "model/LabelLimits.h" // kMaxFormSize, the largest width and height of a form

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class CLabelData;
class CSDGraph;

// Tools of the form designer's tool bar, by command id.
enum ScreenDataTool : int {
    SDToolSelect = 40543,
    SDToolStatic = 40544,
    SDToolEdit = 40545,
    SDToolCombo = 40546,
    SDToolDate = 40547,
};

// The canvas of the screen-data form designer: the form drawn as a window mock-up
// whose items can be created, selected, moved, resized and deleted, and whose size
// can be dragged. It works on clones of the label's items; the dialog hands them to
// the label on OK. Every change is reported through Changed().
class CScreenDataView : public QWidget
{
    Q_OBJECT
public:
    explicit CScreenDataView(QWidget* parent = nullptr);
    ~CScreenDataView() override;

    // Copies the label record's caption, size and a clone of every item.
    void LoadForm();
    // Hands the items over to the label record, with the caption and the size.
    void StoreForm();

    void SetTool(int tool);
    int GetTool() const { return m_nTool; }
    // Makes the item of that name the only selected and the current one (none when
    // no item has it).
    void SelectByName(const QString& name);
    // The name a new item of that kind gets (after its counter was raised).
    QString NextName(int kind);
    bool IsNameUsed(const QString& name, const CSDGraph* except = nullptr) const;

    // Form pixels: where the form's top-left corner and its client area lie.
    static constexpr int kFormOffset = 5;
    static constexpr int kCaptionHeight = 23;
    static constexpr int kMoveThreshold = 4;
    static constexpr int kMinFormWidth = 100;
    static constexpr int kMinFormHeight = 30;

    QString m_strCaption;
    int m_nFormWidth = 500;
    int m_nFormHeight = 300;
    std::vector<std::unique_ptr<CSDGraph>> m_items;
    std::vector<CSDGraph*> m_selection;
    CSDGraph* m_pCurrent = nullptr;
    CLabelData* m_pLabelData = nullptr;

Q_SIGNALS:
    void Changed();
    void ToolChanged(int tool);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, RubberBand, Moving, ResizingItem, ResizingForm };

    void Create(int kind, QPoint clientPoint);
    void ClearSelection();
    void MoveSelection(QPoint travel);
    void ResizeItem(QPoint formPoint, bool release);
    void ResizeForm(QPoint formPoint);
    void FinishRubberBand();
    void DeleteSelection();
    void UpdateHoverCursor(QPoint formPoint);
    std::array<QRect, 3> FormHandles() const;
    bool IsSelected(const CSDGraph* item) const;

    int m_nTool = SDToolSelect;
    Drag m_drag = Drag::None;
    QPoint m_dragStart; // form coordinates
    QPoint m_dragPoint;
    CSDGraph* m_pResizeItem = nullptr;
    int m_nResizeHandle = -1;
    std::array<int, 4> m_counters{0, 0, 0, 0};
};
