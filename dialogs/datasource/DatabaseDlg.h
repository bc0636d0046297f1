#pragma once

#include "app/VXBaseDialog.h"
#include "model/DLBase.h"

#include <memory>
#include <vector>

class CDSBase;
class CLabelData;
class CReportList;
class CVXUnitEdit;
class QLabel;
class QPushButton;
class QShowEvent;
class QTreeWidget;
class QTreeWidgetItem;

// The data sources of one label: a tree lists each description with its type and
// its used fields; descriptions are added (type wizard, then the type's dialog),
// edited and deleted; the rows of the selected one are shown page by page. The
// dialog works on copies: OK hands them to the label, Cancel drops them.
class CDatabaseDlg : public CVXBaseDialog
{
    Q_OBJECT
public:
    // What a tree item stands for.
    enum NodeKind : int { NodeRoot = 0, NodeDataSource = 1, NodeType = 2, NodeFields = 3, NodeField = 4 };

    explicit CDatabaseDlg(QWidget* parent = nullptr);
    ~CDatabaseDlg() override;

    // Before the run: copies of the label's descriptions, in order.
    void CopyDataSources();

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnLoad();
    void OnFirstPage();
    void OnPrevPage();
    void OnNextPage();
    void OnLastPage();
    void GoToPage();

    // The first free "数据源 n" (n up to 87), empty when all are taken.
    QString UniqueName() const;
    // The name shown after "类型: " for a description.
    static QString TypeName(const CDSBase& ds);

    // The dialog's descriptions, in order; they are the label's after OK.
    const std::vector<std::unique_ptr<CDSBase>>& DataSources() const { return m_dataSources; }

    CLabelData* m_pLabelData = nullptr; // set by the caller
    int m_nPageSize = 20;               // set by the caller

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool OnOK() override;

private:
    // One page of a data source's rows and where it lies.
    struct PageState
    {
        bool loaded = false;
        bool counted = false; // the count was tried: its numbers stand, 0 after a failure
        int pageSize = 20;
        int recordCount = 0;
        int pageCount = 0;
        int currentPage = 1;
        LoaderRow rows;
        int fieldCount = 0;
    };
    // What every item of one data source refers to.
    struct DataSourceNode
    {
        CDSBase* ds = nullptr;
        std::unique_ptr<CDLBase> loader; // null for a type without loader
        PageState page;
    };

    void OnInitDialog();
    void BuildTree();
    QTreeWidgetItem* InsertDataSource(CDSBase* ds);
    void AddDataSource(std::unique_ptr<CDSBase> ds);
    void ReplaceDataSource(QTreeWidgetItem* item, std::unique_ptr<CDSBase> edited);
    void FillFieldItems(QTreeWidgetItem* folder, const CDSBase& ds);
    void MakeLoader(DataSourceNode& node);
    bool CountRecords(DataSourceNode& node);
    void LoadCurrentPage(DataSourceNode& node);
    void Unload(DataSourceNode& node);
    void FillRecordList();
    void UpdateButtons();

    QTreeWidgetItem* SelectedItem() const;
    static int KindOf(const QTreeWidgetItem* item);
    DataSourceNode* NodeOf(const QTreeWidgetItem* item) const;
    DataSourceNode* SelectedNode() const;
    QTreeWidgetItem* ChildOfKind(QTreeWidgetItem* item, int kind) const;

    QTreeWidget* m_tree;
    CReportList* m_listRecords;
    QPushButton* m_buttonAdd;
    QPushButton* m_buttonEdit;
    QPushButton* m_buttonDelete;
    QPushButton* m_buttonLoad;
    QPushButton* m_buttonFirst;
    QPushButton* m_buttonPrev;
    QPushButton* m_buttonNext;
    QPushButton* m_buttonLast;
    CVXUnitEdit* m_editPage;
    CVXUnitEdit* m_editPageSize;
    QLabel* m_labelCount;

    std::vector<std::unique_ptr<CDSBase>> m_dataSources;
    std::vector<std::unique_ptr<DataSourceNode>> m_nodes;
    const CDSBase* m_pShown = nullptr; // whose rows the record list shows
    bool m_bInitialised = false;
};

// Runs the data-source manager on a label (the document window's data-source
// command): the page size is the label's columns times rows. True after OK, when
// the label's data sources were replaced by the edited ones.
bool RunDataSourceManager(CLabelData& label, QWidget* parent);
