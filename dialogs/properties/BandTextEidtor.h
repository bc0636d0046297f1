#pragma once

#include "dialogs/properties/BandListController.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class CDataBand;
class CNumSpinCtrl;
class QLineEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// "修改子串数据": pages through the value texts of an object's own bands, one at a
// time. Typed texts wait in each band's edit buffer and reach the value texts only on
// OK or "数据源(&D)...", which also asks for the property dialog on that band.
class CBandTextEidtor : public QDialog
{
    Q_OBJECT
public:
    CBandTextEidtor(BandVector* bands, QWidget* parent = nullptr);

    void accept() override;
    void OnDataSource();
    // Return in the value edit presses OK, as in a single-line edit.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Shows the band whose number the index edit holds.
    void GoToBand();

    // Runs just before the texts are written (the caller's undo record); not at all
    // when no text changed.
    std::function<void()> m_beforeCommit;
    // Tries the new value texts (one per band, in order) on the object before anything
    // is written; throws when the object cannot take them, and the editor stays open.
    std::function<void(const QStringList& values)> m_tryValues;
    bool m_bOpenProperties = false;
    CDataBand* m_pBandToFocus = nullptr;

    QLineEdit* m_index;
    CNumSpinCtrl* m_spin;
    QLabel* m_page;
    QPlainTextEdit* m_value;
    QPushButton* m_dataSource;

private:
    // False when the new texts were refused (told, nothing written).
    bool Commit();

    BandVector* m_pBands;
    int m_nCount;
    int m_nCurrent = -1;
    bool m_bInitialised = false;
};
