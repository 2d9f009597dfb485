#include "app/jpeg_image.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>

namespace tarnwell {

namespace {

// libjpeg's default error handler ends the process; this one jumps back to the decoder.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jumpOnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void ignoreWarning(j_common_ptr, int) {}

// Only plain C data lives in this frame, so the jump back skips no destructor; the image
// belongs to the caller.
bool decodeInto(const unsigned char* data, unsigned long size, QImage* image,
                JpegErrorManager* errors) {
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = jumpOnError;
    errors->base.emit_message = ignoreWarning;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                    QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray& bytes, QString* error) {
    QImage image;
    JpegErrorManager errors{};
    if (bytes.isEmpty()) {
        if (error) *error = QStringLiteral("Empty JPEG data");
        return {};
    }
    if (!decodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()),
                    static_cast<unsigned long>(bytes.size()), &image, &errors)) {
        if (error) *error = QString::fromLocal8Bit(errors.message);
        return {};
    }
    return image;
}

}  // namespace tarnwell
