// The PNG writer: signature and header chunk, and a read-back by
// ImageMagick with the buffer's rows turned top side up.

#include "PngImageWriter.h"

#include "ImageFiles.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Size {
    int width;
    int height;
};

bool writeImage(const std::string &name, const std::vector<unsigned char> &pixels, Size size) {
    FILE *f = fopen(name.c_str(), "wb");
    bool ok = PngImageWriter(pixels.data(), size.width, size.height).write(f);
    fclose(f);
    return ok;
}

unsigned long bigEndian(const std::vector<unsigned char> &bytes, size_t at) {
    return (unsigned long)bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 |
           bytes[at + 3];
}

// 300 wide so that the width needs two bytes; one row, a few rows, and one
// column.
const Size sizes[] = {{300, 1}, {300, 3}, {1, 5}};

TEST(PngImageWriter, SignatureAndHeader) {
    for (Size size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        TempFile file;
        ASSERT_TRUE(writeImage(file.name, testPixels(size.width, size.height), size));
        std::vector<unsigned char> bytes = readFile(file.name);
        ASSERT_GT(bytes.size(), 33u);
        const std::vector<unsigned char> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        EXPECT_EQ(signature, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8));
        EXPECT_EQ(13u, bigEndian(bytes, 8));
        EXPECT_EQ("IHDR", std::string(bytes.begin() + 12, bytes.begin() + 16));
        EXPECT_EQ((unsigned long)size.width, bigEndian(bytes, 16));
        EXPECT_EQ((unsigned long)size.height, bigEndian(bytes, 20));
        EXPECT_EQ(8, bytes[24]); // bit depth
        EXPECT_EQ(2, bytes[25]); // colour type: RGB
        EXPECT_EQ(0, bytes[28]); // not interlaced
    }
}

// ImageMagick sees the buffer's last row on top.
TEST(PngImageWriter, ReadBackByImageMagick) {
    for (Size size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        TempFile file;
        std::vector<unsigned char> pixels = testPixels(size.width, size.height);
        ASSERT_TRUE(writeImage(file.name, pixels, size));

        std::string ppm = commandOutput("/usr/bin/convert png:" + file.name + " -depth 8 ppm:-");
        const std::string header =
            "P6\n" + std::to_string(size.width) + " " + std::to_string(size.height) + "\n255\n";
        ASSERT_EQ(header, ppm.substr(0, header.size()));
        ASSERT_EQ(header.size() + pixels.size(), ppm.size());
        size_t rowBytes = size.width * 3;
        for (int row = 0; row < size.height; row++) {
            int bufferRow = size.height - 1 - row;
            for (size_t i = 0; i < rowBytes; i++)
                ASSERT_EQ(pixels[bufferRow * rowBytes + i],
                          (unsigned char)ppm[header.size() + row * rowBytes + i])
                    << "row " << row << " byte " << i;
        }
    }
}

TEST(PngImageWriter, ReportsFailedWrite) {
    Size size = {300, 3};
    std::vector<unsigned char> pixels = testPixels(size.width, size.height);
    FILE *f = fopen("/dev/full", "wb");
    ASSERT_NE(nullptr, f);
    EXPECT_FALSE(PngImageWriter(pixels.data(), size.width, size.height).write(f));
    fclose(f);
}

} // namespace
