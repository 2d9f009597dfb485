#pragma once
// Dates as days since 30 December 1899, 00:00 local time, the fraction being the time of day.

#include <QByteArray>
#include <QDateTime>

namespace tarnwell {

double oleDate(const QDateTime& local);
double oleDateNow();
// The 8-byte little-endian IEEE double of a date.
QByteArray oleDateBytes(double days);
double oleDateFromBytes(const QByteArray& bytes);

}  // namespace tarnwell
