#include "RgbImageWriter.h"

#include <vector>

namespace {

const int headerSize = 512;
const int channels = 3;

void putShort(std::vector<unsigned char> &out, size_t at, unsigned value) {
    out[at] = (value >> 8) & 0xff;
    out[at + 1] = value & 0xff;
}

void putLong(std::vector<unsigned char> &out, size_t at, unsigned long value) {
    for (int i = 0; i < 4; i++)
        out[at + i] = (value >> (24 - 8 * i)) & 0xff;
}

} // namespace

RgbImageWriter::RgbImageWriter(const unsigned char *newPixels, int newWidth, int newHeight)
    : pixels(newPixels), width(newWidth), height(newHeight) {}

bool RgbImageWriter::write(FILE *file) const {
    // Header fields at their fixed offsets; everything else (the image name,
    // colormap 0 = normal, padding) stays zero.
    std::vector<unsigned char> header(headerSize, 0);
    putShort(header, 0, 474);       // magic
    header[2] = 0;                  // storage: verbatim
    header[3] = 1;                  // bytes per channel
    putShort(header, 4, 3);         // dimension: several channels
    putShort(header, 6, width);     // xsize
    putShort(header, 8, height);    // ysize
    putShort(header, 10, channels); // zsize
    putLong(header, 12, 0);         // pixmin
    putLong(header, 16, 255);       // pixmax
    if (fwrite(header.data(), 1, header.size(), file) != header.size())
        return false;

    // The planes keep the row order of the buffer: bottom row first.
    size_t pixelCount = (size_t)width * height;
    std::vector<unsigned char> plane(pixelCount);
    for (int c = 0; c < channels; c++) {
        for (size_t i = 0; i < pixelCount; i++)
            plane[i] = pixels[i * channels + c];
        if (fwrite(plane.data(), 1, plane.size(), file) != plane.size())
            return false;
    }
    return fflush(file) == 0 && !ferror(file);
}
