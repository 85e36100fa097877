#include "hostsim/ImageFile.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace hostsim {

namespace {

void Put32le(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16le(std::string& s, std::uint16_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Put32be(std::string& s, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t Crc32(const std::string& data, std::size_t from)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < data.size(); ++i)
        c = table[(c ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void Chunk(std::string& png, const char* type, const std::string& body)
{
    Put32be(png, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = png.size();
    png += type;
    png += body;
    Put32be(png, Crc32(png, start));
}

} // namespace

std::string EncodeBmp(const TImage& image)
{
    const std::uint32_t rowBytes = static_cast<std::uint32_t>(image.Width) * 3;
    const std::uint32_t stride = (rowBytes + 3) & ~3u;
    const std::uint32_t size = 54 + stride * static_cast<std::uint32_t>(image.Height);
    std::string s = "BM";
    Put32le(s, size);
    Put32le(s, 0);
    Put32le(s, 54);
    Put32le(s, 40);
    Put32le(s, static_cast<std::uint32_t>(image.Width));
    Put32le(s, static_cast<std::uint32_t>(image.Height));
    Put16le(s, 1);
    Put16le(s, 24);
    for (int i = 0; i < 6; ++i)
        Put32le(s, 0);
    for (int y = image.Height - 1; y >= 0; --y) {
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t p = image.Pixels[static_cast<std::size_t>(y) * image.Width + x];
            s += static_cast<char>(p & 0xFF);
            s += static_cast<char>((p >> 8) & 0xFF);
            s += static_cast<char>((p >> 16) & 0xFF);
        }
        s.append(stride - rowBytes, '\0');
    }
    return s;
}

std::string EncodePng(const TImage& image)
{
    std::string raw;
    raw.reserve(static_cast<std::size_t>(image.Height) * (1 + 3 * image.Width));
    for (int y = 0; y < image.Height; ++y) {
        raw += '\0';
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t p = image.Pixels[static_cast<std::size_t>(y) * image.Width + x];
            raw += static_cast<char>((p >> 16) & 0xFF);
            raw += static_cast<char>((p >> 8) & 0xFF);
            raw += static_cast<char>(p & 0xFF);
        }
    }
    // zlib stream of stored blocks.
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (const char c : raw) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t pos = 0; pos < raw.size() || pos == 0;) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        Put16le(z, static_cast<std::uint16_t>(n));
        Put16le(z, static_cast<std::uint16_t>(~n & 0xFFFF));
        z.append(raw, pos, n);
        pos += n;
        if (last)
            break;
    }
    Put32be(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32be(header, static_cast<std::uint32_t>(image.Width));
    Put32be(header, static_cast<std::uint32_t>(image.Height));
    header += '\x08'; // bit depth
    header += '\x02'; // RGB
    header.append(3, '\0');
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");
    return png;
}

std::string EncodeImageFor(const std::string& fileName, const TImage& image)
{
    std::string lower = fileName;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const bool png = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".png") == 0;
    return png ? EncodePng(image) : EncodeBmp(image);
}

} // namespace hostsim
