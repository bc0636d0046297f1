#pragma once

// The query texts the suites send their servers, as the tests' sources hold them.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

// The string literals of the suites' sources (adjacent ones joined, as the compiler does) that
// lead as a query, but those with a placeholder of a test's own objects.
inline QStringList SuiteQueries()
{
    static const QRegularExpression literals(QStringLiteral(R"re((?:"(?:[^"\\\n]|\\.)*"\s*)+)re"));
    static const QRegularExpression piece(QStringLiteral(R"re("((?:[^"\\\n]|\\.)*)")re"));
    static const QRegularExpression query(
        QStringLiteral(R"(^\s*(select|with|values)\b)"), QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    QDirIterator files(
        QStringLiteral(VC_SOURCE_DIR "/tests"), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString source = QString::fromUtf8(file.readAll());
        for (auto run = literals.globalMatch(source); run.hasNext();) {
            QString text;
            for (auto part = piece.globalMatch(run.next().captured()); part.hasNext();)
                text += part.next().captured(1);
            text.replace(QLatin1String("\\n"), QLatin1String("\n"))
                .replace(QLatin1String("\\\""), QLatin1String("\""))
                .replace(QLatin1String("\\\\"), QLatin1String("\\"));
            if (query.match(text).hasMatch() && !text.contains(u'%') && !found.contains(text))
                found << text;
        }
    }
    return found;
}
