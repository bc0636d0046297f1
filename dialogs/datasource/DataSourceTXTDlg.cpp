#include "dialogs/datasource/DataSourceTXTDlg.h"

#include "app/Ctl.h"
#include "app/UiServices.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DSBase.h"
#include "model/TextLoader.h"
#include "platform/InputLimits.h"
#include "platform/Numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// In TextSeparatorKind order.
constexpr const char16_t* kSeparatorItems[] = {
    u"一行一条记录", u"以逗号分割",     u"以空格分割",  u"Tab制表符分割",
    u"以反斜杠\"\\\"分割", u"以斜杠\"/\"分割", u"其它分割符", u"自定义分段",
};

QString FieldName(int number)
{
    return QString::asprintf("字段 %d", number);
}

// Header cells as field names. Fields are found by name with letter case aside, so an
// empty cell, or one that repeats an earlier name, is named after its column instead
// (with a suffix should that name be taken too).
QStringList UniqueFieldNames(const QStringList& header)
{
    QStringList names;
    const auto taken = [&names](const QString& name) { return names.contains(name, Qt::CaseInsensitive); };
    for (qsizetype i = 0; i < header.size(); ++i) {
        QString name = header[i];
        if (name.isEmpty() || taken(name))
            name = FieldName(static_cast<int>(i + 1));
        const QString base = name;
        for (int n = 2; taken(name); ++n)
            name = base + QString::asprintf("_%d", n);
        names.append(name);
    }
    return names;
}

} // namespace

