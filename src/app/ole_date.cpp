#include "app/ole_date.h"

#include <QDate>
#include <QtEndian>
#include <cstring>

namespace tarnwell {

double oleDate(const QDateTime& local) {
    const QDateTime time = local.toLocalTime();
    const double days = static_cast<double>(QDate(1899, 12, 30).daysTo(time.date()));
    return days + time.time().msecsSinceStartOfDay() / 86'400'000.0;
}

double oleDateNow() {
    return oleDate(QDateTime::currentDateTime());
}

QByteArray oleDateBytes(double days) {
    quint64 bits;
    std::memcpy(&bits, &days, sizeof bits);
    QByteArray bytes(8, '\0');
    qToLittleEndian(bits, bytes.data());
    return bytes;
}

double oleDateFromBytes(const QByteArray& bytes) {
    if (bytes.size() != 8) return 0.0;
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData());
    double days;
    std::memcpy(&days, &bits, sizeof days);
    return days;
}

}  // namespace tarnwell
