#pragma once

#include <QString>

// A shared library whose constructor creates a file: once that file exists, something
// loaded the library. Built at test time with the system's C compiler.
struct MarkerLibrary
{
    QString path; // the library
    QString marker; // the file its loading creates
};

// Builds one in folder; false, with the compiler's words in error, when that fails.
bool BuildMarkerLibrary(const QString& folder, MarkerLibrary& library, QString& error);
