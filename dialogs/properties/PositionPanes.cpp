#include "dialogs/properties/ObjectPanes.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/BaseGraph.h"
#include "model/LabelLimits.h"
#include "model/ShapeGraph.h"
#include "model/Utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

RotationControls AddRotationGroup(QBoxLayout* layout)
{
    QFormLayout* form = AddGroup(layout, QStringLiteral("旋转"));
    RotationControls controls;
    controls.anchor = MakeCombo(1098, {QStringLiteral("左上"), QStringLiteral("顶部居中"), QStringLiteral("右上"),
                                       QStringLiteral("中部居右"), QStringLiteral("右下"), QStringLiteral("底部居中"),
                                       QStringLiteral("左下"), QStringLiteral("中部居左"), QStringLiteral("中心")});
    controls.angle = MakeCombo(1100, {QStringLiteral("0"), QStringLiteral("30"), QStringLiteral("45"),
                                      QStringLiteral("60"), QStringLiteral("90"), QStringLiteral("120"),
                                      QStringLiteral("135"), QStringLiteral("150"), QStringLiteral("180"),
                                      QStringLiteral("210"), QStringLiteral("225"), QStringLiteral("245"),
                                      QStringLiteral("270"), QStringLiteral("300"), QStringLiteral("315"),
                                      QStringLiteral("330")});
    controls.angle->setEditable(true);
    form->addRow(QStringLiteral("旋转点(&O):"), controls.anchor);
    form->addRow(QStringLiteral("角度(&A):"), controls.angle);
    return controls;
}

// A code without an item (above 8 or negative) selects none.
void LoadRotation(const RotationControls& controls, const CBaseGraph& object)
{
    controls.anchor->setCurrentIndex(object.m_nAnchor >= 0 && object.m_nAnchor < controls.anchor->count()
                                         ? object.m_nAnchor
                                         : -1);
    controls.angle->setCurrentIndex(-1);
    controls.angle->setEditText(FormatFloatShort2(object.m_fAngle));
    MarkLoadedText(controls.angle);
}

// Ten turns either way: an angle is stored as typed, but never one the drawing
// arithmetic cannot take.
bool CheckRotation(const RotationControls& controls)
{
    return CheckNumberBox(controls.angle, -3600, 3600);
}

void ApplyRotation(const RotationControls& controls, CBaseGraph& object)
{
    object.m_nAnchor = controls.anchor->currentIndex();
    StoreNumber(controls.angle, object.m_fAngle);
}

QCheckBox* MakeLockCheck()
{
    return MakeCheck(QStringLiteral("锁定位置"), 1005);
}

// A row's vertex: the exact one loaded until the row is edited, else its texts.
QPointF VertexOfRow(const QTableWidget* points, int row)
{
    const auto coordinate = [points, row](int column) {
        const QTableWidgetItem* item = points->item(row, column);
        const QVariant exact = item->data(Qt::UserRole);
        return exact.isValid() ? exact.toDouble() : static_cast<double>(TextToFloat(item->text()));
    };
    return {coordinate(0), coordinate(1)};
}

std::vector<QPointF> VerticesBut(const QTableWidget* points, int skipped)
{
    std::vector<QPointF> vertices;
    for (int row = 0; row < points->rowCount(); ++row)
        if (row != skipped)
            vertices.push_back(VertexOfRow(points, row));
    return vertices;
}

// The polygon's span on one axis, as RecalcBounds takes it, with a vertex at value
// beside others from least to most.
bool SpanHolds(float value, float least, float most)
{
    return std::max(most, value) - std::min(least, value) <= kMaxLabelLengthMm;
}

