// Builds a Windows icon file from binary PPM (P6) images, one image per
// size, 24 bits per pixel with an all-opaque mask: the format the program's
// icon group keeps. A host tool of the build.
//   make_ico OUT.ico IN32.ppm IN16.ppm ...
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool skipSpaceAndComments(std::istream& in) {
    for (;;) {
        int c = in.peek();
        if (c == '#') {
            std::string line;
            std::getline(in, line);
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            in.get();
        } else {
            return in.good();
        }
    }
}

bool readPpm(const char* path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic;
    if (magic != "P6") return false;
    int maxValue = 0;
    skipSpaceAndComments(in);
    in >> image.width;
    skipSpaceAndComments(in);
    in >> image.height;
    skipSpaceAndComments(in);
    in >> maxValue;
    in.get();
    if (!in || maxValue != 255 || image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256)
        return false;
    image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return static_cast<size_t>(in.gcount()) == image.rgb.size();
}

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// BITMAPINFOHEADER, bottom-up BGR rows padded to 4 bytes, then the AND mask
// (1 bit a pixel, rows padded to 4 bytes, all 0: every pixel shows).
std::vector<uint8_t> dib(const Image& image) {
    std::vector<uint8_t> out;
    const int rowBytes = (image.width * 3 + 3) & ~3;
    const int maskRowBytes = ((image.width + 31) / 32) * 4;
    put32(out, 40);
    put32(out, static_cast<uint32_t>(image.width));
    put32(out, static_cast<uint32_t>(image.height * 2));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, static_cast<uint32_t>((rowBytes + maskRowBytes) * image.height));
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        out.resize(out.size() + static_cast<size_t>(rowBytes - image.width * 3), 0);
    }
    out.resize(out.size() + static_cast<size_t>(maskRowBytes * image.height), 0);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: make_ico OUT.ico IMAGE.ppm...\n";
        return 2;
    }
    std::vector<std::vector<uint8_t>> dibs;
    std::vector<Image> images;
    for (int i = 2; i < argc; ++i) {
        Image image;
        if (!readPpm(argv[i], image)) {
            std::cerr << "make_ico: " << argv[i] << " is not an 8-bit binary PPM of at most 256 x 256\n";
            return 1;
        }
        dibs.push_back(dib(image));
        images.push_back(std::move(image));
    }
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<unsigned>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].width & 0xFF)); // 256 is written as 0
        out.push_back(static_cast<uint8_t>(images[i].height & 0xFF));
        out.push_back(0); // no palette
        out.push_back(0);
        put16(out, 1);
        put16(out, 24);
        put32(out, static_cast<uint32_t>(dibs[i].size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(dibs[i].size());
    }
    for (const auto& d : dibs) out.insert(out.end(), d.begin(), d.end());
    std::ofstream file(argv[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
        std::cerr << "make_ico: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
