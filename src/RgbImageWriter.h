#ifndef TESSVANE_RGB_IMAGE_WRITER_H
#define TESSVANE_RGB_IMAGE_WRITER_H

#include <cstdio>

// Writes an image in the uncompressed (verbatim) SGI RGB format: a 512-byte
// big-endian header, then the red, green and blue planes one after another,
// each with its rows from bottom to top. The pixels come interleaved (RGB,
// one byte per channel) with the bottom row first, as OpenGL reads them back.
class RgbImageWriter {
public:
    RgbImageWriter(const unsigned char *newPixels, int newWidth, int newHeight);

    // Returns false when a write to `file` fails.
    bool write(FILE *file) const;

private:
    const unsigned char *pixels;
    int width;
    int height;
};

#endif
