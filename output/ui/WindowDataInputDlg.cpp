#include "output/ui/WindowDataInputDlg.h"

#include "app/UiServices.h"
#include "model/LabelLimits.h"
#include "model/SDGraph.h"
#include "output/ui/ScreenDataView.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <algorithm>

namespace {

// The form's values are written as "%Y-%m-%d".
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QWidget* MakeControl(const CSDGraph& item, QWidget* parent)
{
    switch (item.GetKind()) {
    case SDStaticText: {
        auto* label = new QLabel(item.m_strText, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    }
    case SDTextBox:
        return new QLineEdit(item.m_strText, parent);
    case SDDropDownList: {
        auto* combo = new QComboBox(parent);
        if (const auto* list = dynamic_cast<const CComboSDGraph*>(&item))
            combo->addItems(list->m_entries);
        combo->setCurrentIndex(std::max(0, combo->findText(item.m_strText)));
        return combo;
    }
    case SDDatePicker: {
        auto* date = new QDateEdit(parent);
        date->setCalendarPopup(true);
        date->setDisplayFormat(kDateFormat);
        const QDate stored = ReadFormDate(item.m_strText);
        date->setDate(stored.isValid() ? stored : Services().CurrentDateTime().date());
        return date;
    }
    default:
        return nullptr;
    }
}

} // namespace

QDate ReadFormDate(const QString& text)
{
    const QString trimmed = text.trimmed();
    // "M" and "d" take one digit or two, so these read the padded forms as well.
    for (const char16_t* format : {u"yyyy-M-d", u"yyyy/M/d", u"yyyy.M.d", u"yyyy年M月d日"}) {
        const QDate date = QDate::fromString(trimmed, QString::fromUtf16(format));
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDate date = locale.toDate(trimmed, type);
        if (date.isValid())
            return date;
    }
    return {};
}

CWindowDataInputDlg::CWindowDataInputDlg(const QString& caption, int width, int height, WindowDataTags* tags,
                                         QWidget* parent)
    : QDialog(parent), m_strCaption(caption), m_nWidth(width), m_nHeight(height), m_pTags(tags)
{
    m_pOK = new QPushButton(QStringLiteral("确定"), this);
    m_pOK->setObjectName(QStringLiteral("ctl_1"));
    m_pOK->setDefault(true);
    m_pOK->resize(75, 23);
    connect(m_pOK, &QPushButton::clicked, this, &QDialog::accept);
}

void CWindowDataInputDlg::Open()
{
    setWindowTitle(m_strCaption);
    // A damaged file may hold any size; no form is larger than the designer allows.
    setFixedSize(std::clamp(m_nWidth, 100, kMaxFormSize),
                 std::clamp(m_nHeight, 80, kMaxFormSize));
    m_pOK->move((width() - m_pOK->width()) / 2, height() - m_pOK->height() - 40);
    for (QPointer<QWidget>& control : m_controls)
        delete control.data();
    m_controls.clear();
    for (const auto& tag : *m_pTags) {
        QWidget* control = tag->m_pItem ? MakeControl(*tag->m_pItem, this) : nullptr;
        if (control) {
            const CSDGraph& item = *tag->m_pItem;
            control->setGeometry(item.m_nX, item.m_nY, item.m_nWidth, item.m_nHeight);
            if (!item.m_strName.isEmpty())
                control->setObjectName(QStringLiteral("field_") + item.m_strName);
            control->show();
        }
        m_controls.emplace_back(control);
    }
}

void CWindowDataInputDlg::accept()
{
    for (size_t i = 0; i < m_pTags->size() && i < m_controls.size(); ++i) {
        QWidget* control = m_controls[i];
        CWindowDataInputTag& tag = *(*m_pTags)[i];
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            tag.m_strValue = edit->text();
        else if (auto* combo = qobject_cast<QComboBox*>(control))
            tag.m_strValue = combo->currentText();
        else if (auto* date = qobject_cast<QDateEdit*>(control))
            tag.m_strValue = date->date().toString(kDateFormat);
    }
    QDialog::accept();
}

CWindowDataPrompt::~CWindowDataPrompt()
{
    delete m_pDialog.data();
}

bool CWindowDataPrompt::Prompt(const QString& caption, int width, int height, WindowDataTags& tags)
{
    if (!m_pDialog)
        m_pDialog = new CWindowDataInputDlg(caption, width, height, &tags, m_pParent.data());
    m_pDialog->Open();
    return Services().RunModal(*m_pDialog) == QDialog::Accepted;
}
