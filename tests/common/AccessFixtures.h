#pragma once

#include <QByteArray>
#include <QString>

// Access files for the reader's tests. libmdb cannot write one, so these are built
// page by page: a Jet 4 header page (its key block enciphered as Jet expects, with a
// zero database key so that no other page is), a data page holding the usage maps,
// and the definition of the system catalogue on page 2 that claims 65,535 columns,
// whose definitions libmdb reads into memory before it finds the catalogue useless.
QByteArray ColumnHungryAccessFile();

// Writes bytes to path; false when it cannot.
bool WriteAccessFixture(const QString& path, const QByteArray& bytes);
