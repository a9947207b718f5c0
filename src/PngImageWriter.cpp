#include "PngImageWriter.h"

#include <cstring>
#include <png.h>

PngImageWriter::PngImageWriter(const unsigned char *newPixels, int newWidth, int newHeight)
    : pixels(newPixels), width(newWidth), height(newHeight) {}

bool PngImageWriter::write(FILE *file) const {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    // A negative row stride tells libpng that the buffer holds the bottom
    // row first; the file gets the top row first.
    png_int_32 rowStride = -3 * width;
    bool written = png_image_write_to_stdio(&image, file, 0, pixels, rowStride, NULL) != 0;
    png_image_free(&image);
    return written && fflush(file) == 0 && !ferror(file);
}
