// Runs every script of the corpus and compares what it prints with the output recorded
// from an independent implementation of the language (tools/record_vbscript.sh). Lines
// of a fixture starting with "##" say where and why we decided to differ; they are
// not compared.
#include "ScriptTestHost.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QString ReadText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString WithoutNotes(const QString& fixture)
{
    QStringList kept;
    for (const QString& line : fixture.split(u'\n'))
        if (!line.startsWith(QStringLiteral("##")))
            kept << line;
    return kept.join(u'\n');
}

} // namespace

TEST(ScriptCorpus, EachScriptPrintsItsRecordedOutput)
{
    const QDir dir(QStringLiteral(VC_TEST_DATA_DIR "/vbscript"));
    const QStringList scripts = dir.entryList({QStringLiteral("*.vbs")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString& name : scripts) {
        const QString base = name.chopped(4);
        const QString expected = WithoutNotes(ReadText(dir.filePath(base + QStringLiteral(".out"))));
        const QString actual = RunConsoleScript(ReadText(dir.filePath(name)));
        if (qEnvironmentVariableIsSet("VC_SCRIPT_DUMP")) {
            QFile f(QString::fromLocal8Bit(qgetenv("VC_SCRIPT_DUMP")) + u'/' + base + QStringLiteral(".ours"));
            if (f.open(QIODevice::WriteOnly))
                f.write(actual.toUtf8());
        }
        EXPECT_EQ(actual.toStdString(), expected.toStdString()) << name.toStdString();
    }
}
