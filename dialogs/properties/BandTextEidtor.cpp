#include "dialogs/properties/BandTextEidtor.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/NumSpinCtrl.h"
#include "dialogs/properties/DataSourcePane.h"
#include "dialogs/properties/SettingsControls.h"
#include "model/DataBand.h"
#include "platform/Numbers.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CBandTextEidtor::CBandTextEidtor(BandVector* bands, QWidget* parent)
    : QDialog(parent), m_pBands(bands), m_nCount(static_cast<int>(bands->size()))
{
    setWindowTitle(QStringLiteral("修改子串数据"));
    auto* layout = new QVBoxLayout(this);
    auto* indexRow = new QHBoxLayout;
    m_index = SetCtlId(new QLineEdit, 1079);
    m_index->setReadOnly(true);
    m_spin = MakeSpin(1214, m_index, 1, static_cast<float>(std::max(m_nCount, 1)));
    m_page = SetCtlId(new QLabel, 1213);
    indexRow->addWidget(MakeBuddyLabel(QStringLiteral("子字串(&S):"), m_index));
    indexRow->addWidget(EditWithSpin(m_index, m_spin));
    indexRow->addWidget(m_page);
    indexRow->addStretch(1);
    layout->addLayout(indexRow);
    layout->addWidget(new QLabel(QStringLiteral("显示数据:")));
    m_value = SetCtlId(new QPlainTextEdit, 1204);
    m_value->setTabChangesFocus(true);
    m_value->installEventFilter(this);
    layout->addWidget(m_value, 1);
    auto* buttons = new QHBoxLayout;
    m_dataSource = SetCtlId(new QPushButton(QStringLiteral("数据源(&D)...")), 1081);
    m_dataSource->setAutoDefault(false);
    buttons->addWidget(m_dataSource);
    buttons->addStretch(1);
    QDialogButtonBox* box = MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                        | QDialogButtonBox::Help);
    buttons->addWidget(box);
    layout->addLayout(buttons);
    connect(m_dataSource, &QPushButton::clicked, this, &CBandTextEidtor::OnDataSource);
    connect(m_index, &QLineEdit::textChanged, this, &CBandTextEidtor::GoToBand);

    for (const auto& band : *m_pBands)
        band->m_strWorkText = band->m_strValue;
    if (m_nCount == 0) {
        // Nothing to page through: the count shows, the edits stay off.
        m_page->setText(QStringLiteral("0 / 0"));
        m_index->setEnabled(false);
        m_spin->setEnabled(false);
        m_value->setEnabled(false);
    } else {
        m_index->setText(QStringLiteral("1"));
    }
    m_bInitialised = true;
    GoToBand();
    resize(420, 240);
}

void CBandTextEidtor::GoToBand()
{
    if (!m_bInitialised || m_nCount == 0)
        return;
    const int index = LeadingInt(m_index->text()) - 1;
    if (index < 0 || index >= m_nCount)
        return;
    if (m_nCurrent >= 0)
        (*m_pBands)[static_cast<size_t>(m_nCurrent)]->m_strWorkText = BandTextFromEdit(m_value->toPlainText());
    m_nCurrent = index;
    m_page->setText(QString::asprintf("%d / %d", m_nCurrent + 1, m_nCount));
    m_value->setPlainText(BandTextForEdit((*m_pBands)[static_cast<size_t>(m_nCurrent)]->m_strWorkText));
}

bool CBandTextEidtor::Commit()
{
    if (m_nCurrent < 0)
        return true;
    CDataBand& current = *(*m_pBands)[static_cast<size_t>(m_nCurrent)];
    current.m_strWorkText = BandTextFromEdit(m_value->toPlainText());
    // An untouched text keeps its own line breaks; no change at all is no edit.
    auto changed = [](const CDataBand& band) {
        return BandTextForEdit(band.m_strWorkText) != BandTextForEdit(band.m_strValue);
    };
    if (std::none_of(m_pBands->begin(), m_pBands->end(), [&](const auto& band) { return changed(*band); }))
        return true;
    if (m_tryValues) {
        QStringList values;
        for (const auto& band : *m_pBands)
            values << (changed(*band) ? band->m_strWorkText : band->m_strValue);
        try {
            m_tryValues(values);
        } catch (const std::exception& e) {
            Services().ReportException(this, e);
            return false;
        }
    }
    if (m_beforeCommit)
        m_beforeCommit();
    for (const auto& band : *m_pBands) {
        if (changed(*band))
            band->m_strValue = band->m_strWorkText;
    }
    return true;
}

bool CBandTextEidtor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_value && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CBandTextEidtor::accept()
{
    if (Commit())
        QDialog::accept();
}

void CBandTextEidtor::OnDataSource()
{
    if (!Commit())
        return;
    m_bOpenProperties = true;
    m_pBandToFocus = m_nCurrent >= 0 ? (*m_pBands)[static_cast<size_t>(m_nCurrent)].get() : nullptr;
    QDialog::accept();
}