CDataSourceTXTDlg::CDataSourceTXTDlg(QWidget* parent)
    : CDataSourceDlg(273, std::make_unique<CTextDS>(), parent)
{
    m_bNew = false;
    setWindowTitle(QStringLiteral("数据源_文本文件"));

    m_editPath = SetCtlId(new QLineEdit, 1170);
    auto* browse = SetCtlId(new QPushButton(QStringLiteral("浏览...")), 1171);
    m_comboSeparator = SetCtlId(new QComboBox, 1172);
    m_editOther = SetCtlId(new QLineEdit, 1173);
    m_editSegments = SetCtlId(new QLineEdit, 1174);
    m_checkHeader = SetCtlId(new QCheckBox(QStringLiteral("首行记录为标题行")), 1004);
    m_radioAll = SetCtlId(new QRadioButton(QStringLiteral("全部记录")), 1175);
    m_radioFromTo = SetCtlId(new QRadioButton(QStringLiteral("序号从")), 1176);
    m_listPreview = SetCtlId(new CReportList, 1179);
    m_labelCount = SetCtlId(new QLabel(QStringLiteral("共 xxx条记录")), 1165);
    m_labelNotes = new QLabel;
    m_labelNotes->setObjectName(QStringLiteral("readNotes"));
    m_labelNotes->setWordWrap(true);
    auto* readData = SetCtlId(new QPushButton(QStringLiteral("读入数据")), 1192);

    auto* file = new QGridLayout;
    file->addWidget(new QLabel(QStringLiteral("文件名:")), 0, 0);
    file->addWidget(m_editPath, 0, 1, 1, 3);
    file->addWidget(browse, 0, 4);
    file->addWidget(new QLabel(QStringLiteral("分割方式:")), 1, 0);
    file->addWidget(m_comboSeparator, 1, 1);
    file->addWidget(new QLabel(QStringLiteral("其它分割符:")), 1, 2);
    file->addWidget(m_editOther, 1, 3);
    file->addWidget(new QLabel(QStringLiteral("自定义分段:")), 2, 0);
    file->addWidget(m_editSegments, 2, 1);
    file->addWidget(new QLabel(QStringLiteral("(逗号分割,如:1,2,3,4)")), 2, 2, 1, 2);
    file->addWidget(m_checkHeader, 3, 1, 1, 3);
    file->setColumnStretch(1, 1);
    file->setColumnStretch(3, 1);

    auto* range = new QHBoxLayout;
    range->addWidget(m_radioAll);
    range->addWidget(m_radioFromTo);
    range->addWidget(MakeRowEdit(1177, 1092, m_editFrom));
    range->addWidget(new QLabel(QStringLiteral("到")));
    range->addWidget(MakeRowEdit(1178, 1093, m_editTo));
    range->addStretch();
    range->addWidget(m_labelCount);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(readData);
    bottom->addStretch();
    bottom->addWidget(
        MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addLayout(range);
    layout->addWidget(m_listPreview, 1);
    layout->addWidget(m_labelNotes);
    layout->addLayout(bottom);
    resize(680, 520);

    connect(browse, &QPushButton::clicked, this, &CDataSourceTXTDlg::OnBrowse);
    connect(m_comboSeparator, &QComboBox::activated, this, &CDataSourceTXTDlg::OnSeparatorChange);
    connect(m_radioAll, &QRadioButton::clicked, this, &CDataSourceTXTDlg::OnRangeChange);
    connect(m_radioFromTo, &QRadioButton::clicked, this, &CDataSourceTXTDlg::OnRangeChange);
    connect(readData, &QPushButton::clicked, this, &CDataSourceTXTDlg::OnReadData);
}

CTextDS& CDataSourceTXTDlg::Text() const
{
    return static_cast<CTextDS&>(*m_pFields);
}

void CDataSourceTXTDlg::OnInitDialog()
{
    for (const char16_t* item : kSeparatorItems)
        m_comboSeparator->addItem(QString::fromUtf16(item));
    m_labelCount->clear();
    UpdateData(false);
    m_comboSeparator->setCurrentIndex(Text().m_nSeparator >= 0 && Text().m_nSeparator < m_comboSeparator->count()
                                          ? Text().m_nSeparator
                                          : -1);
    (Text().m_nRangeMode != RangeAll ? m_radioFromTo : m_radioAll)->setChecked(true);
    OnSeparatorChange();
    OnRangeChange();
    if (m_bEditing)
        OnReadData();
}

void CDataSourceTXTDlg::UpdateData(bool save)
{
    CTextDS& ds = Text();
    if (save) {
        ds.m_strPath = m_editPath->text();
        ds.m_strOtherSeparator = m_editOther->text();
        ds.m_strCustomSegments = m_editSegments->text();
        ds.m_bHeaderRow = m_checkHeader->isChecked();
        PullRowNumbers();
    } else {
        m_editPath->setText(ds.m_strPath);
        m_editOther->setText(ds.m_strOtherSeparator);
        m_editSegments->setText(ds.m_strCustomSegments);
        m_checkHeader->setChecked(ds.m_bHeaderRow);
        m_editFrom->setText(QString::asprintf("%d", ds.m_nFrom));
        m_editTo->setText(QString::asprintf("%d", ds.m_nTo));
    }
}

void CDataSourceTXTDlg::PullRowNumbers()
{
    // Record numbers start at 1.
    Text().m_nFrom = std::max(1, LeadingInt(m_editFrom->text()));
    Text().m_nTo = std::max(1, LeadingInt(m_editTo->text()));
}

void CDataSourceTXTDlg::OnBrowse()
{
    const QString path =
        Services().GetOpenFileName(this, QString(), QString(), QStringLiteral("文本文件 (*.txt *.csv)"));
    if (!path.isEmpty())
        m_editPath->setText(path);
}

void CDataSourceTXTDlg::OnSeparatorChange()
{
    const int choice = m_comboSeparator->currentIndex();
    m_editOther->setEnabled(choice == TextSeparatorOther);
    m_editSegments->setEnabled(choice == TextSeparatorCustom);
    if (choice == TextSeparatorOther)
        m_editOther->setFocus();
    else if (choice == TextSeparatorCustom)
        m_editSegments->setFocus();
}

void CDataSourceTXTDlg::OnRangeChange()
{
    const bool fromTo = m_radioFromTo->isChecked();
    m_editFrom->setEnabled(fromTo);
    m_editTo->setEnabled(fromTo);
}

void CDataSourceTXTDlg::OnReadData()
{
    try {
        ReadData();
    } catch (const std::exception& e) {
        Services().ReportException(this, e);
    }
}

void CDataSourceTXTDlg::ReadData()
{
    UpdateData(true);
    Text().m_nSeparator = m_comboSeparator->currentIndex();
    Text().m_nRangeMode = m_radioFromTo->isChecked() ? RangeFromTo : RangeAll;
    if (!Validate())
        return;
    m_labelNotes->clear();
    QStringList lines;
    if (!ReadLines(lines) || lines.isEmpty())
        return;
    switch (Text().m_nSeparator) {
    case TextSeparatorNone:
        MakeSingleField(lines);
        PreviewSingle(lines);
        break;
    case TextSeparatorCustom:
        SplitFixed(lines);
        break;
    default:
        SplitDelimited(lines);
        break;
    }
}

bool CDataSourceTXTDlg::Validate()
{
    const CTextDS& ds = Text();
    const auto refuse = [this](const char16_t* text, QWidget* focus) {
        Services().ShowMessage(this, QString::fromUtf16(text), MessageIcon::Warning);
        if (focus)
            focus->setFocus();
        return false;
    };
    if (ds.m_strPath.isEmpty())
        return refuse(u"请选择数据文件", nullptr);
    if (ds.m_nSeparator == TextSeparatorOther && ds.m_strOtherSeparator.isEmpty())
        return refuse(u"请输入分割字符!", m_editOther);
    if (ds.m_nSeparator == TextSeparatorCustom) {
        if (ds.m_strCustomSegments.isEmpty())
            return refuse(u"请输入自定义分段!", m_editSegments);
        if (ParseSegments(ds.m_strCustomSegments).empty())
            return refuse(u"自定义分段错误!", nullptr);
    }
    if (m_radioFromTo->isChecked()) {
        for (CVXUnitEdit* edit : {m_editFrom, m_editTo}) {
            if (LeadingInt(edit->text()) <= 0)
                edit->setText(QStringLiteral("1"));
        }
    }
    return true;
}

bool CDataSourceTXTDlg::ReadLines(QStringList& lines)
{
    CTextDS& ds = Text();
    const bool fromTo = m_radioFromTo->isChecked();
    const int keep = kPreviewLines + (ds.m_bHeaderRow ? 1 : 0);
    TextFileHead head;
    QString error;
    const bool read =
        ReadTextFileHead(ds.m_strPath, QuoteSeparator(ds.m_nSeparator, ds.m_strOtherSeparator), keep, head, error);
    if (!read || head.records.isEmpty()) {
        // What an earlier read found belongs to another file and no longer stands.
        ds.m_selectedFields.clear();
        ds.m_sampleValues.clear();
        m_listPreview->Clear();
        m_labelCount->clear();
        if (read) {
            m_labelCount->setText(QStringLiteral("共 0 条记录"));
            error = QStringLiteral("文本文件“%1”中没有数据。").arg(ds.m_strPath);
        }
        Services().ShowMessage(this, error, MessageIcon::Warning);
        return false;
    }
    lines = head.records;
    const qint64 count = fromTo ? qint64(LeadingInt(m_editTo->text())) - LeadingInt(m_editFrom->text()) + 1
                                : head.recordCount - (ds.m_bHeaderRow ? 1 : 0);
    // The loader counts an inverted range, and a header without data, as no record.
    m_labelCount->setText(QString::asprintf("共 %lld 条记录", std::max<qint64>(count, 0)));
    if (head.nonUtf8Lines > 0)
        AddNote(QStringLiteral("有 %1 行不是 UTF-8 编码，已按 GB18030 读入。").arg(head.nonUtf8Lines));
    if (head.openQuoteLine > 0)
        AddNote(QStringLiteral("第 %1 行的双引号没有闭合：该字段到这一行的行尾为止。").arg(head.openQuoteLine));
    return true;
}

void CDataSourceTXTDlg::AddNote(const QString& note)
{
    m_labelNotes->setText(m_labelNotes->text().isEmpty() ? note : m_labelNotes->text() + u'\n' + note);
}

void CDataSourceTXTDlg::SplitDelimited(const QStringList& lines)
{
    const QByteArray separatorUtf8 = TextSeparator(Text().m_nSeparator, Text().m_strOtherSeparator);
    const QString separator = QString::fromUtf8(separatorUtf8);
    // The first record names the fields; a line of millions of separators is
    // counted no further than the limit.
    int count = CountFields(lines.front().toUtf8(), separatorUtf8, kMaxDataFields + 1);
    if (count > kMaxDataFields) {
        count = kMaxDataFields;
        AddNote(QStringLiteral("第一行的字段超过 %1 个，只读入前 %1 个字段。").arg(kMaxDataFields));
    }
    QList<QStringList> rows;
    for (const QString& line : lines)
        rows.append(SplitString(line, separator, count));
    MakeFieldNames(count, rows);
    PreviewRows(rows);
}

void CDataSourceTXTDlg::SplitFixed(const QStringList& lines)
{
    const std::vector<int> widths = ParseSegments(Text().m_strCustomSegments);
    int count = static_cast<int>(std::min<size_t>(widths.size(), kMaxDataFields));
    if (widths.size() > static_cast<size_t>(kMaxDataFields))
        AddNote(QStringLiteral("自定义分段超过 %1 段，只读入前 %1 段。").arg(kMaxDataFields));
    QList<QStringList> rows;
    for (const QString& line : lines)
        rows.append(SplitString(line, QString(), count, widths));
    MakeFieldNames(count, rows);
    PreviewRows(rows);
}

void CDataSourceTXTDlg::MakeFieldNames(int count, const QList<QStringList>& rows)
{
    CTextDS& ds = Text();
    ds.m_selectedFields.clear();
    ds.m_sampleValues.clear();
    if (!ds.m_bHeaderRow) {
        for (int i = 1; i <= count; ++i)
            ds.m_selectedFields.append(FieldName(i));
        ds.m_sampleValues = rows.value(0);
    } else {
        ds.m_selectedFields = UniqueFieldNames(rows.value(0));
        // A file holding only its header line has no sample.
        ds.m_sampleValues = rows.value(1);
    }
}

void CDataSourceTXTDlg::MakeSingleField(const QStringList& lines)
{
    CTextDS& ds = Text();
    ds.m_selectedFields = ds.m_bHeaderRow ? UniqueFieldNames({lines.front()}) : QStringList{FieldName(1)};
    ds.m_sampleValues.clear();
}

void CDataSourceTXTDlg::PreviewRows(const QList<QStringList>& rows)
{
    // The columns are headed by the field names the read made.
    m_listPreview->ShowRows(Text().m_selectedFields, rows.mid(Text().m_bHeaderRow ? 1 : 0), 1, QStringLiteral("......"));
}

void CDataSourceTXTDlg::PreviewSingle(const QStringList& lines)
{
    const bool header = Text().m_bHeaderRow;
    QList<QStringList> rows;
    for (qsizetype i = header ? 1 : 0; i < lines.size(); ++i)
        rows.append(QStringList{lines[i]});
    m_listPreview->ShowRows(Text().m_selectedFields, rows, 1, QStringLiteral("......"));
}

bool CDataSourceTXTDlg::OnOK()
{
    if (Text().m_selectedFields.isEmpty()) {
        Services().ShowMessage(this, QStringLiteral("请读入数据以生成字段信息"), MessageIcon::Warning);
        return false;
    }
    // The record range may still be changed after the read; everything that shapes
    // the fields (file, separators, header line) stays as the read found it.
    PullRowNumbers();
    return true;
}
