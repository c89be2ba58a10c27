#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace velluma {

/// A read that would run past the end of a ByteReader's bytes.
class ByteRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The little-endian fields of a run of bytes, every read checked against its end: one that
/// would run past it throws ByteRangeError with the text the reader was made with. Readers
/// that check a range once before reading many fields pay one compare per field.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::string_view data, const char* shortText = "the data ends early")
        : m_data(data), m_shortText(shortText) {}

    std::size_t size() const { return m_data.size(); }
    std::string_view data() const { return m_data; }
    /// Whether count bytes at at lie inside.
    bool has(std::uint64_t at, std::uint64_t count) const {
        return at <= m_data.size() && count <= m_data.size() - at;
    }
    std::string_view bytes(std::uint64_t at, std::uint64_t count) const {
        need(at, count);
        return m_data.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
    }
    /// The reader of count bytes at at.
    ByteReader part(std::uint64_t at, std::uint64_t count) const {
        return ByteReader(bytes(at, count), m_shortText);
    }

    std::uint8_t u8(std::uint64_t at) const {
        need(at, 1);
        return raw(at);
    }
    std::uint16_t u16(std::uint64_t at) const {
        need(at, 2);
        return static_cast<std::uint16_t>(raw(at) | (raw(at + 1) << 8));
    }
    std::uint32_t u32(std::uint64_t at) const {
        need(at, 4);
        return std::uint32_t(raw(at)) | (std::uint32_t(raw(at + 1)) << 8) |
               (std::uint32_t(raw(at + 2)) << 16) | (std::uint32_t(raw(at + 3)) << 24);
    }
    std::uint64_t u64(std::uint64_t at) const {
        return std::uint64_t(u32(at)) | (std::uint64_t(u32(at + 4)) << 32);
    }
    std::int16_t i16(std::uint64_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::int32_t i32(std::uint64_t at) const { return static_cast<std::int32_t>(u32(at)); }
    float f32(std::uint64_t at) const {
        const std::uint32_t bits = u32(at);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    std::uint8_t raw(std::uint64_t at) const {
        return static_cast<std::uint8_t>(m_data[static_cast<std::size_t>(at)]);
    }
    void need(std::uint64_t at, std::uint64_t count) const {
        if (!has(at, count)) throw ByteRangeError(m_shortText);
    }

    std::string_view m_data;
    const char* m_shortText = "the data ends early";
};

/// Stores the low 16 or 32 bits of value little-endian at out.
inline void storeLe16(char* out, std::uint32_t value) {
    out[0] = static_cast<char>(value & 0xFF);
    out[1] = static_cast<char>((value >> 8) & 0xFF);
}
inline void storeLe32(char* out, std::uint32_t value) {
    storeLe16(out, value & 0xFFFF);
    storeLe16(out + 2, value >> 16);
}

}  // namespace velluma
