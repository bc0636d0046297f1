#pragma once

#include "FakeServices.h"
#include "app/Ctl.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QString>
#include <QStringList>

class CDSBase;
class CReportList;
class QDialog;
class QWidget;

// Driving the data-source dialogs through their controls, as a person would.

// Runs the dialog of a new description of the type, or of an edit of ds, through handler.
std::unique_ptr<CDSBase> RunNew(FakeServices& services, int32_t type, FakeServices::DialogHandler handler);
std::unique_ptr<CDSBase> RunEdit(FakeServices& services, const CDSBase& ds, FakeServices::DialogHandler handler);

// A click on the button (push, radio or check) of that id.
void ClickCtl(const QWidget* dialog, int id);
// Replaces the text of the edit of that id, typed key by key.
void TypeInto(const QWidget* dialog, int id, const QString& text);
// Picks a combo box item as the user does, so that its activation reaches the dialog.
void ChooseItem(const QWidget* dialog, int id, int index);
void ChooseItem(const QWidget* dialog, int id, const QString& text);
// The texts of a list widget's items, and of those that are checked.
QStringList ListTexts(const QWidget* dialog, int id);
QStringList CheckedTexts(const QWidget* dialog, int id);
// Checks (or clears) the list item with that text, as a click on its box would.
void CheckItem(const QWidget* dialog, int id, const QString& text, bool checked = true);
// Selects the row of that text in a list widget, as a click would.
void SelectRow(const QWidget* dialog, int id, const QString& text);
// Every row of a report list, header first.
QList<QStringList> ReportRows(const QWidget* dialog, int id);

// An SQLite file holding: people (id, name, note) with 25 rows, the first note NULL;
// "Alpha" (x) with one row; zeta (a, b) with no rows.
QString MakeSQLiteFixture(const QString& folder);
// Runs statements on an SQLite file.
void ExecSQLite(const QString& path, const QByteArray& sql);
// A file holding the bytes.
QString WriteFile(const QString& folder, const QString& name, const QByteArray& bytes);
