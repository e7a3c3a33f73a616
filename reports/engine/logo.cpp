#include "reports/engine/logo.h"

#include <cstddef>
#include <cstdio>

#include "reports/engine/jpeg_decoder.h"

// Written at build time from resources/logo.jpg (embed_file.cmake).
extern const unsigned char kLogoJpeg[];
extern const std::size_t kLogoJpegSize;

QByteArray logoJpeg() {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(kLogoJpeg),
                                   static_cast<qsizetype>(kLogoJpegSize));
}

QImage logoImage() {
    // Decoded once: every report and page shares the same pixels.
    static const QImage logo = [] {
        QString why;
        QImage image = decodeJpeg(logoJpeg(), &why);
        if (image.isNull()) std::fprintf(stderr, "Logo des rapports : %s\n", qPrintable(why));
        return image;
    }();
    return logo;
}
