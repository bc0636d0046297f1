#include "dialogs/datasource/DatabaseDlg.h"

#include "app/Ctl.h"
#include "app/ResourceIcons.h"
#include "app/UiServices.h"
#include "app/controls/VXUnitEdit.h"
#include "dialogs/datasource/DataSourceDlg.h"
#include "dialogs/datasource/DataSourceTypesDlg.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DSBase.h"
#include "model/DataBand.h"
#include "model/DataSourceTypes.h"
#include "model/ImageGraph.h"
#include "model/LabelData.h"
#include "platform/Numbers.h"
#include "platform/VXException.h"
#include "platform/db/DbWait.h"

#include <QGridLayout>
#include <algorithm>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kItemHeight = 18;
constexpr int kDefaultPageSize = 20;
const QString kTypePrefix = QStringLiteral("类型: ");

// The type name of a file-based description, from the last four characters of
// its path, upper-cased.
QString FileTypeName(const QString& path, const DataSourceFileName (&names)[2])
{
    const QString tail = path.size() >= 4 ? path.right(4).toUpper() : QString();
    for (const DataSourceFileName& name : names) {
        if (name.tail && tail == QLatin1String(name.tail))
            return QString::fromUtf16(name.name);
    }
    return {};
}

QString PathOf(const CDSBase& ds)
{
    if (const auto* text = dynamic_cast<const CTextDS*>(&ds))
        return text->m_strPath;
    if (const auto* excel = dynamic_cast<const CExcelDS*>(&ds))
        return excel->m_strPath;
    if (const auto* access = dynamic_cast<const CAccessDS*>(&ds))
        return access->m_strPath;
    return {};
}

// How many objects and named substrings of the label read the data source of that
// name; the print finds a source by its name in any letter case.
int CountReaders(const CLabelData& label, const QString& name)
{
    const auto reads = [&](const std::unique_ptr<CDataBand>& band) {
        return band->m_nKind == BandDatabase && band->m_strDataSource.compare(name, Qt::CaseInsensitive) == 0;
    };
    int readers = 0;
    for (const std::unique_ptr<CBaseGraph>& object : label.m_objects) {
        if (const auto* image = dynamic_cast<const CImageGraph*>(object.get())) {
            readers += image->m_nSourceKind == ImageDataSource
                       && image->m_strDataSource.compare(name, Qt::CaseInsensitive) == 0;
        } else if (const DataBandList* bands = ObjectBands(object.get())) {
            readers += std::any_of(bands->begin(), bands->end(), reads);
        }
    }
    return readers + static_cast<int>(std::count_if(label.m_namedSubstrings.begin(), label.m_namedSubstrings.end(), reads));
}

QPushButton* Button(const QString& text, int id)
{
    return SetCtlId(new QPushButton(text), id);
}

} // namespace

