#ifndef TESSVANE_PNG_IMAGE_WRITER_H
#define TESSVANE_PNG_IMAGE_WRITER_H

#include <cstdio>

// Writes an image as an 8-bit RGB PNG through libpng, rows from top to
// bottom. The pixels come interleaved (RGB, one byte per channel) with the
// bottom row first, as OpenGL reads them back.
class PngImageWriter {
public:
    PngImageWriter(const unsigned char *newPixels, int newWidth, int newHeight);

    // Returns false when libpng or a write to `file` fails.
    bool write(FILE *file) const;

private:
    const unsigned char *pixels;
    int width;
    int height;
};

#endif
