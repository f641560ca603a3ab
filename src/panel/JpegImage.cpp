#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's default handler ends the process; this one returns to the caller.
[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr) {}

} // namespace

QImage DecodeJpeg(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = OnMessage;
    // Nothing that needs destruction may live between setjmp and longjmp, and
    // the pointer, set after setjmp, must be volatile to be read back after a
    // longjmp (else an optimised build may see it still null and leak).
    QImage* volatile image = nullptr;
    if (setjmp(errors.jump)) {
        delete image;
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width > 16384 || info.output_height > 16384) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    image = new QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                       QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    QImage result = image->convertToFormat(QImage::Format_RGB32);
    delete image;
    return result;
}
