#include "DataSourceSupport.h"

#include "UiTestSupport.h"
#include "dialogs/datasource/DataSourceDlg.h"
#include "dialogs/datasource/ReportList.h"
#include "model/DSBase.h"

#include <QCheckBox>
#include <QDir>
#include <QRadioButton>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

std::unique_ptr<CDSBase> RunNew(FakeServices& services, int32_t type, FakeServices::DialogHandler handler)
{
    services.OnNextDialog(std::move(handler));
    return RunNewDataSourceDlg(type, nullptr);
}

std::unique_ptr<CDSBase> RunEdit(FakeServices& services, const CDSBase& ds, FakeServices::DialogHandler handler)
{
    services.OnNextDialog(std::move(handler));
    return RunEditDataSourceDlg(ds, nullptr);
}

void ClickCtl(const QWidget* dialog, int id)
{
    auto* button = ctl<QAbstractButton>(dialog, id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    ASSERT_TRUE(button->isEnabled()) << "button " << id << " is disabled";
    // Check boxes and radios react on their mark and caption, which sit at the left.
    const bool marked = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    const QPoint at = marked ? QPoint(8, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

void TypeInto(const QWidget* dialog, int id, const QString& text)
{
    if (auto* multiLine = ctl<QPlainTextEdit>(dialog, id)) {
        multiLine->selectAll();
        QTest::keyClick(multiLine, Qt::Key_Delete);
        QTest::keyClicks(multiLine, text);
        return;
    }
    auto* edit = ctl<QLineEdit>(dialog, id);
    ASSERT_NE(edit, nullptr) << "no edit " << id;
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    TypeText(edit, text);
}

void ChooseItem(const QWidget* dialog, int id, int index)
{
    auto* combo = ctl<QComboBox>(dialog, id);
    ASSERT_NE(combo, nullptr) << "no combo " << id;
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void ChooseItem(const QWidget* dialog, int id, const QString& text)
{
    auto* combo = ctl<QComboBox>(dialog, id);
    ASSERT_NE(combo, nullptr) << "no combo " << id;
    const int index = combo->findText(text, Qt::MatchExactly);
    ASSERT_GE(index, 0) << text.toStdString();
    ChooseItem(dialog, id, index);
}

QStringList ListTexts(const QWidget* dialog, int id)
{
    QStringList texts;
    const auto* list = ctl<QListWidget>(dialog, id);
    for (int i = 0; list && i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QStringList CheckedTexts(const QWidget* dialog, int id)
{
    QStringList texts;
    const auto* list = ctl<QListWidget>(dialog, id);
    for (int i = 0; list && i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            texts.append(list->item(i)->text());
    }
    return texts;
}

void CheckItem(const QWidget* dialog, int id, const QString& text, bool checked)
{
    auto* list = ctl<QListWidget>(dialog, id);
    ASSERT_NE(list, nullptr);
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << text.toStdString();
    items.front()->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void SelectRow(const QWidget* dialog, int id, const QString& text)
{
    auto* list = ctl<QListWidget>(dialog, id);
    ASSERT_NE(list, nullptr);
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << text.toStdString();
    list->scrollToItem(items.front());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.front()).center());
    ASSERT_EQ(list->currentItem(), items.front());
}

QList<QStringList> ReportRows(const QWidget* dialog, int id)
{
    QList<QStringList> rows;
    const auto* list = ctl<CReportList>(dialog, id);
    if (!list)
        return rows;
    rows.append(list->Headers());
    for (int r = 0; r < list->rowCount(); ++r)
        rows.append(list->RowTexts(r));
    return rows;
}

void ExecSQLite(const QString& path, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QString MakeSQLiteFixture(const QString& folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("fixture.db"));
    QFile::remove(path);
    // One transaction: a file sync per statement would make the fixture slow.
    QByteArray sql = "begin; create table people (id integer, name text, note text);"
                     "create table \"Alpha\" (x integer); insert into \"Alpha\" values (1);"
                     "create table zeta (a integer, b text);"
                     "insert into people values (1, '张三', NULL);";
    for (int i = 2; i <= 25; ++i)
        sql += "insert into people values (" + QByteArray::number(i) + ", 'name" + QByteArray::number(i) +
               "', 'note" + QByteArray::number(i) + "');";
    ExecSQLite(path, sql + "commit;");
    return path;
}

QString WriteFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}
