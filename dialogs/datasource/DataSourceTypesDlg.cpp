#include "dialogs/datasource/DataSourceTypesDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "model/DSBase.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

struct TypeChoice
{
    int id;
    const char16_t* caption;
    int32_t type;
};

// In their order on the dialog, which is not the order of the codes: DB2 (9) stands
// before Sybase (8).
constexpr TypeChoice kChoices[] = {
    {1143, u"文本文件 (*.txt, *.csv)", DSText},
    {1144, u"Excel 文件 (*.xls, *.xlsx)", DSExcel},
    {1145, u"Access 数据库(*.mdb, *.accdb)", DSAccess},
    {1148, u"SQLite 数据库(*.db, *.sqlite)", DSSQLite},
    {1147, u"PostgreSQL 数据库", DSPostgreSQL},
    {1146, u"MySQL 数据库", DSMySQL},
    {1154, u"SQL Server 数据库", DSSQLServer},
    {1149, u"Oracle 数据库", DSOracle},
    {1150, u"IBM DB2 数据库", DSDB2},
    {1152, u"Sybase 数据库", DSSybase},
    {1153, u"OLEDB 数据源", DSOLEDB},
    {1151, u"ODBC 数据源", DSODBC},
    {1155, u"自定义数据源", DSCustom},
};

} // namespace

CDataSourceTypesDlg::CDataSourceTypesDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("数据源创建向导"));
    setWindowIcon(ResourceIcon(326));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("选择数据源类型:")));
    auto* radios = new QVBoxLayout;
    radios->setContentsMargins(16, 0, 0, 0);
    for (const TypeChoice& choice : kChoices)
        radios->addWidget(SetCtlId(new QRadioButton(QString::fromUtf16(choice.caption)), choice.id));
    layout->addLayout(radios);
    ctl<QRadioButton>(this, kChoices[0].id)->setChecked(true);

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
        for (const TypeChoice& choice : kChoices) {
            if (choice.type == type && ctl<QRadioButton>(this, choice.id)->isChecked()) {
                m_nType = type;
                accept();
                return;
            }
        }
    }
    accept();
}