CDatabaseDlg::CDatabaseDlg(QWidget* parent) : CVXBaseDialog(parent)
{
    setWindowTitle(QStringLiteral("数据库"));
    setWindowIcon(ResourceIcon(326));

    m_tree = SetCtlId(new QTreeWidget, 1112);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_listRecords = SetCtlId(new CReportList, 1089);
    m_buttonAdd = Button(QStringLiteral("添加"), 1114);
    m_buttonEdit = Button(QStringLiteral("编辑"), 1113);
    m_buttonDelete = Button(QStringLiteral("删除"), 3);
    m_buttonLoad = Button(QStringLiteral("加载"), 4);
    m_buttonFirst = Button(QString(), 1115);
    m_buttonPrev = Button(QString(), 1116);
    m_buttonNext = Button(QString(), 1117);
    m_buttonLast = Button(QString(), 1118);
    // Icons in place of the letters F, P, N and L.
    const std::pair<QPushButton*, int> icons[] = {
        {m_buttonFirst, 276}, {m_buttonPrev, 279}, {m_buttonNext, 278}, {m_buttonLast, 277}};
    for (const auto& [button, icon] : icons) {
        button->setIcon(ResourceIcon(icon));
        button->setIconSize(QSize(16, 16));
    }
    m_editPage = SetCtlId(new CVXUnitEdit, 1079);
    m_editPageSize = SetCtlId(new CVXUnitEdit, 17);
    for (CVXUnitEdit* edit : {m_editPage, m_editPageSize}) {
        edit->m_nValueType = CVXUnitEdit::ValueInteger;
        edit->m_bShowUnit = false;
        edit->m_bCheckMin = true;
        edit->m_fMin = 1.0f;
        edit->UpdateFrame();
        edit->setFixedWidth(60);
    }
    m_labelCount = SetCtlId(new QLabel, 1165);

    auto* left = new QVBoxLayout;
    left->addWidget(m_tree, 1);
    auto* treeButtons = new QGridLayout;
    treeButtons->addWidget(m_buttonAdd, 0, 0);
    treeButtons->addWidget(m_buttonEdit, 0, 1);
    treeButtons->addWidget(m_buttonDelete, 1, 0);
    treeButtons->addWidget(m_buttonLoad, 1, 1);
    left->addLayout(treeButtons);

    auto* paging = new QHBoxLayout;
    for (QPushButton* button : {m_buttonFirst, m_buttonPrev})
        paging->addWidget(button);
    paging->addWidget(m_editPage);
    for (QPushButton* button : {m_buttonNext, m_buttonLast})
        paging->addWidget(button);
    paging->addSpacing(12);
    paging->addWidget(new QLabel(QStringLiteral("每页")));
    paging->addWidget(m_editPageSize);
    paging->addWidget(new QLabel(QStringLiteral("条记录")));
    paging->addStretch();
    paging->addWidget(m_labelCount);
    auto* right = new QVBoxLayout;
    right->addWidget(m_listRecords, 1);
    right->addLayout(paging);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(
        MakeDialogButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help));
    resize(860, 560);

    // Return never presses a button here: in the page number it turns the page.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(m_buttonAdd, &QPushButton::clicked, this, &CDatabaseDlg::OnAdd);
    connect(m_buttonEdit, &QPushButton::clicked, this, &CDatabaseDlg::OnEdit);
    connect(m_buttonDelete, &QPushButton::clicked, this, &CDatabaseDlg::OnDelete);
    connect(m_buttonLoad, &QPushButton::clicked, this, &CDatabaseDlg::OnLoad);
    connect(m_buttonFirst, &QPushButton::clicked, this, &CDatabaseDlg::OnFirstPage);
    connect(m_buttonPrev, &QPushButton::clicked, this, &CDatabaseDlg::OnPrevPage);
    connect(m_buttonNext, &QPushButton::clicked, this, &CDatabaseDlg::OnNextPage);
    connect(m_buttonLast, &QPushButton::clicked, this, &CDatabaseDlg::OnLastPage);
    connect(m_editPage, &QLineEdit::returnPressed, this, &CDatabaseDlg::GoToPage);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
        FillRecordList();
        UpdateButtons();
    });
}

CDatabaseDlg::~CDatabaseDlg()
{
    // The tree outlives the members it reports to.
    m_tree->blockSignals(true);
}

void CDatabaseDlg::CopyDataSources()
{
    if (!m_pLabelData)
        return;
    for (const std::unique_ptr<CDSBase>& ds : m_pLabelData->m_dataSources)
        m_dataSources.push_back(ds->Clone());
}

void CDatabaseDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    CVXBaseDialog::showEvent(event);
}

void CDatabaseDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    CVXBaseDialog::keyPressEvent(event);
}

void CDatabaseDlg::OnInitDialog()
{
    BuildTree();
    // Also when nothing is selected, so that no placeholder count stands.
    FillRecordList();
    UpdateButtons();
}

void CDatabaseDlg::BuildTree()
{
    auto* root = new QTreeWidgetItem(QStringList{QStringLiteral("全部数据源")});
    root->setData(0, kKindRole, NodeRoot);
    root->setSizeHint(0, QSize(-1, kItemHeight));
    m_tree->addTopLevelItem(root);
    for (const std::unique_ptr<CDSBase>& ds : m_dataSources)
        InsertDataSource(ds.get());
    root->setExpanded(true);
    if (QTreeWidgetItem* first = root->child(0)) {
        first->setExpanded(true);
        m_tree->setCurrentItem(first);
    }
}

