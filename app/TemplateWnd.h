#pragma once

#include <QImage>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <vector>

class CLabelData;
class CMainFrame;

// The label drawn small in the template library: its shape, its objects and a frame
// around each object whose content comes from data.
class CLabelPreviewPane : public QWidget
{
    Q_OBJECT
public:
    explicit CLabelPreviewPane(QWidget* parent = nullptr);

    // Not owned; null shows nothing.
    void SetLabel(const CLabelData* label);
    const CLabelData* Label() const { return m_pLabel; }
    // Fits the label into the pane with a margin of 5 pixels.
    void Layout();
    float Scale() const { return m_fScale; }
    QRect LabelRect() const { return {m_nLeft, m_nTop, m_nWidth, m_nHeight}; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Render(QPainter& painter) const;

    const CLabelData* m_pLabel = nullptr;
    float m_fScale = 1.0f;
    float m_fOffsetX = 0.0f;
    float m_fOffsetY = 0.0f;
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// "模板库": the label files (.vmk) under the Templates folder, over a preview of the
// one selected; a double click opens it as a new untitled label. A splitter row
// between the two changes the preview's height.
class CTemplateWnd : public QWidget
{
    Q_OBJECT
public:
    struct Record
    {
        int kind = 0; // -1 the Templates folder, 0 a folder, 1 a label file
        QString name;
        QString path;
        std::vector<std::unique_ptr<Record>> children;
        std::unique_ptr<CLabelData> label; // read when first selected
    };

    CTemplateWnd(CMainFrame& mainFrame, const QString& folder, QWidget* parent = nullptr);
    ~CTemplateWnd() override;

    QTreeWidget* Tree() const { return m_pTree; }
    CLabelPreviewPane* Preview() const { return m_pPreview; }
    Record* RecordOf(const QTreeWidgetItem* item) const;
    // The preview's height as laid out in the pane's present size.
    int PreviewHeight() const;
    void OpenSelected();

    // Writes the label sheets the program comes with into a new Templates folder.
    static bool WriteShippedTemplates(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fill(QTreeWidgetItem* item, Record& record);
    void OnSelected(QTreeWidgetItem* item);
    void LayoutPanes();
    bool NearSplitter(int y) const;

    CMainFrame& m_mainFrame;
    QTreeWidget* m_pTree;
    CLabelPreviewPane* m_pPreview;
    std::unique_ptr<Record> m_pRoot;
    int m_nPreviewHeight = 150;
    bool m_bSplitterDrag = false;
    int m_nLastDragY = 0;
};
