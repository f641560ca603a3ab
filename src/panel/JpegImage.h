// Decoding JPEG pictures (the maker's logo) with libjpeg.
#pragma once

#include <QByteArray>
#include <QImage>

// The decoded picture, or a null image when the data is not a JPEG picture
// libjpeg can decode. Never aborts the program.
QImage DecodeJpeg(const QByteArray& data);
