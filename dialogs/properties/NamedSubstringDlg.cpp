#include "dialogs/properties/NamedSubstringDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "dialogs/properties/DataSourcePane.h"
#include "model/DataBand.h"
#include "model/LabelData.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CNamedSubstringNameDlg::CNamedSubstringNameDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("命名子串"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请输入命名子串的名称:")));
    m_name = SetCtlId(new QLineEdit, 1079);
    layout->addWidget(m_name);
    layout->addWidget(MakeDialogButtons(this));
}

void CNamedSubstringNameDlg::accept()
{
    m_strName = m_name->text().trimmed();
    if (m_strName.isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请输入命名子串的名称"), MessageIcon::Warning);
        m_name->setFocus();
        return;
    }
    QDialog::accept();
}

CNamedSubstringDlg::CNamedSubstringDlg(CLabelData* label, CDataBand* select, QWidget* parent)
    : CVXBaseDialog(parent), m_pLabelData(label)
{
    setWindowTitle(QStringLiteral("命名子串"));
    auto* layout = new QVBoxLayout(this);
    CBandListPanel::Options options;
    options.namedSubstrings = true;
    options.newBand = [this]() -> std::unique_ptr<CDataBand> {
        CNamedSubstringNameDlg name(this);
        if (Services().RunModal(name) != QDialog::Accepted)
            return nullptr;
        auto band = std::make_unique<CDataBand>();
        band->m_strName = name.m_strName;
        band->m_strValue = QStringLiteral("样例文字");
        return band;
    };
    m_panel = new CBandListPanel(options);
    layout->addWidget(m_panel, 1);
    layout->addWidget(MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                  | QDialogButtonBox::Help));
    m_panel->Load(label, label->m_namedSubstrings, select);
    resize(560, 360);
}

bool CNamedSubstringDlg::OnOK()
{
    m_panel->StoreCurrent();
    m_panel->Controller().ApplyTo(m_pLabelData->m_namedSubstrings);
    return true;
}

bool EditNamedSubstrings(CLabelData& label, CDataBand* select, QWidget* parent)
{
    CNamedSubstringDlg dialog(&label, select, parent);
    return Services().RunModal(dialog) == QDialog::Accepted;
}
