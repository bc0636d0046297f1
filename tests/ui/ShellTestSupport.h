#pragma once

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class FakeServices;

// Answers the next print dialog: the PDF entry, the file chosen as base (".pdf" is
// added), and OK.
void PrintToPdfOnNextDialog(FakeServices& services, const QString& base);

// Keeps the settings of the program (layout, recent files) in a folder of the test's
// own, empty at the start of each test.
class ShellTest : public testing::Test
{
protected:
    void SetUp() override;

    // Writes a label file with that printer name; returns its path.
    QString WriteLabel(const QString& name, const QString& printer = QStringLiteral("Office"));
    // Writes bytes that are no label file.
    QString WriteDamaged(const QString& name);

    QTemporaryDir m_dir;
};
