// The SGI RGB writer: header layout, planar pixel order, and a read-back by
// ImageMagick.

#include "RgbImageWriter.h"

#include "ImageFiles.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// 300 x 2 so that xsize needs both bytes of its big-endian short.
const int width = 300;
const int height = 2;

bool writeImage(const std::string &name, const std::vector<unsigned char> &pixels) {
    FILE *f = fopen(name.c_str(), "wb");
    bool ok = RgbImageWriter(pixels.data(), width, height).write(f);
    fclose(f);
    return ok;
}

TEST(RgbImageWriter, HeaderAndPlanes) {
    TempFile file;
    std::vector<unsigned char> pixels = testPixels(width, height);
    ASSERT_TRUE(writeImage(file.name, pixels));
    std::vector<unsigned char> bytes = readFile(file.name);
    ASSERT_EQ(512u + 3 * width * height, bytes.size());

    struct Field {
        const char *name;
        size_t offset;
        std::vector<unsigned char> value;
    } fields[] = {
        {"magic 474", 0, {0x01, 0xda}},
        {"storage verbatim", 2, {0}},
        {"one byte per channel", 3, {1}},
        {"dimension 3", 4, {0, 3}},
        {"xsize", 6, {0x01, 0x2c}},
        {"ysize", 8, {0, 2}},
        {"zsize", 10, {0, 3}},
        {"pixmin", 12, {0, 0, 0, 0}},
        {"pixmax", 16, {0, 0, 0, 255}},
        {"colormap normal", 104, {0, 0, 0, 0}},
    };
    for (const Field &f : fields) {
        std::vector<unsigned char> actual(bytes.begin() + f.offset,
                                          bytes.begin() + f.offset + f.value.size());
        EXPECT_EQ(f.value, actual) << f.name;
    }
    // Everything else in the header (dummy bytes, name, padding) is zero.
    for (size_t i = 20; i < 512; i++) {
        bool colormap = i >= 104 && i < 108;
        ASSERT_TRUE(colormap || bytes[i] == 0) << "header byte " << i;
    }

    // The planes follow each other; rows keep the buffer's bottom-up order.
    for (int c = 0; c < 3; c++)
        for (int i = 0; i < width * height; i++)
            ASSERT_EQ(pixels[3 * i + c], bytes[512 + c * width * height + i])
                << "channel " << c << " pixel " << i;
}

// ImageMagick reads the file as SGI and sees the buffer's last row on top.
TEST(RgbImageWriter, ReadBackByImageMagick) {
    TempFile file;
    std::vector<unsigned char> pixels = testPixels(width, height);
    ASSERT_TRUE(writeImage(file.name, pixels));

    EXPECT_EQ("SGI 300x2\n", commandOutput("/usr/bin/identify -format '%m %wx%h\\n' " + file.name));

    std::string ppm = commandOutput("/usr/bin/convert sgi:" + file.name + " -depth 8 ppm:-");
    const std::string header = "P6\n300 2\n255\n";
    ASSERT_EQ(header, ppm.substr(0, header.size()));
    ASSERT_EQ(header.size() + pixels.size(), ppm.size());
    for (int row = 0; row < height; row++) {
        int bufferRow = height - 1 - row;
        for (int i = 0; i < width * 3; i++)
            ASSERT_EQ(pixels[bufferRow * width * 3 + i],
                      (unsigned char)ppm[header.size() + row * width * 3 + i])
                << "row " << row << " byte " << i;
    }
}

TEST(RgbImageWriter, ReportsFailedWrite) {
    std::vector<unsigned char> pixels = testPixels(width, height);
    FILE *f = fopen("/dev/full", "wb");
    ASSERT_NE(nullptr, f);
    EXPECT_FALSE(RgbImageWriter(pixels.data(), width, height).write(f));
    fclose(f);
}

} // namespace
