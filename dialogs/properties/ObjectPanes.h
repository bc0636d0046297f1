#pragma once

#include "app/VXBaseDialog.h"

#include <QColor>
#include <QPointF>
#include <QString>
#include <vector>

class CBaseGraph;
class CColourPicker;
class CDashStyleComboBox;
class CHatchStyleComboBox;
class CImageGraph;
class CLabelData;
class CVXUnitEdit;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The panes of the object property dialogs. Each fills its controls from the object
// in Load and writes into the object only in Apply; the dialog may point them at a
// working copy just for the Apply (m_pObject).
class CObjectPane : public CVXPage
{
    Q_OBJECT
public:
    using CVXPage::CVXPage;

    CBaseGraph* m_pObject = nullptr;
};

// "常规": name, print flags, description.
class CGeneralEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CGeneralEdtPane(QWidget* parent = nullptr);
    void Load() override;
    // Refuses an empty name and the name of another object of the label.
    bool Validate() override;
    void Apply() override;

    // Every object of the label (this one included), for the duplicate-name check.
    std::vector<const CBaseGraph*> m_objects;

    QLineEdit* m_name;
    QCheckBox* m_notPrinted;
    QCheckBox* m_hiddenInPreview;
    QLineEdit* m_description;
};

// The rotation point and angle lists shared by the box and polygon position panes.
struct RotationControls
{
    QComboBox* anchor;
    QComboBox* angle;
};

// "位置" of objects with a box.
class CPositionEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CPositionEdtPane(QWidget* parent = nullptr);
    void Load() override;
    // Refuses an angle that is no number or beyond ten turns, and a width or height
    // of 0 or below where the size must be positive.
    bool Validate() override;
    // For a box that must have a size (a picture's): 0 and below are refused, with a
    // message naming the numbers the box takes.
    void RequirePositiveSize();
    void Apply() override;

    CVXUnitEdit* m_x;
    CVXUnitEdit* m_y;
    CVXUnitEdit* m_width;
    CVXUnitEdit* m_height;
    RotationControls m_rotation;
    QCheckBox* m_locked;

private:
    bool m_bPositiveSize = false;
};

// "位置" of a line: its two end points.
class CLinePositionEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CLinePositionEdtPane(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    CVXUnitEdit* m_x1;
    CVXUnitEdit* m_y1;
    CVXUnitEdit* m_x2;
    CVXUnitEdit* m_y2;
    QCheckBox* m_locked;
};

// "位置" of a polygon: its vertex list, changed only through the three buttons.
class CPolygonPositionEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CPolygonPositionEdtPane(QWidget* parent = nullptr);
    void Load() override;
    bool Validate() override;
    void Apply() override;

    void OnAdd();
    // Does nothing while a single row remains: a polygon keeps at least one vertex.
    void OnRemove();
    void OnEdit();

    QTableWidget* m_points;
    RotationControls m_rotation;
    QCheckBox* m_locked;

private:
    void AppendRow(const QString& x, const QString& y);
};

// "坐标": one vertex typed as two texts, read back as they were typed.
class CPolygonPointEditDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CPolygonPointEditDlg(QWidget* parent = nullptr);
    void showEvent(QShowEvent* event) override;
    void accept() override;

    QString m_strX;
    QString m_strY;
    // The polygon's other vertices: OK takes a vertex only while the polygon's width
    // and height stay within a label's longest length, as its file holds them.
    std::vector<QPointF> m_otherPoints;

private:
    CVXUnitEdit* m_x;
    CVXUnitEdit* m_y;
};

// The sample of the font pane: a fixed text in the chosen face, size, style bits
// (1 bold, 2 italic, 4 underline, 8 strikeout) and colour.
class CFontSampleTextStatic : public QWidget
{
    Q_OBJECT
public:
    explicit CFontSampleTextStatic(QWidget* parent = nullptr);

    QString m_strFaceName = QStringLiteral("Arial");
    float m_fSize = 10.0f;
    int m_nStyle = 0;
    QColor m_crText = Qt::black;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// "字体" of a text object, or of a barcode's human-readable line. The sample shows
// face, listed size, style and text colour.
class CFontEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    enum Mode : int { ModeText = 0, ModeBarcode = 1 };

    explicit CFontEdtPane(QWidget* parent = nullptr);
    void Load() override;
    // Refuses a size that is not above 0: the words would shrink to nothing.
    bool Validate() override;
    void Apply() override;
    void RefreshSample();

    QComboBox* m_face;
    QComboBox* m_style;
    QComboBox* m_size;
    QCheckBox* m_underline;
    QCheckBox* m_strikeout;
    QCheckBox* m_whiteOnBlack;
    CColourPicker* m_textColour;
    CColourPicker* m_background;
    CFontSampleTextStatic* m_sample;
    int m_nMode = ModeText; // set before the pane is loaded

private:
    int SelectedStyle() const;
};

// The four option sub-panes of the text pane, one per text kind.
class CTextEdtPane_SingleLine : public CVXPage
{
    Q_OBJECT
public:
    explicit CTextEdtPane_SingleLine(QWidget* parent = nullptr);
    void OnGroupingSettings();

    CVXUnitEdit* m_charSpacing;
    QPushButton* m_grouping;
    // Edited only by the grouping dialog; carried through unchanged until then.
    bool m_bGrouping = false;
    int m_nSeparatorChoice = 0;
    QString m_strSeparator;
    float m_fGroupGap = 0.0f;
    QString m_strGroupRule;
};

