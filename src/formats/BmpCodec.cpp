#include "formats/BmpCodec.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "formats/ByteReader.h"

namespace velluma {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

[[noreturn]] void invalid(const std::string& reason) {
    throw std::runtime_error(reason);
}

// One colour channel of a 16 or 32-bit pixel, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        max = mask >> shift;  // a mask with holes still bounds the value it can give
    }
    std::uint8_t operator()(std::uint32_t pixel) const {
        if (max == 0) return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    }
};

}  // namespace

BmpLayout ParseBmpLayout(std::string_view head, std::uint64_t fileSize) {
    if (fileSize < 18 || head.size() < 18) invalid("the file is too short");
    const ByteReader h(head);
    if (head[0] != 'B' || head[1] != 'M') invalid("it does not start with \"BM\"");
    const std::uint32_t headerSize = h.u32(14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        invalid("unknown header size " + std::to_string(headerSize));
    if (head.size() < 14 + headerSize) invalid("the header is cut short");

    BmpLayout layout;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t colorsUsed = 0;
    std::size_t entrySize = 4;
    if (headerSize == 12) {  // OS/2 core header: unsigned 16-bit sizes, always bottom-up
        width = h.u16(18);
        height = h.u16(20);
        planes = h.u16(22);
        layout.bitCount = h.u16(24);
        entrySize = 3;
    } else {
        width = static_cast<std::int32_t>(h.u32(18));
        height = static_cast<std::int32_t>(h.u32(22));
        planes = h.u16(26);
        layout.bitCount = h.u16(28);
        compression = h.u32(30);
        colorsUsed = h.u32(46);
    }
    if (planes != 1) invalid("it has " + std::to_string(planes) + " planes");
    const int bits = layout.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        invalid("unsupported bit count " + std::to_string(bits));
    if (compression == kBiBitfields) {
        if (bits != 16 && bits != 32)
            invalid("colour masks with " + std::to_string(bits) + " bits");
    } else if (compression != kBiRgb) {
        invalid("unsupported compression " + std::to_string(compression));
    }
    if (height == INT_MIN) invalid("invalid height");
    layout.topDown = height < 0;
    if (height < 0) height = -height;
    CheckPictureSize(width, height, "");
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);

    std::uint64_t tableStart = 14 + headerSize;
    if (compression == kBiBitfields) {
        // The masks follow a 40-byte header and lie inside the longer ones: at 54 either way.
        if (headerSize == 40) tableStart += 12;
        if (fileSize < 66 || head.size() < 66) invalid("the colour masks are cut short");
        layout.masks = {h.u32(54), h.u32(58), h.u32(62)};
    } else if (bits == 16) {
        layout.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (bits == 32) {
        layout.masks = {0xFF0000, 0xFF00, 0xFF};
    }

    if (bits <= 8) {
        const std::uint64_t entries = colorsUsed != 0 ? colorsUsed : (1u << bits);
        if (entries > 256) invalid("a palette of " + std::to_string(entries) + " colours");
        const std::uint64_t tableEnd = tableStart + entries * entrySize;
        if (tableEnd > fileSize || tableEnd > head.size()) invalid("the palette is cut short");
        for (std::uint64_t i = 0; i < entries; ++i) {
            const std::size_t at = static_cast<std::size_t>(tableStart + i * entrySize);
            layout.palette[i * 3 + 0] = static_cast<std::uint8_t>(head[at + 2]);
            layout.palette[i * 3 + 1] = static_cast<std::uint8_t>(head[at + 1]);
            layout.palette[i * 3 + 2] = static_cast<std::uint8_t>(head[at + 0]);
        }
    }

    layout.stride = ((static_cast<std::uint64_t>(layout.width) * bits + 31) / 32) * 4;
    layout.dataOffset = h.u32(10);
    if (layout.dataOffset < 14 + headerSize) invalid("the pixel data overlaps the header");
    if (layout.dataOffset + layout.stride * layout.height > fileSize)
        invalid("the pixel data is cut short");
    return layout;
}

void DecodeBmpRow(const BmpLayout& layout, const std::uint8_t* stored, std::uint8_t* rgb) {
    const int width = layout.width;
    const auto& palette = layout.palette;
    auto fromPalette = [&](int x, unsigned index) {
        std::memcpy(rgb + static_cast<std::size_t>(x) * 3, palette.data() + std::size_t{index} * 3,
                    3);
    };
    switch (layout.bitCount) {
        case 1:
            for (int x = 0; x < width; ++x) fromPalette(x, (stored[x >> 3] >> (7 - (x & 7))) & 1u);
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                fromPalette(x, (x & 1) ? (stored[x >> 1] & 0x0Fu) : (stored[x >> 1] >> 4));
            break;
        case 8:
            for (int x = 0; x < width; ++x) fromPalette(x, stored[x]);
            break;
        case 24:
            for (int x = 0; x < width; ++x) {
                rgb[x * 3 + 0] = stored[x * 3 + 2];
                rgb[x * 3 + 1] = stored[x * 3 + 1];
                rgb[x * 3 + 2] = stored[x * 3 + 0];
            }
            break;
        default: {  // 16 or 32 bits through the colour masks
            const Channel red(layout.masks[0]);
            const Channel green(layout.masks[1]);
            const Channel blue(layout.masks[2]);
            const int bytes = layout.bitCount / 8;
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = stored + static_cast<std::size_t>(x) * bytes;
                std::uint32_t pixel = p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
                if (bytes == 4)
                    pixel |= (static_cast<std::uint32_t>(p[2]) << 16) |
                             (static_cast<std::uint32_t>(p[3]) << 24);
                rgb[x * 3 + 0] = red(pixel);
                rgb[x * 3 + 1] = green(pixel);
                rgb[x * 3 + 2] = blue(pixel);
            }
        }
    }
}

