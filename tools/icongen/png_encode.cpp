#include "tools/icongen/png_encode.h"

#include <cstdlib>
#include <string>

#include <zlib.h>

namespace {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body)
{
    PutBigEndian32(out, static_cast<uint32_t>(body.size()));
    size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeAt, static_cast<uInt>(4 + body.size()));
    PutBigEndian32(out, static_cast<uint32_t>(crc));
}

int PaethPredictor(int left, int up, int upLeft)
{
    int p = left + up - upLeft;
    int pa = std::abs(p - left);
    int pb = std::abs(p - up);
    int pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc) {
        return left;
    }
    return pb <= pc ? up : upLeft;
}

// Every row uses the Paeth filter: one fixed choice keeps the output independent of any
// heuristic and compresses the smooth icon art well.
std::vector<uint8_t> FilteredRows(const Image& image, int channels)
{
    size_t stride = static_cast<size_t>(image.width) * channels;
    std::vector<uint8_t> raw(stride * image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Pixel& p = At(image, x, y);
            uint8_t* d = &raw[y * stride + static_cast<size_t>(x) * channels];
            d[0] = p.r;
            d[1] = p.g;
            d[2] = p.b;
            if (channels == 4) {
                d[3] = p.a;
            }
        }
    }
    std::vector<uint8_t> filtered;
    filtered.reserve((stride + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        filtered.push_back(4);
        for (size_t i = 0; i < stride; ++i) {
            int left = i >= static_cast<size_t>(channels) ? raw[y * stride + i - channels] : 0;
            int up = y > 0 ? raw[(y - 1) * stride + i] : 0;
            int upLeft = (y > 0 && i >= static_cast<size_t>(channels))
                             ? raw[(y - 1) * stride + i - channels]
                             : 0;
            int predicted = PaethPredictor(left, up, upLeft);
            filtered.push_back(static_cast<uint8_t>(raw[y * stride + i] - predicted));
        }
    }
    return filtered;
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image, bool withAlpha)
{
    int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    std::vector<uint8_t> header;
    PutBigEndian32(header, static_cast<uint32_t>(image.width));
    PutBigEndian32(header, static_cast<uint32_t>(image.height));
    header.push_back(8);                       // bits per channel
    header.push_back(withAlpha ? 6 : 2);       // colour type
    header.push_back(0);                       // deflate
    header.push_back(0);                       // adaptive filtering
    header.push_back(0);                       // no interlace
    PutChunk(out, "IHDR", header);

    std::vector<uint8_t> rows = FilteredRows(image, channels);
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}