QTreeWidgetItem* CDatabaseDlg::InsertDataSource(CDSBase* ds)
{
    auto node = std::make_unique<DataSourceNode>();
    node->ds = ds;
    node->page.pageSize = m_nPageSize > 0 ? m_nPageSize : kDefaultPageSize;
    MakeLoader(*node);
    const QVariant nodeData = QVariant::fromValue(static_cast<void*>(node.get()));
    m_nodes.push_back(std::move(node));

    const auto makeItem = [&](QTreeWidgetItem* parent, const QString& text, int kind) {
        auto* item = new QTreeWidgetItem(parent, QStringList{text});
        item->setData(0, kKindRole, kind);
        item->setData(0, kNodeRole, nodeData);
        item->setSizeHint(0, QSize(-1, kItemHeight));
        return item;
    };
    QTreeWidgetItem* item = makeItem(m_tree->topLevelItem(0), ds->m_strName, NodeDataSource);
    makeItem(item, kTypePrefix + TypeName(*ds), NodeType);
    FillFieldItems(makeItem(item, QStringLiteral("数据字段"), NodeFields), *ds);
    return item;
}

void CDatabaseDlg::FillFieldItems(QTreeWidgetItem* folder, const CDSBase& ds)
{
    qDeleteAll(folder->takeChildren());
    for (const QString& field : ds.m_selectedFields) {
        auto* item = new QTreeWidgetItem(folder, QStringList{field});
        item->setData(0, kKindRole, NodeField);
        item->setData(0, kNodeRole, folder->data(0, kNodeRole));
        item->setSizeHint(0, QSize(-1, kItemHeight));
    }
}

void CDatabaseDlg::MakeLoader(DataSourceNode& node)
{
    node.loader.reset();
    try {
        node.loader = CDLBase::CreateLoader(node.ds->GetType());
        node.loader->SetDataSource(node.ds);
        // Its pages are turned any way: each shows the records print puts there.
        node.loader->SetBrowsedLoads(true);
    } catch (const CDataSourceException&) {
        // Listed and kept, but its rows cannot be read: "加载" says so.
    }
}

QString CDatabaseDlg::TypeName(const CDSBase& ds)
{
    const DataSourceTypeInfo* info = FindDataSourceType(ds.GetType());
    if (!info)
        return {};
    if (info->typeName)
        return QString::fromUtf16(info->typeName);
    return FileTypeName(PathOf(ds), info->fileNames);
}

QString CDatabaseDlg::UniqueName() const
{
    for (int n = 1; n <= 87; ++n) {
        const QString name = QString::asprintf("%s %d", "数据源", n);
        const bool taken = std::any_of(m_dataSources.begin(), m_dataSources.end(),
                                       [&](const std::unique_ptr<CDSBase>& ds) { return ds->m_strName == name; });
        if (!taken)
            return name;
    }
    return {};
}

void CDatabaseDlg::OnAdd()
{
    CDataSourceTypesDlg wizard(this);
    if (Services().RunModal(wizard) != QDialog::Accepted)
        return;
    // The dialog's database steps name the source by the name it is about to get.
    const QString name = UniqueName();
    std::unique_ptr<CDSBase> ds;
    {
        const DbSourceScope scope(name);
        ds = RunNewDataSourceDlg(wizard.m_nType, this);
    }
    if (ds) {
        ds->m_strName = name;
        AddDataSource(std::move(ds));
    }
    UpdateButtons();
}

void CDatabaseDlg::AddDataSource(std::unique_ptr<CDSBase> ds)
{
    m_dataSources.push_back(std::move(ds));
    QTreeWidgetItem* item = InsertDataSource(m_dataSources.back().get());
    m_tree->topLevelItem(0)->setExpanded(true);
    item->setExpanded(true);
    m_tree->setCurrentItem(item);
    // Its first page at once: an empty grid would look like a failed import.
    OnLoad();
    UpdateButtons();
}

void CDatabaseDlg::OnEdit()
{
    QTreeWidgetItem* item = SelectedItem();
    if (KindOf(item) != NodeDataSource)
        return;
    const DbSourceScope scope(NodeOf(item)->ds->m_strName);
    if (std::unique_ptr<CDSBase> edited = RunEditDataSourceDlg(*NodeOf(item)->ds, this))
        ReplaceDataSource(item, std::move(edited));
    UpdateButtons();
}

void CDatabaseDlg::ReplaceDataSource(QTreeWidgetItem* item, std::unique_ptr<CDSBase> edited)
{
    DataSourceNode& node = *NodeOf(item);
    edited->m_strName = node.ds->m_strName;
    // The description object stays, with its place in the list and its page state.
    node.ds->CopyFrom(*edited);
    // A loader may hold a connection to what the description named before.
    MakeLoader(node);
    ChildOfKind(item, NodeType)->setText(0, kTypePrefix + TypeName(*node.ds));
    FillFieldItems(ChildOfKind(item, NodeFields), *node.ds);
    m_pShown = nullptr;
    if (node.page.loaded && CountRecords(node)) {
        node.page.currentPage = 1;
        LoadCurrentPage(node);
    } else {
        Unload(node);
        node.page.counted = false;
        FillRecordList();
    }
}

