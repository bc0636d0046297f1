#pragma once

#include "dialogs/datasource/DataSourceDlg.h"

#include <QStringList>
#include <vector>

class CReportList;
class CTextDS;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The dialog of a text data file: the file, how its lines are cut into fields
// (a separator character or fixed widths), whether the first line names the fields,
// and the record range. "读入数据" reads the first records, decoded and cut exactly
// as the loader does, names the fields and shows a preview (with a note of lines
// that were not UTF-8 and of fields past the limit); OK keeps what that read found.
// A file that cannot be read is said so, naming it.
class CDataSourceTXTDlg : public CDataSourceDlg
{
    Q_OBJECT
public:
    explicit CDataSourceTXTDlg(QWidget* parent = nullptr);

    void OnBrowse();
    void OnSeparatorChange();
    void OnRangeChange();
    void OnReadData();

    // Lines a preview shows.
    static constexpr int kPreviewLines = 10;

protected:
    void OnInitDialog() override;
    bool OnOK() override;

private:
    CTextDS& Text() const;
    // Moves the exchanged values (path, other separator, custom segments, header
    // flag, first and last row) between the fields and the controls.
    void UpdateData(bool save);
    void PullRowNumbers();
    bool Validate();
    void ReadData();
    bool ReadLines(QStringList& lines);
    // A line under the preview: lines that were not UTF-8, fields past the limit.
    void AddNote(const QString& note);
    void SplitDelimited(const QStringList& lines);
    void SplitFixed(const QStringList& lines);
    void MakeFieldNames(int count, const QList<QStringList>& rows);
    void MakeSingleField(const QStringList& lines);
    void PreviewRows(const QList<QStringList>& rows);
    void PreviewSingle(const QStringList& lines);

    QLineEdit* m_editPath;
    QComboBox* m_comboSeparator;
    QLineEdit* m_editOther;
    QLineEdit* m_editSegments;
    QCheckBox* m_checkHeader;
    QRadioButton* m_radioAll;
    QRadioButton* m_radioFromTo;
    CVXUnitEdit* m_editFrom;
    CVXUnitEdit* m_editTo;
    CReportList* m_listPreview;
    QLabel* m_labelCount;
    QLabel* m_labelNotes;
};
