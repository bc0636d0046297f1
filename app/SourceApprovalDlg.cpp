#include "app/SourceApprovalDlg.h"

#include "app/VXBaseDialog.h"
#include "model/DSBase.h"
#include "model/SourceApproval.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSourceApprovalDlg::CSourceApprovalDlg(const QString& label, const CDSBase& ds, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("sourceApproval"));
    setWindowTitle(QStringLiteral("是否允许连接数据库"));
    auto* layout = new QVBoxLayout(this);
    const QString owner = label.isEmpty() ? QStringLiteral("这个标签") : QStringLiteral("标签“%1”").arg(label);
    auto* intro = new QLabel(QStringLiteral("%1中的数据源“%2”要用您在这台电脑上的登录连接数据库。"
                                            "标签可能来自别处：只有您信任它的来源，并且认得下面的服务器和语句时，才选择“允许”。")
                                 .arg(owner, SourceApprovalName(ds)));
    intro->setObjectName(QStringLiteral("sourceApprovalText"));
    intro->setWordWrap(true);
    intro->setMinimumWidth(420);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    for (const auto& [caption, value] : SourceApprovalDetails(ds)) {
        auto* shown = new QLabel(value.isEmpty() ? QStringLiteral("（未指定）") : value);
        shown->setTextFormat(Qt::PlainText);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption + QStringLiteral("："), shown);
    }
    layout->addLayout(form);
    if (ds.m_nRangeMode == RangeSQL) {
        layout->addWidget(new QLabel(QStringLiteral("SQL语句：")));
        auto* statement = new QPlainTextEdit(ds.m_strSQL);
        statement->setObjectName(QStringLiteral("sourceApprovalStatement"));
        statement->setReadOnly(true);
        statement->setMaximumHeight(120);
        layout->addWidget(statement);
    }

    auto* buttons = new QDialogButtonBox;
    QPushButton* allow = buttons->addButton(QStringLiteral("允许"), QDialogButtonBox::AcceptRole);
    allow->setObjectName(QStringLiteral("allow"));
    allow->setAutoDefault(false);
    SetButtonIcon(allow, QStyle::SP_DialogYesButton);
    QPushButton* deny = buttons->addButton(QStringLiteral("不允许"), QDialogButtonBox::RejectRole);
    deny->setObjectName(QStringLiteral("deny"));
    deny->setDefault(true);
    SetButtonIcon(deny, QStyle::SP_DialogNoButton);
    deny->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    FitWindowTitle(*this);
}