void CDatabaseDlg::OnDelete()
{
    QTreeWidgetItem* item = SelectedItem();
    if (KindOf(item) != NodeDataSource)
        return;
    DataSourceNode* node = NodeOf(item);
    CDSBase* ds = node->ds;
    // Objects that read the source would print without its values, and nothing would
    // say why.
    if (const int readers = m_pLabelData ? CountReaders(*m_pLabelData, ds->m_strName) : 0) {
        const QString question = QStringLiteral("数据源“%1”被标签中的%2处对象使用，删除后它们将打印为空。\n确定要删除吗？")
                                     .arg(ds->m_strName)
                                     .arg(readers);
        if (Services().ShowMessage(this, question, MessageIcon::Question, MessageButtons::YesNo) != IDYES)
            return;
    }
    // The tree lets go of the items first; the selection moving on may still read
    // this node, so it goes after them.
    delete item;
    if (m_pShown == ds)
        m_pShown = nullptr;
    std::erase_if(m_nodes, [node](const std::unique_ptr<DataSourceNode>& n) { return n.get() == node; });
    std::erase_if(m_dataSources, [ds](const std::unique_ptr<CDSBase>& d) { return d.get() == ds; });
    FillRecordList();
    UpdateButtons();
}

void CDatabaseDlg::OnLoad()
{
    DataSourceNode* node = SelectedNode();
    if (!node)
        return;
    if (!node->loader) {
        Services().ShowMessage(this, NoLoaderMessage(), MessageIcon::Stop);
        return;
    }
    if (!CountRecords(*node))
        return;
    node->page.currentPage = 1;
    LoadCurrentPage(*node);
}

bool CDatabaseDlg::CountRecords(DataSourceNode& node)
{
    int size = LeadingInt(m_editPageSize->text());
    if (size <= 0)
        size = m_nPageSize > 0 ? m_nPageSize : kDefaultPageSize;
    node.page.pageSize = size;
    node.page.counted = true;
    m_editPageSize->setText(QString::asprintf("%d", size));
    try {
        node.page.recordCount = node.loader->GetRecordCount();
    } catch (const std::exception& e) {
        // What was counted before no longer holds.
        node.page.recordCount = 0;
        Unload(node);
        m_pShown = nullptr;
        FillRecordList();
        UpdateButtons();
        Services().ReportException(this, e);
        return false;
    }
    return true;
}

void CDatabaseDlg::Unload(DataSourceNode& node)
{
    node.page.loaded = false;
    node.page.rows.Clear();
    node.page.pageCount = 0;
}

void CDatabaseDlg::LoadCurrentPage(DataSourceNode& node)
{
    PageState& page = node.page;
    Unload(node);
    bool loaded = false;
    try {
        loaded = node.loader->LoadPage(page.currentPage, page.pageSize, page.rows);
    } catch (const std::exception& e) {
        page.rows.Clear();
        UpdateButtons();
        Services().ReportException(this, e);
        return;
    }
    if (!loaded) {
        page.rows.Clear();
        UpdateButtons();
        if (!node.loader->ErrorShown())
            Services().ShowMessage(this, node.loader->GetLastError(), MessageIcon::Stop);
        return;
    }
    page.fieldCount = static_cast<int>(node.ds->m_selectedFields.size());
    page.pageCount = page.recordCount / page.pageSize + (page.recordCount % page.pageSize ? 1 : 0);
    page.loaded = true;
    m_pShown = nullptr;
    FillRecordList();
    UpdateButtons();
}

void CDatabaseDlg::OnFirstPage()
{
    if (DataSourceNode* node = SelectedNode()) {
        node->page.currentPage = 1;
        LoadCurrentPage(*node);
    }
}

void CDatabaseDlg::OnPrevPage()
{
    if (DataSourceNode* node = SelectedNode()) {
        node->page.currentPage = std::max(1, node->page.currentPage - 1);
        LoadCurrentPage(*node);
    }
}

