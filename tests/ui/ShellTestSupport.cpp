#include "ShellTestSupport.h"

#include "FakeServices.h"
#include "app/Ctl.h"
#include "output/ui/PrintDlg.h"

#include "model/DocWriter.h"
#include "model/LabelData.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QSettings>

void ShellTest::SetUp()
{
    static QTemporaryDir settingsDir;
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumcraft"));
    QCoreApplication::setApplicationName(QStringLiteral("Vellumcraft"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings().clear();
    ASSERT_TRUE(m_dir.isValid());
}

QString ShellTest::WriteLabel(const QString& name, const QString& printer)
{
    CLabelData label;
    label.m_strPrinterName = printer;
    CDocWriterV1_0 writer;
    writer.m_strPath = m_dir.filePath(name);
    writer.m_pLabelData = &label;
    writer.WriteDocument();
    return writer.m_strPath;
}

QString ShellTest::WriteDamaged(const QString& name)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a label");
    return path;
}

void PrintToPdfOnNextDialog(FakeServices& services, const QString& base)
{
    services.OnNextDialog([&services, base](QDialog& dialog) {
        auto* printers = ctl<QComboBox>(&dialog, 1001);
        printers->setCurrentIndex(printers->findText(CPrintDlg::PdfEntryText()));
        services.files.push_back(base);
        ctl<QPushButton>(&dialog, 1)->click();
    });
}
