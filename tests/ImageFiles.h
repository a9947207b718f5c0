#ifndef TESSVANE_TEST_IMAGE_FILES_H
#define TESSVANE_TEST_IMAGE_FILES_H

// Helpers shared by the image writer tests: test pixels, a temporary file,
// reading a file whole and running a command.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

// RGB pixels, row by row: every pixel differs from its neighbours and each
// channel from the others.
inline std::vector<unsigned char> testPixels(int width, int height) {
    std::vector<unsigned char> pixels(width * height * 3);
    for (int i = 0; i < width * height; i++) {
        pixels[3 * i] = i % 251;
        pixels[3 * i + 1] = (i * 7 + 1) % 253;
        pixels[3 * i + 2] = 255 - i % 256;
    }
    return pixels;
}

// An empty file in /tmp, removed with the object.
struct TempFile {
    std::string name;
    TempFile() {
        char pattern[] = "/tmp/tessvane-imageXXXXXX";
        int fd = mkstemp(pattern);
        close(fd);
        name = pattern;
    }
    ~TempFile() { remove(name.c_str()); }
};

// The bytes of a file; none if it cannot be read.
inline std::vector<unsigned char> readFile(const std::string &name) {
    std::vector<unsigned char> bytes;
    FILE *f = fopen(name.c_str(), "rb");
    if (f == nullptr)
        return bytes;
    int c;
    while ((c = getc(f)) != EOF)
        bytes.push_back(c);
    fclose(f);
    return bytes;
}

// What a shell command writes to its standard output.
inline std::string commandOutput(const std::string &command) {
    std::string text;
    FILE *p = popen(command.c_str(), "r");
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    pclose(p);
    return text;
}

#endif
