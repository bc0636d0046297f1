#include "MarkerLibrary.h"

#include <QDir>
#include <QFile>
#include <QProcess>

bool BuildMarkerLibrary(const QString& folder, MarkerLibrary& library, QString& error)
{
    const QDir dir(folder);
    library.path = dir.filePath(QStringLiteral("evil.so"));
    library.marker = dir.filePath(QStringLiteral("loaded"));
    const QString source = dir.filePath(QStringLiteral("evil.c"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write("#include <stdio.h>\n"
               "__attribute__((constructor)) static void Mark(void)\n"
               "{\n"
               "    FILE* f = fopen(MARKER, \"w\");\n"
               "    if (f) fclose(f);\n"
               "}\n");
    file.close();
    QProcess cc;
    cc.setProcessChannelMode(QProcess::MergedChannels);
    cc.start(QStringLiteral("cc"),
        {QStringLiteral("-shared"), QStringLiteral("-fPIC"), QStringLiteral("-DMARKER=\"%1\"").arg(library.marker),
            QStringLiteral("-o"), library.path, source});
    if (!cc.waitForFinished(60000) || cc.exitStatus() != QProcess::NormalExit || cc.exitCode() != 0) {
        error = QStringLiteral("cc: ") + cc.errorString() + u'\n' + QString::fromLocal8Bit(cc.readAll());
        return false;
    }
    return QFile::exists(library.path);
}
