#include "dialogs/properties/SupplementalDlg.h"

#include "app/Ctl.h"
#include "app/controls/PngControls.h"
#include "dialogs/properties/SettingsControls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A sketch of where a style puts the add-on beside the main symbol: its bars and
// its digits (the boxes), as the symbol draws them.
QPixmap StyleSketch(int style)
{
    QPixmap pixmap(64, 40);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setPen(Qt::NoPen);
    const bool textAbove = style >= 1;
    const int mainTop = style == 1 || style == 2 ? 8 : 2;
    const int mainBottom = 31;
    for (int x = 3; x < 40; x += 3)
        p.fillRect(x, mainTop, x % 2 ? 1 : 2, mainBottom - mainTop, Qt::black);
    p.fillRect(6, 33, 30, 5, Qt::gray);
    int addonTop = mainTop;
    int addonBottom = mainBottom;
    if (style == 2)
        addonBottom = 35;
    else if (style == 3)
        addonTop = 9;
    else if (style == 4) {
        addonTop = 9;
        addonBottom = 35;
    }
    for (int x = 45; x < 62; x += 3)
        p.fillRect(x, addonTop, x % 2 ? 1 : 2, addonBottom - addonTop, Qt::black);
    p.fillRect(45, textAbove ? 1 : 33, 16, 5, Qt::gray);
    return pixmap;
}

} // namespace

CSupplementalDlg::CSupplementalDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("附加码设置"));
    auto* layout = new QVBoxLayout(this);
    QFormLayout* lengths = AddGroup(layout, QStringLiteral("长度"));
    m_length = MakeCombo(1098, {QStringLiteral("无"), QStringLiteral("2位"), QStringLiteral("5位")});
    QStringList zones;
    for (int i = 0; i <= 20; ++i)
        zones << QString::asprintf("%dX", i);
    m_quietZone = MakeCombo(1100, zones);
    lengths->addRow(QStringLiteral("附加码长度:"), m_length);
    lengths->addRow(QStringLiteral("左侧空白区:"), m_quietZone);

    auto* styles = new QGroupBox(QStringLiteral("样式"));
    auto* grid = new QGridLayout(styles);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        const QString caption = QString::asprintf("%d", i + 1);
        m_styles[i] = i == 0 ? SetCtlId(new CPngRadioButton(caption), 1143) : MakeRadio(caption, 1143 + i);
        group->addButton(m_styles[i]);
        auto* picture = SetCtlId(new QLabel, 427 + i);
        picture->setPixmap(StyleSketch(i));
        grid->addWidget(m_styles[i], i / 2, (i % 2) * 2);
        grid->addWidget(picture, i / 2, (i % 2) * 2 + 1);
    }
    layout->addWidget(styles);
    layout->addWidget(MakeDialogButtons(this));
    connect(m_length, &QComboBox::activated, this, &CSupplementalDlg::OnLengthChanged);
}

void CSupplementalDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        Exchange(false);
    }
    CVXBaseDialog::showEvent(event);
}

void CSupplementalDlg::Exchange(bool save)
{
    if (save) {
        // A stored value the lists do not hold is kept rather than read as -1.
        if (m_length->currentIndex() >= 0)
            m_nAddonKind = m_length->currentIndex();
        if (m_quietZone->currentIndex() >= 0)
            m_nQuietZone = m_quietZone->currentIndex();
        m_nStyle = 0;
        for (int i = 0; i < 5; ++i) {
            if (m_styles[i]->isChecked()) {
                m_nStyle = i;
                break;
            }
        }
        return;
    }
    m_length->setCurrentIndex(m_nAddonKind >= 0 && m_nAddonKind < m_length->count() ? m_nAddonKind : -1);
    m_quietZone->setCurrentIndex(m_nQuietZone >= 0 && m_nQuietZone < m_quietZone->count() ? m_nQuietZone : -1);
    m_styles[m_nStyle >= 0 && m_nStyle < 5 ? m_nStyle : 0]->setChecked(true);
    OnLengthChanged();
}

void CSupplementalDlg::OnLengthChanged()
{
    const bool addon = m_length->currentIndex() > 0;
    m_quietZone->setEnabled(addon);
    for (QRadioButton* style : m_styles)
        style->setEnabled(addon);
}

bool CSupplementalDlg::OnOK()
{
    Exchange(true);
    return true;
}
