#include "splashpicture.h"

// Only the JPEG decoder, reading from memory, with every function private to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#include <stb_image.h>

#include <limits>
#include <memory>

QImage decodeSplashPicture(QByteArrayView jpeg)
{
    if (jpeg.size() > std::numeric_limits<int>::max()) {
        return {};
    }
    int width = 0;
    int height = 0;
    int components = 0;
    // Four channels a pixel, which is the decoder's fast colour conversion; the fourth is 255.
    const std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc *>(jpeg.data()), int(jpeg.size()),
                              &width, &height, &components, 4),
        &stbi_image_free);
    if (!pixels) {
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const stbi_uc *source = pixels.get();
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, source += 4) {
            line[x] = qRgb(source[0], source[1], source[2]);
        }
    }
    return image;
}
