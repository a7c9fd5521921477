#pragma once

#include <QByteArrayView>
#include <QImage>

// Decodes the splash picture's JPEG bytes into an opaque 32-bit image, the pixmap's own format.
// The decoder is compiled into the program rather than reached through Qt's image plug-ins:
// asking those to read a JPEG first loads and queries every installed plug-in, and then the
// JPEG library behind one of them, which costs start-up more time and memory than decoding
// this one small picture. A null image when the bytes are not a JPEG picture.
QImage decodeSplashPicture(QByteArrayView jpeg);