// Refuses the box's coordinate when it would stretch the polygon beyond a label on
// that axis, naming the numbers (in hundredths) the box takes beside the others.
bool CheckVertexSpan(CVXUnitEdit* box, const std::vector<QPointF>& others, bool vertical, const QString& extent)
{
    if (others.empty())
        return true;
    const auto along = [vertical](const QPointF& p) { return static_cast<float>(vertical ? p.y() : p.x()); };
    float least = along(others.front()), most = least;
    for (const QPointF& p : others) {
        least = std::min(least, along(p));
        most = std::max(most, along(p));
    }
    // Others already wider than a label come only from a damaged file the reader
    // warned about; no place of this vertex mends them.
    if (most - least > kMaxLabelLengthMm || SpanHolds(TextToFloat(box->text()), least, most))
        return true;
    const double limit = kMaxLabelLengthMm;
    double low = std::max(-limit, std::ceil((double(most) - limit) * 100) / 100);
    double high = std::min(limit, std::floor((double(least) + limit) * 100) / 100);
    // The ends as typed must hold in the float arithmetic of the polygon's bounds too.
    while (low < high && !SpanHolds(TextToFloat(HundredthsText(low)), least, most))
        low += 0.01;
    while (high > low && !SpanHolds(TextToFloat(HundredthsText(high)), least, most))
        high -= 0.01;
    return RefuseOutsideRange(
        box, low, high, QStringLiteral("多边形的%1不能超过 %2 毫米").arg(extent, HundredthsText(limit)));
}

} // namespace

CGeneralEdtPane::CGeneralEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 232);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = SetCtlId(new QLineEdit, 1079);
    form->addRow(QStringLiteral("对象名称(&O):"), m_name);
    layout->addLayout(form);
    auto* group = new QGroupBox(QStringLiteral("属性"));
    auto* flags = new QVBoxLayout(group);
    m_notPrinted = MakeCheck(QStringLiteral("不打印对象"), 1006);
    m_hiddenInPreview = MakeCheck(QStringLiteral("不显示在打印预览中"), 1281);
    flags->addWidget(m_notPrinted);
    flags->addWidget(m_hiddenInPreview);
    layout->addWidget(group);
    auto* description = new QFormLayout;
    m_description = SetCtlId(new QLineEdit, 1080);
    description->addRow(QStringLiteral("对象说明(&D):"), m_description);
    layout->addLayout(description);
    layout->addStretch(1);
}

void CGeneralEdtPane::Load()
{
    m_name->setText(m_pObject->m_strName);
    m_notPrinted->setChecked(m_pObject->m_bNotPrinted);
    m_hiddenInPreview->setChecked(m_pObject->m_bHiddenInPreview);
    m_description->setText(m_pObject->m_strDescription);
}

bool CGeneralEdtPane::Validate()
{
    const QString name = m_name->text();
    QString refusal;
    if (name.isEmpty()) {
        refusal = QStringLiteral("请输入对象名称。");
    } else {
        for (const CBaseGraph* other : m_objects) {
            if (other != m_pObject && other->m_strName == name) {
                refusal = QStringLiteral("对象名称重复，请指定不同的对象名称。");
                break;
            }
        }
    }
    if (refusal.isEmpty())
        return true;
    Services().ShowMessage(this, refusal, MessageIcon::Warning);
    return false;
}

void CGeneralEdtPane::Apply()
{
    m_pObject->m_strName = m_name->text();
    m_pObject->m_bNotPrinted = m_notPrinted->isChecked();
    m_pObject->m_bHiddenInPreview = m_hiddenInPreview->isChecked();
    m_pObject->m_strDescription = m_description->text();
}

CPositionEdtPane::CPositionEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 233);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* form = AddGroup(layout, QStringLiteral("位置"));
    m_x = AddLengthRow(form, QStringLiteral("&X:"), 1080);
    m_y = AddLengthRow(form, QStringLiteral("&Y:"), 1082);
    m_width = AddLengthRow(form, QStringLiteral("宽度(&W):"), 1079);
    m_height = AddLengthRow(form, QStringLiteral("高度(&H):"), 1081);
    m_rotation = AddRotationGroup(layout);
    m_locked = MakeLockCheck();
    layout->addWidget(m_locked);
    layout->addStretch(1);
}