void CDatabaseDlg::OnNextPage()
{
    if (DataSourceNode* node = SelectedNode()) {
        node->page.currentPage = std::min(node->page.pageCount, node->page.currentPage + 1);
        LoadCurrentPage(*node);
    }
}

void CDatabaseDlg::OnLastPage()
{
    if (DataSourceNode* node = SelectedNode()) {
        node->page.currentPage = std::max(1, node->page.pageCount);
        LoadCurrentPage(*node);
    }
}

void CDatabaseDlg::GoToPage()
{
    DataSourceNode* node = SelectedNode();
    if (!node)
        return;
    if (node->page.pageCount == 0) {
        OnLoad();
        return;
    }
    node->page.currentPage = std::clamp(LeadingInt(m_editPage->text()), 1, node->page.pageCount);
    LoadCurrentPage(*node);
}

void CDatabaseDlg::FillRecordList()
{
    DataSourceNode* node = SelectedNode();
    if (!node) {
        // Nothing to page through: no page, no size, no count. A source loaded from
        // here pages by the label's page size.
        m_listRecords->Clear();
        m_editPage->clear();
        m_editPageSize->clear();
        m_labelCount->clear();
        m_pShown = nullptr;
        return;
    }
    if (node->ds == m_pShown)
        return;
    const PageState& page = node->page;
    QList<QStringList> rows;
    if (page.loaded) {
        for (int r = 0; r < page.rows.RowCount(); ++r) {
            QStringList values;
            for (int c = 0; c < page.fieldCount; ++c)
                values.append(page.rows.Value(r, c));
            rows.append(values);
        }
    }
    m_listRecords->ShowRows(node->ds->m_selectedFields, rows, (page.currentPage - 1) * page.pageSize + 1, QString());
    m_editPage->setText(QString::asprintf("%d", page.currentPage));
    m_editPageSize->setText(QString::asprintf("%d", page.pageSize));
    // Never the words without their numbers: a source not yet counted shows none.
    m_labelCount->setText(page.counted ? QString::asprintf("共%d条记录,%d页", page.recordCount, page.pageCount)
                                       : QString());
    m_pShown = node->ds;
}

void CDatabaseDlg::UpdateButtons()
{
    QTreeWidgetItem* item = SelectedItem();
    const DataSourceNode* node = NodeOf(item);
    const bool dataSource = KindOf(item) == NodeDataSource;
    const bool loaded = node && node->page.loaded;
    m_buttonEdit->setEnabled(dataSource);
    m_buttonDelete->setEnabled(dataSource);
    m_buttonLoad->setEnabled(node != nullptr);
    m_buttonFirst->setEnabled(loaded && node->page.currentPage >= 2);
    m_buttonPrev->setEnabled(loaded && node->page.currentPage >= 2);
    m_buttonNext->setEnabled(loaded && node->page.currentPage < node->page.pageCount);
    m_buttonLast->setEnabled(loaded && node->page.currentPage < node->page.pageCount);
}

bool CDatabaseDlg::OnOK()
{
    if (m_pLabelData) {
        // The edited descriptions become the label's; the old ones go.
        m_pLabelData->m_dataSources = std::move(m_dataSources);
        m_dataSources.clear();
    }
    return true;
}

QTreeWidgetItem* CDatabaseDlg::SelectedItem() const
{
    return m_tree->currentItem();
}

int CDatabaseDlg::KindOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kKindRole).toInt() : -1;
}

CDatabaseDlg::DataSourceNode* CDatabaseDlg::NodeOf(const QTreeWidgetItem* item) const
{
    return item ? static_cast<DataSourceNode*>(item->data(0, kNodeRole).value<void*>()) : nullptr;
}

CDatabaseDlg::DataSourceNode* CDatabaseDlg::SelectedNode() const
{
    return NodeOf(SelectedItem());
}

QTreeWidgetItem* CDatabaseDlg::ChildOfKind(QTreeWidgetItem* item, int kind) const
{
    for (int i = 0; i < item->childCount(); ++i) {
        if (KindOf(item->child(i)) == kind)
            return item->child(i);
    }
    return nullptr;
}

bool RunDataSourceManager(CLabelData& label, QWidget* parent)
{
    CDatabaseDlg dialog(parent);
    dialog.m_pLabelData = &label;
    dialog.m_nPageSize = label.m_nColumns * label.m_nRows;
    dialog.CopyDataSources();
    return Services().RunModal(dialog) == QDialog::Accepted;
}
