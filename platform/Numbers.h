#pragma once

#include <QString>
#include <QStringView>

// Leading-number readings: the longest numeric prefix after leading white space,
// 0 when there is none ("12abc" is 12, "abc" is 0), in the C locale whatever the
// process locale is. Values typed by users and stored texts are read this way.
double LeadingDouble(QStringView text);
int LeadingInt(QStringView text);
