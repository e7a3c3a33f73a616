#include "reports/engine/jpeg_decoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>  // needs size_t and FILE declared first

namespace {

// A damaged header may claim any size; no logo comes near this.
constexpr unsigned long long kMaxPixels = 50'000'000;

struct ErrorManager {
    jpeg_error_mgr pub;  // first: libjpeg hands back &pub
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// libjpeg only warns about corrupt or missing data and fills the rest of
// the picture with grey; for us such a file is damaged.
void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0) onError(cinfo);
}

struct RawPicture {
    unsigned char* pixels = nullptr;  // malloc'ed rows, no padding
    unsigned width = 0;
    unsigned height = 0;
    int components = 0;  // 3: RGB, 4: CMYK as Adobe writes it (inverted)
};

void copyMessage(char* to, const char* from) { std::snprintf(to, JMSG_LENGTH_MAX, "%s", from); }

// Only plain C data lives in this frame, so the jump back from the error
// handler skips no destructor.
bool decodeRaw(const unsigned char* data, unsigned long size, RawPicture* out, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    unsigned char* volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        std::free(pixels);
        jpeg_destroy_decompress(&cinfo);
        copyMessage(message, err.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    const unsigned long long area =
        static_cast<unsigned long long>(cinfo.image_width) * cinfo.image_height;
    if (area == 0 || area > kMaxPixels) {
        jpeg_destroy_decompress(&cinfo);
        copyMessage(message, "image size out of range");
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    pixels = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
    if (!pixels) {
        jpeg_destroy_decompress(&cinfo);
        copyMessage(message, "out of memory");
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + static_cast<size_t>(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    out->pixels = pixels;
    out->width = cinfo.output_width;
    out->height = cinfo.output_height;
    out->components = cinfo.output_components;
    jpeg_destroy_decompress(&cinfo);
    return true;
}

QImage toImage(const RawPicture& raw) {
    const int w = static_cast<int>(raw.width), h = static_cast<int>(raw.height);
    const size_t stride = static_cast<size_t>(raw.width) * raw.components;
    if (raw.components == 3) {
        QImage image(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), raw.pixels + y * stride, stride);
        return image;
    }
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const unsigned char* s = raw.pixels + y * stride;
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, s += 4) {
            const int k = s[3];
            d[x] = qRgb(s[0] * k / 255, s[1] * k / 255, s[2] * k / 255);
        }
    }
    return image;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data, QString* why) {
    RawPicture raw;
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeRaw(reinterpret_cast<const unsigned char*>(data.constData()),
                   static_cast<unsigned long>(data.size()), &raw, message)) {
        if (why) *why = QStringLiteral("image JPEG illisible (%1)").arg(QString::fromLatin1(message));
        return {};
    }
    QImage image = toImage(raw);
    std::free(raw.pixels);
    if (image.isNull() && why) *why = QStringLiteral("image JPEG illisible (mémoire insuffisante)");
    return image;
}
