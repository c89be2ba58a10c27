#include "formats/SwfHeader.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "formats/ByteReader.h"
#include "formats/ErrnoText.h"
#include "formats/RegularFile.h"

namespace velluma {
namespace {

constexpr std::size_t kFixedHeader = 8;  // signature, version, file length
constexpr int kMaxTags = 10000;
constexpr unsigned kShowFrame = 1;
constexpr unsigned kSetBackgroundColor = 9;
constexpr unsigned kEnd = 0;

// Bit fields are stored most significant bit first.
class BitReader {
public:
    explicit BitReader(std::string_view bytes) : m_bytes(bytes) {}

    std::uint32_t unsignedBits(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const std::size_t byte = m_bit / 8;
            if (byte >= m_bytes.size()) throw SwfError("the header ends inside the frame size");
            const int shift = 7 - static_cast<int>(m_bit % 8);
            value = (value << 1) | ((static_cast<unsigned char>(m_bytes[byte]) >> shift) & 1u);
            ++m_bit;
        }
        return value;
    }

    std::int32_t signedBits(int count) {
        if (count == 0) return 0;
        const std::uint32_t raw = unsignedBits(count);
        // Sign-extend from the field's top bit; count is at most 31.
        const std::int64_t value = static_cast<std::int64_t>(raw);
        const std::int64_t sign = std::int64_t(1) << (count - 1);
        return static_cast<std::int32_t>((value ^ sign) - sign);
    }

    std::size_t bytesUsed() const { return (m_bit + 7) / 8; }

private:
    std::string_view m_bytes;
    std::size_t m_bit = 0;
};

// Unpacks as much of a zlib stream as the limit allows; a stream cut short gives what it
// holds so far.
std::string inflatePrefix(std::string_view compressed, std::size_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw SwfError("the movie cannot be unpacked");
    std::string out(limit, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size(), UINT32_MAX));
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int code = Z_OK;
    while (code == Z_OK && z.avail_out > 0 && z.avail_in > 0) code = inflate(&z, Z_SYNC_FLUSH);
    const std::size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (code == Z_DATA_ERROR || code == Z_NEED_DICT || code == Z_MEM_ERROR ||
        code == Z_STREAM_ERROR)
        throw SwfError("the movie's compressed data is damaged");
    out.resize(produced);
    return out;
}

// The first frame's background colour: SetBackgroundColor before the first ShowFrame.
std::optional<std::uint32_t> firstFrameBackground(std::string_view body, std::size_t at) {
    for (int tag = 0; tag < kMaxTags; ++tag) {
        if (body.size() - at < 2) return std::nullopt;
        const std::uint32_t codeAndLength = ByteReader(body).u16(at);
        at += 2;
        const unsigned code = codeAndLength >> 6;
        std::uint64_t length = codeAndLength & 0x3f;
        if (length == 0x3f) {
            if (body.size() - at < 4) return std::nullopt;
            length = ByteReader(body).u32(at);
            at += 4;
        }
        if (code == kEnd || code == kShowFrame) return std::nullopt;
        if (length > body.size() - at) return std::nullopt;  // beyond what was read
        if (code == kSetBackgroundColor && length >= 3) {
            const auto byte = [&](std::size_t i) {
                return static_cast<std::uint32_t>(static_cast<unsigned char>(body[at + i]));
            };
            return byte(0) << 16 | byte(1) << 8 | byte(2);
        }
        at += static_cast<std::size_t>(length);
    }
    return std::nullopt;
}

// The stage from the bytes after the fixed header.
SwfStage parseStage(std::string_view body) {
    SwfStage stage;
    BitReader bits(body);
    const int n = static_cast<int>(bits.unsignedBits(5));
    stage.xMin = bits.signedBits(n);
    stage.xMax = bits.signedBits(n);
    stage.yMin = bits.signedBits(n);
    stage.yMax = bits.signedBits(n);
    if (stage.xMax < stage.xMin || stage.yMax < stage.yMin)
        throw SwfError("the movie's frame size is negative");
    std::size_t at = bits.bytesUsed();
    if (body.size() - at < 4) throw SwfError("the header ends before the frame rate");
    // 8.8 fixed point: the fraction byte comes first.
    stage.frameRate =
        static_cast<unsigned char>(body[at + 1]) + static_cast<unsigned char>(body[at]) / 256.0;
    stage.frameCount = ByteReader(body).u16(at + 2);
    stage.background = firstFrameBackground(body, at + 4);
    return stage;
}

}  // namespace

SwfHeader ParseSwfHeader(std::string_view bytes) {
    if (bytes.size() < 3) throw SwfError("the file is too short to be a Flash movie");
    SwfHeader header;
    const std::string_view signature = bytes.substr(0, 3);
    if (signature == "FWS")
        header.compression = SwfCompression::None;
    else if (signature == "CWS")
        header.compression = SwfCompression::Zlib;
    else if (signature == "ZWS")
        header.compression = SwfCompression::Lzma;
    else
        throw SwfError("the file does not start like a Flash movie");
    if (bytes.size() < kFixedHeader) throw SwfError("the header is cut short");
    header.version = static_cast<unsigned char>(bytes[3]);
    header.fileLength = ByteReader(bytes).u32(4);

    const std::string_view rest = bytes.substr(kFixedHeader);
    switch (header.compression) {
        case SwfCompression::None:
            header.stage = parseStage(rest.substr(0, kSwfInspectBytes));
            break;
        case SwfCompression::Zlib: {
            const std::string body = inflatePrefix(rest, kSwfInspectBytes);
            header.stage = parseStage(body);
            break;
        }
        case SwfCompression::Lzma:
            break;
    }
    return header;
}

SwfHeader ReadSwfHeader(const std::string& path) {
    const std::string name = "\"" + path + "\"";
    const RegularFile file = OpenRegularFileNoThrow(path);
    if (file.irregular) throw SwfError(name + " is not a file");
    if (!file.ok()) throw SwfError(name + " cannot be read (" + errnoText(file.error) + ")");
    std::string bytes(kSwfInspectBytes + kFixedHeader, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(file.handle.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw SwfError(name + " cannot be read (" + errnoText(errno) + ")");
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    try {
        return ParseSwfHeader(bytes);
    } catch (const SwfError& e) {
        throw SwfError(name + ": " + e.what());
    }
}

}  // namespace velluma
