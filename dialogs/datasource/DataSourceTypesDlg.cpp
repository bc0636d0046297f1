#include "dialogs/datasource/DataSourceTypesDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "model/DSBase.h"
#include "model/DataSourceTypes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CDataSourceTypesDlg::CDataSourceTypesDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("数据源创建向导"));
    setWindowIcon(ResourceIcon(326));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("选择数据源类型:")));
    auto* radios = new QVBoxLayout;
    radios->setContentsMargins(16, 0, 0, 0);
    for (const DataSourceTypeInfo& choice : DataSourceTypes())
        radios->addWidget(SetCtlId(new QRadioButton(QString::fromUtf16(choice.wizardCaption)), choice.wizardRadioId));
    layout->addLayout(radios);
    ctl<QRadioButton>(this, DataSourceTypes().front().wizardRadioId)->setChecked(true);

    auto* back = SetCtlId(new QPushButton(QStringLiteral("上一步(&P)")), 1167);
    back->setEnabled(false);
    SetButtonIcon(back, QStyle::SP_ArrowBack);
    auto* next = SetCtlId(new QPushButton(QStringLiteral("下一步(&N)")), 1168);
    SetButtonIcon(next, QStyle::SP_ArrowForward);
    next->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back);
    buttons->addWidget(next);
    buttons->addWidget(MakeDialogButtons(this, QDialogButtonBox::Cancel | QDialogButtonBox::Help));
    layout->addSpacing(8);
    layout->addLayout(buttons);
    connect(next, &QPushButton::clicked, this, &CDataSourceTypesDlg::OnNext);
}

void CDataSourceTypesDlg::OnNext()
{
    // By code: the first checked type wins; none checked keeps the code.
    for (int32_t type = 0; type < kDataSourceTypeCount; ++type) {
        for (const DataSourceTypeInfo& choice : DataSourceTypes()) {
            if (choice.type == type && ctl<QRadioButton>(this, choice.wizardRadioId)->isChecked()) {
                m_nType = type;
                accept();
                return;
            }
        }
    }
    accept();
}