class CTextEdtPane_MultiLine : public CVXPage
{
    Q_OBJECT
public:
    explicit CTextEdtPane_MultiLine(QWidget* parent = nullptr);
    void UpdateSpacingEdit();

    QComboBox* m_horizontal;
    QComboBox* m_vertical;
    QComboBox* m_lineSpacing;
    CVXUnitEdit* m_customSpacing;
};

class CTextEdtPane_CurvedText : public CVXPage
{
    Q_OBJECT
public:
    explicit CTextEdtPane_CurvedText(QWidget* parent = nullptr);

    QComboBox* m_direction;
    QComboBox* m_orientation;
    CVXUnitEdit* m_angleStep;
    QCheckBox* m_autoStep;
    QCheckBox* m_square;
};

class CTextEdtPane_VertText : public CVXPage
{
    Q_OBJECT
public:
    explicit CTextEdtPane_VertText(QWidget* parent = nullptr);

    QComboBox* m_alignment;
};

// "文字": the text kind and the options of the chosen kind.
class CTextEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CTextEdtPane(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;
    void ShowSubPane();

    QRadioButton* m_singleLine;
    QRadioButton* m_multiLine;
    QRadioButton* m_curved;
    QRadioButton* m_vertical;
    CTextEdtPane_SingleLine* m_singlePane;
    CTextEdtPane_MultiLine* m_multiPane;
    CTextEdtPane_CurvedText* m_curvedPane;
    CTextEdtPane_VertText* m_vertPane;
};

// The first tab of rectangle, ellipse and polygon: outline, fill, hatch, gradient; the
// rectangle adds its corner radius.
class CFilledShapeEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    CFilledShapeEdtPane(int pageId, bool cornerRadius, QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;
    // Both reset their pickers to the object's stored colours when a hatch or a
    // gradient is chosen, and to no colour (disabled) when none is.
    void UpdateHatch();
    void UpdateGradient();

    CVXUnitEdit* m_lineWidth;
    CVXUnitEdit* m_cornerRadius = nullptr;
    CDashStyleComboBox* m_dash;
    CColourPicker* m_lineColour;
    CColourPicker* m_background;
    CHatchStyleComboBox* m_hatch;
    CColourPicker* m_hatchColour;
    QComboBox* m_gradient;
    CColourPicker* m_gradient1;
    CColourPicker* m_gradient2;
};

class CRectangleEdtPane : public CFilledShapeEdtPane
{
    Q_OBJECT
public:
    explicit CRectangleEdtPane(QWidget* parent = nullptr) : CFilledShapeEdtPane(235, true, parent) {}
};

class CEllipseEdtPane : public CFilledShapeEdtPane
{
    Q_OBJECT
public:
    explicit CEllipseEdtPane(QWidget* parent = nullptr) : CFilledShapeEdtPane(237, false, parent) {}
};

class CPolygonEdtPane : public CFilledShapeEdtPane
{
    Q_OBJECT
public:
    explicit CPolygonEdtPane(QWidget* parent = nullptr) : CFilledShapeEdtPane(243, false, parent) {}
};

// "直线": width, dash, caps, colour and the horizontal-or-vertical constraint.
class CLineEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CLineEdtPane(QWidget* parent = nullptr);
    void Load() override;
    void Apply() override;

    CVXUnitEdit* m_lineWidth;
    CDashStyleComboBox* m_dash;
    QComboBox* m_cap;
    CColourPicker* m_colour;
    QCheckBox* m_horzVertOnly;
};

// "图片": where the picture comes from, how it is sized, what printing does on failure.
class CImageEdtPane : public CObjectPane
{
    Q_OBJECT
public:
    explicit CImageEdtPane(QWidget* parent = nullptr);
    void Load() override;
    // A linked picture needs the last chosen (or loaded) path to name an existing file.
    bool Validate() override;
    void Apply() override;
    // Once Apply fitted the box to the picture: a box beyond a label's longest length
    // either way is refused, naming the widths widthBox takes for a proportional
    // picture, else the picture's own size; false then.
    bool FittedBoxFits(const CImageGraph& fitted, QWidget* widthBox);
    void LayoutForType();
    void OnChoose();

    CLabelData* m_pLabelData = nullptr;
    QString m_strDataSource;
    QString m_strFieldName;
    QString m_strSuffix;
    QString m_strPrefix;
    QString m_strMimeType;
    QString m_strPath;

    QComboBox* m_type;
    QLabel* m_fileLabel;
    QLineEdit* m_path;
    QPushButton* m_choose;
    QRadioButton* m_sizeModes[3];
    QRadioButton* m_errorModes[3];
};

// "图片数据源": the data source, field, suffix and prefix of a data-source picture.
class CImageDataSourceDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CImageDataSourceDlg(QWidget* parent = nullptr);
    void showEvent(QShowEvent* event) override;
    void accept() override;
    void FillFields();

    CLabelData* m_pLabelData = nullptr;
    QString m_strDataSource;
    QString m_strFieldName;
    QString m_strSuffix;
    QString m_strPrefix;

    QComboBox* m_source;
    QComboBox* m_field;
    QLineEdit* m_suffix;
    QLineEdit* m_prefix;

private:
    bool m_bLoaded = false;
};

// The MIME type of a picture file: "image/" and the file name's suffix (lower case,
// "jpg" as "jpeg", "tif" as "tiff"); a name without a suffix goes by the content.
QString ImageMimeTypeOf(const QString& path);
