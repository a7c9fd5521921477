#pragma once

#include <QByteArrayView>
#include <QImage>

// Decodes the splash picture's JPEG bytes into an opaque 32-bit image, the pixmap's own format.
// The decoder is compiled into the program rather than reached through Qt's JPEG plug-in, which
// decodes through the JPEG library, leaving its code and tables in memory for the whole run,
// and converts the picture once more for the pixmap: decoding this one small picture here costs
// start-up less time and memory. A null image when the bytes are not a JPEG picture.
QImage decodeSplashPicture(QByteArrayView jpeg);
