#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class CLabelData;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The page header fields of a label record, as the advanced page keeps them until
// the sheet's OK.
struct PageHeaderSettings
{
    int position = 0;
    int align = 0;
    float edgeMargin = 0;
    float sideMargin = 0;
    int kind = 0;
    QString text;
    QString fontFace;
    float fontSize = 0;
    int fontStyle = 0;
    QString objectName;
    QString filePath;

    static PageHeaderSettings From(const CLabelData& label);
    void StoreTo(CLabelData& label) const;
};

// The page number fields, likewise.
struct PageNumberSettings
{
    int position = 0;
    int align = 0;
    float edgeMargin = 0;
    float sideMargin = 0;
    int style = 0;
    QString fontFace;
    float fontSize = 0;
    int fontStyle = 0;
    QString prefix;
    QString suffix;
    int range = 0;

    static PageNumberSettings From(const CLabelData& label);
    void StoreTo(CLabelData& label) const;
};

// Asks for a font through the services, starting from face and size; on OK writes
// the face, the size in points and the style bits (1 bold, 2 italic, 4 underline).
bool ChooseHeaderFont(QWidget* parent, QString& face, float& size, int& style);

// The page header's settings: where it sits, and a text, a label object or a label
// file as its content. Fill m_settings (and the object names) before running it;
// OK stores the controls back, Cancel leaves m_settings as it was.
class CPageHeaderDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CPageHeaderDlg(QWidget* parent = nullptr);
    // Fills the controls from m_settings and m_objectNames.
    void Load();
    void accept() override;

    PageHeaderSettings m_settings;
    QStringList m_objectNames; // the label's objects in list order; none for a new label

private:
    void UpdateEdgeCaption();
    void UpdateSideCaption();
    void EnableByKind();
    int Kind() const;

    QComboBox* m_position;
    QComboBox* m_align;
    QLabel* m_edgeLabel;
    QLineEdit* m_edge;
    QLabel* m_sideLabel;
    QLineEdit* m_side;
    QRadioButton* m_textKind;
    QRadioButton* m_objectKind;
    QRadioButton* m_fileKind;
    QLineEdit* m_text;
    QWidget* m_fontButton;
    QComboBox* m_object;
    QLineEdit* m_file;
    QWidget* m_browse;
};

// The page number's settings: position, alignment, margins, style, font, prefix,
// suffix and over which range pages are counted.
class CPageNoDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CPageNoDlg(QWidget* parent = nullptr);
    void Load();
    void accept() override;

    PageNumberSettings m_settings;

private:
    void OnPositionChanged();
    void UpdateSideCaption();

    QComboBox* m_position;
    QComboBox* m_align;
    QLabel* m_edgeLabel;
    QLineEdit* m_edge;
    QLabel* m_sideLabel;
    QLineEdit* m_side;
    QComboBox* m_style;
    QLineEdit* m_prefix;
    QLineEdit* m_suffix;
    QRadioButton* m_wholeRange;
    QRadioButton* m_printRange;
};
