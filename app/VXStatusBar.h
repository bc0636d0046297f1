#pragma once

#include <QFont>
#include <QImage>
#include <QStatusBar>
#include <QString>
#include <array>

// The main window's status bar, painted entirely by the program: a light blue
// gradient, either one message (menu help) or up to four pane texts separated by
// etched lines, and a size grip while the main window is not maximised.
class CVXStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit CVXStatusBar(QWidget* parent = nullptr);

    // True: the pane texts are painted; false: the message.
    void SetShowPanes(bool show);
    bool ShowsPanes() const { return m_bShowPanes; }
    void SetMessageText(const QString& text);
    const QString& MessageText() const { return m_strMessage; }
    void SetPaneText(int index, const QString& text);
    const QString& PaneText(int index) const { return m_paneTexts.at(index); }

    // Where the separators fall, left to right, for the pane texts and a bar width.
    static std::vector<int> SeparatorPositions(const std::array<QString, 4>& texts, const QFont& font, int width,
                                               int height);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBar(QPainter& painter, bool showGrip);

    bool m_bShowPanes = true;
    QString m_strMessage;
    std::array<QString, 4> m_paneTexts;
    QImage m_backImage;
    int m_nGripX = 0;
    int m_nGripY = 10;
    QFont m_font;
};