std::unique_ptr<BmpSource> BmpSource::openFile(const std::string& path) {
    std::unique_ptr<BmpSource> source(new BmpSource);
    source->m_name = path;
    std::uint64_t size = 0;
    source->m_file = OpenRegularFile(path, size);
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, kBmpHeadBytes)), '\0');
    ReadAt(source->m_file.get(), path, 0, head.data(), head.size());
    try {
        source->m_layout = ParseBmpLayout(head, size);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("The picture \"" + path + "\" is not a valid bitmap: " + e.what());
    }
    source->m_stored.resize(static_cast<std::size_t>(source->m_layout.stride));
    return source;
}

std::unique_ptr<BmpSource> BmpSource::fromBytes(std::string_view bytes) {
    std::unique_ptr<BmpSource> source(new BmpSource);
    source->m_name = "bitmap";
    try {
        source->m_layout = ParseBmpLayout(bytes.substr(0, kBmpHeadBytes), bytes.size());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("The picture is not a valid bitmap: ") + e.what());
    }
    source->m_bytes = bytes;
    return source;
}

void BmpSource::readRow(std::uint8_t* rgb) {
    if (m_next >= m_layout.height) throw std::runtime_error("The bitmap has no more rows");
    const int stored = m_layout.topDown ? m_next : m_layout.height - 1 - m_next;
    ++m_next;
    if (!rgb) return;
    const std::uint64_t offset = m_layout.dataOffset + m_layout.stride * stored;
    const std::uint8_t* row = nullptr;
    if (m_file.get() >= 0) {
        ReadAt(m_file.get(), m_name, offset, m_stored.data(), m_stored.size());
        row = m_stored.data();
    } else {
        row = reinterpret_cast<const std::uint8_t*>(m_bytes.data() + offset);
    }
    DecodeBmpRow(m_layout, row, rgb);
}

RgbImage DecodeBmp(std::string_view bytes) {
    return ReadAllRows(*BmpSource::fromBytes(bytes));
}

std::array<char, 54> Bmp24Header(int width, int height) {
    const std::uint64_t imageSize = Bmp24Stride(width) * static_cast<std::uint64_t>(height);
    std::array<char, 54> h{};
    h[0] = 'B';
    h[1] = 'M';
    storeLe32(&h[2], static_cast<std::uint32_t>(54 + imageSize));
    storeLe32(&h[10], 54);
    storeLe32(&h[14], 40);
    storeLe32(&h[18], static_cast<std::uint32_t>(width));
    storeLe32(&h[22], static_cast<std::uint32_t>(height));
    storeLe16(&h[26], 1);
    storeLe16(&h[28], 24);
    storeLe32(&h[30], kBiRgb);
    storeLe32(&h[34], static_cast<std::uint32_t>(imageSize));
    storeLe32(&h[38], 2835);  // 72 dots per inch
    storeLe32(&h[42], 2835);
    return h;
}

std::string EncodeBmp24(const RgbImage& image) {
    CheckPictureSize(image.width, image.height, "The bitmap cannot be written: ");
    const std::size_t stride = Bmp24Stride(image.width);
    std::string bytes(54 + stride * static_cast<std::size_t>(image.height), '\0');
    const auto header = Bmp24Header(image.width, image.height);
    std::memcpy(bytes.data(), header.data(), header.size());
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* src = image.rowData(y);
        char* dst = bytes.data() + 54 + stride * static_cast<std::size_t>(image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            dst[x * 3 + 0] = static_cast<char>(src[x * 3 + 2]);
            dst[x * 3 + 1] = static_cast<char>(src[x * 3 + 1]);
            dst[x * 3 + 2] = static_cast<char>(src[x * 3 + 0]);
        }
    }
    return bytes;
}

}  // namespace velluma