void CPositionEdtPane::Load()
{
    SetLengthText(m_x, m_pObject->m_fX);
    SetLengthText(m_y, m_pObject->m_fY);
    SetLengthText(m_width, m_pObject->m_fWidth);
    SetLengthText(m_height, m_pObject->m_fHeight);
    LoadRotation(m_rotation, *m_pObject);
    m_locked->setChecked(m_pObject->m_bLocked);
}

bool CPositionEdtPane::Validate()
{
    if (m_bPositiveSize && (!CheckPositiveNumberBox(m_width, kMaxLabelLengthMm)
                            || !CheckPositiveNumberBox(m_height, kMaxLabelLengthMm)))
        return false;
    return CheckRotation(m_rotation);
}

void CPositionEdtPane::RequirePositiveSize()
{
    m_bPositiveSize = true;
    RefuseZeroIn(m_width);
    RefuseZeroIn(m_height);
}

// Straight into the fields: X and Y are the box's top-left corner whatever the
// rotation point, and nothing is clamped.
void CPositionEdtPane::Apply()
{
    StoreNumber(m_x, m_pObject->m_fX);
    StoreNumber(m_y, m_pObject->m_fY);
    StoreNumber(m_width, m_pObject->m_fWidth);
    StoreNumber(m_height, m_pObject->m_fHeight);
    ApplyRotation(m_rotation, *m_pObject);
    m_pObject->m_bLocked = m_locked->isChecked();
}

CLinePositionEdtPane::CLinePositionEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 240);
    auto* layout = new QVBoxLayout(this);
    QFormLayout* form = AddGroup(layout, QStringLiteral("位置"));
    m_x1 = AddLengthRow(form, QStringLiteral("X1:"), 1119);
    m_y1 = AddLengthRow(form, QStringLiteral("Y1:"), 1120);
    m_x2 = AddLengthRow(form, QStringLiteral("X2:"), 1122);
    m_y2 = AddLengthRow(form, QStringLiteral("Y2:"), 1121);
    m_locked = MakeLockCheck();
    layout->addWidget(m_locked);
    layout->addStretch(1);
}

void CLinePositionEdtPane::Load()
{
    const auto& line = static_cast<const CLineGraph&>(*m_pObject);
    SetLengthText(m_x1, line.m_fX1);
    SetLengthText(m_y1, line.m_fY1);
    SetLengthText(m_x2, line.m_fX2);
    SetLengthText(m_y2, line.m_fY2);
    m_locked->setChecked(line.m_bLocked);
}

void CLinePositionEdtPane::Apply()
{
    auto& line = static_cast<CLineGraph&>(*m_pObject);
    StoreNumber(m_x1, line.m_fX1);
    StoreNumber(m_y1, line.m_fY1);
    StoreNumber(m_x2, line.m_fX2);
    StoreNumber(m_y2, line.m_fY2);
    line.m_bLocked = m_locked->isChecked();
}

CPolygonPositionEdtPane::CPolygonPositionEdtPane(QWidget* parent) : CObjectPane(parent)
{
    SetPageId(this, 242);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("多边形点"));
    auto* row = new QHBoxLayout(group);
    m_points = SetCtlId(new QTableWidget(0, 2), 1123);
    m_points->setHorizontalHeaderLabels({QStringLiteral("X"), QStringLiteral("Y")});
    m_points->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_points->setSelectionMode(QAbstractItemView::SingleSelection);
    m_points->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_points->verticalHeader()->hide();
    // Each column takes half the list's width whenever the list is laid out, so both
    // show at first sight, not only after the first change of the list.
    m_points->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    row->addWidget(m_points, 1);
    auto* buttons = new QVBoxLayout;
    auto addButton = [&](const QString& text, int id, void (CPolygonPositionEdtPane::*handler)()) {
        auto* button = SetCtlId(new QPushButton(text), id);
        connect(button, &QPushButton::clicked, this, handler);
        buttons->addWidget(button);
    };
    addButton(QStringLiteral("+"), 1072, &CPolygonPositionEdtPane::OnAdd);
    addButton(QStringLiteral("-"), 1073, &CPolygonPositionEdtPane::OnRemove);
    addButton(QStringLiteral("*"), 1078, &CPolygonPositionEdtPane::OnEdit);
    buttons->addStretch(1);
    row->addLayout(buttons);
    layout->addWidget(group, 1);
    m_rotation = AddRotationGroup(layout);
    m_locked = MakeLockCheck();
    layout->addWidget(m_locked);
}

