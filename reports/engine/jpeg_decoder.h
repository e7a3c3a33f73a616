// JPEG pictures decoded with libjpeg itself. Every byte is untrusted: a
// damaged, truncated or oversized picture gives a null image and a reason.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

QImage decodeJpeg(const QByteArray& data, QString* why = nullptr);
