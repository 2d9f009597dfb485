#pragma once
// Decodes a JPEG picture held in memory with libjpeg into a QImage.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace tarnwell {

// The decoded picture, or a null image with `error` set to libjpeg's message.
QImage decodeJpeg(const QByteArray& bytes, QString* error = nullptr);

}  // namespace tarnwell