void CPolygonPositionEdtPane::Load()
{
    const auto& polygon = static_cast<const CPolygonGraph&>(*m_pObject);
    m_points->setRowCount(0);
    for (const QPointF& point : polygon.m_points) {
        AppendRow(FormatFloatShort2(static_cast<float>(point.x())), FormatFloatShort2(static_cast<float>(point.y())));
        // The exact vertex goes back unless the row is edited: the list shows two decimals.
        const int row = m_points->rowCount() - 1;
        m_points->item(row, 0)->setData(Qt::UserRole, point.x());
        m_points->item(row, 1)->setData(Qt::UserRole, point.y());
    }
    LoadRotation(m_rotation, polygon);
    m_locked->setChecked(polygon.m_bLocked);
}

void CPolygonPositionEdtPane::AppendRow(const QString& x, const QString& y)
{
    const int row = m_points->rowCount();
    m_points->insertRow(row);
    m_points->setItem(row, 0, new QTableWidgetItem(x));
    m_points->setItem(row, 1, new QTableWidgetItem(y));
}

void CPolygonPositionEdtPane::OnAdd()
{
    CPolygonPointEditDlg dialog(this);
    dialog.m_otherPoints = VerticesBut(m_points, -1);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return;
    AppendRow(dialog.m_strX, dialog.m_strY);
}

void CPolygonPositionEdtPane::OnRemove()
{
    const int row = m_points->currentRow();
    if (row < 0 || !m_points->item(row, 0)->isSelected() || m_points->rowCount() <= 1)
        return;
    m_points->removeRow(row);
}

void CPolygonPositionEdtPane::OnEdit()
{
    const int row = m_points->currentRow();
    if (row < 0 || !m_points->item(row, 0)->isSelected())
        return;
    CPolygonPointEditDlg dialog(this);
    dialog.m_strX = m_points->item(row, 0)->text();
    dialog.m_strY = m_points->item(row, 1)->text();
    dialog.m_otherPoints = VerticesBut(m_points, row);
    if (Services().RunModal(dialog) != QDialog::Accepted)
        return;
    for (int column : {0, 1}) {
        m_points->item(row, column)->setText(column == 0 ? dialog.m_strX : dialog.m_strY);
        m_points->item(row, column)->setData(Qt::UserRole, QVariant());
    }
}

bool CPolygonPositionEdtPane::Validate()
{
    return CheckRotation(m_rotation);
}

void CPolygonPositionEdtPane::Apply()
{
    auto& polygon = static_cast<CPolygonGraph&>(*m_pObject);
    polygon.m_points = VerticesBut(m_points, -1);
    polygon.RecalcBounds();
    ApplyRotation(m_rotation, polygon);
    polygon.m_bLocked = m_locked->isChecked();
}

CPolygonPointEditDlg::CPolygonPointEditDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("坐标"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_x = AddLengthRow(form, QStringLiteral("X:"), 1124);
    m_y = AddLengthRow(form, QStringLiteral("Y:"), 1125);
    layout->addLayout(form);
    layout->addWidget(MakeDialogButtons(this));
}

void CPolygonPointEditDlg::showEvent(QShowEvent* event)
{
    m_x->setText(m_strX);
    m_y->setText(m_strY);
    m_x->setFocus();
    QDialog::showEvent(event);
}

void CPolygonPointEditDlg::accept()
{
    if (!CheckNumberBoxes(this) || !CheckVertexSpan(m_x, m_otherPoints, false, QStringLiteral("宽度"))
        || !CheckVertexSpan(m_y, m_otherPoints, true, QStringLiteral("高度")))
        return;
    m_strX = m_x->text();
    m_strY = m_y->text();
    QDialog::accept();
}
