#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace velluma::test {

/// A Windows COLORREF (0x00BBGGRR).
constexpr std::uint32_t colorRef(int red, int green, int blue) {
    return std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
}

/// Little-endian bytes, built field by field.
class Bytes {
public:
    Bytes& u8(std::uint32_t v) {
        m_data.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes& u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& i16(int v) { return u16(static_cast<std::uint16_t>(v)); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    Bytes& raw(const std::string& bytes) {
        m_data += bytes;
        return *this;
    }
    const std::string& str() const { return m_data; }
    std::size_t size() const { return m_data.size(); }

private:
    std::string m_data;
};

/// A WMF: records of 16-bit words, with or without the placeable header.
class WmfBuilder {
public:
    WmfBuilder& record(std::uint16_t function, std::initializer_list<int> words) {
        Bytes r;
        r.u32(static_cast<std::uint32_t>(3 + words.size())).u16(function);
        for (int w : words) r.i16(w);
        m_records += r.str();
        return *this;
    }
    /// A record with its parameter bytes as given (an odd count is padded).
    WmfBuilder& rawRecord(std::uint16_t function, std::string params) {
        if (params.size() % 2) params.push_back('\0');
        Bytes r;
        r.u32(static_cast<std::uint32_t>(3 + params.size() / 2)).u16(function).raw(params);
        m_records += r.str();
        return *this;
    }
    WmfBuilder& brush(std::uint32_t colour, int style = 0, int hatch = 0) {
        return rawRecord(0x02FC, Bytes().u16(style).u32(colour).u16(hatch).str());
    }
    WmfBuilder& pen(std::uint32_t colour, int style = 0, int width = 0) {
        return rawRecord(0x02FA, Bytes().u16(style).i16(width).i16(0).u32(colour).str());
    }
    WmfBuilder& select(int index) { return record(0x012D, {index}); }
    WmfBuilder& windowOrg(int x, int y) { return record(0x020B, {y, x}); }
    WmfBuilder& windowExt(int x, int y) { return record(0x020C, {y, x}); }
    WmfBuilder& rectangle(int l, int t, int r, int b) { return record(0x041B, {b, r, t, l}); }
    WmfBuilder& ellipse(int l, int t, int r, int b) { return record(0x0418, {b, r, t, l}); }

    /// The file: placeable header (bounding box in logical units, units per inch) when
    /// inch > 0, the standard header, the records and META_EOF.
    std::string bytes(int inch = 0, int left = 0, int top = 0, int right = 0, int bottom = 0,
                      int objects = 8) const {
        Bytes b;
        if (inch > 0) {
            b.u32(0x9AC6CDD7)
                .u16(0)
                .i16(left)
                .i16(top)
                .i16(right)
                .i16(bottom)
                .u16(inch)
                .u32(0)
                .u16(0);
        }
        const std::uint32_t words = static_cast<std::uint32_t>(9 + m_records.size() / 2 + 3);
        b.u16(1).u16(9).u16(0x0300).u32(words).u16(objects).u32(16).u16(0);
        b.raw(m_records);
        b.u32(3).u16(0);
        return b.str();
    }
    const std::string& records() const { return m_records; }

private:
    std::string m_records;
};

/// An EMF: records of 32-bit fields after a header whose frame is given in pixels of a
/// reference device with 10 pixels a millimetre.
class EmfBuilder {
public:
    EmfBuilder& record(std::uint32_t type, std::initializer_list<std::int32_t> values) {
        Bytes r;
        r.u32(type).u32(static_cast<std::uint32_t>(8 + values.size() * 4));
        for (std::int32_t v : values) r.i32(v);
        m_records += r.str();
        return *this;
    }
    /// A record with its bytes after type and size as given (padded to 4).
    EmfBuilder& rawRecord(std::uint32_t type, std::string params) {
        while (params.size() % 4) params.push_back('\0');
        m_records +=
            Bytes().u32(type).u32(static_cast<std::uint32_t>(8 + params.size())).raw(params).str();
        return *this;
    }
    EmfBuilder& brush(std::uint32_t handle, std::uint32_t colour, int style = 0, int hatch = 0) {
        return record(39, {std::int32_t(handle), style, std::int32_t(colour), hatch});
    }
    EmfBuilder& pen(std::uint32_t handle, std::uint32_t colour, int style = 0, int width = 0) {
        return record(38, {std::int32_t(handle), style, width, 0, std::int32_t(colour)});
    }
    EmfBuilder& select(std::uint32_t handle) { return record(37, {std::int32_t(handle)}); }
    EmfBuilder& rectangle(int l, int t, int r, int b) { return record(43, {l, t, r, b}); }
    EmfBuilder& ellipse(int l, int t, int r, int b) { return record(42, {l, t, r, b}); }

    std::string bytes(int width, int height, int handles = 8) const {
        Bytes b;
        b.u32(1).u32(88);
        b.i32(0).i32(0).i32(width - 1).i32(height - 1);    // bounds
        b.i32(0).i32(0).i32(width * 10).i32(height * 10);  // frame, 0.01 mm
        b.u32(0x464D4520).u32(0x10000).u32(static_cast<std::uint32_t>(88 + m_records.size() + 20));
        b.u32(0).u16(handles).u16(0).u32(0).u32(0).u32(0);
        b.i32(1000).i32(1000).i32(100).i32(100);  // device pixels, millimetres
        b.raw(m_records);
        b.u32(14).u32(20).u32(0).u32(16).u32(20);  // EMR_EOF
        return b.str();
    }

private:
    std::string m_records;
};

/// A packed DIB: BITMAPINFOHEADER and bottom-up 24-bit rows of 0xRRGGBB colours given top
/// row first.
inline std::string Dib24(int width, int height, std::initializer_list<std::uint32_t> topDown) {
    Bytes b;
    b.u32(40).i32(width).i32(height).u16(1).u16(24).u32(0).u32(0).i32(0).i32(0).u32(0).u32(0);
    const std::uint32_t* colours = topDown.begin();
    for (int y = height - 1; y >= 0; --y) {
        int written = 0;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colours[y * width + x];
            b.u8(c).u8(c >> 8).u8(c >> 16);
            written += 3;
        }
        while (written % 4) {
            b.u8(0);
            ++written;
        }
    }
    return b.str();
}

}  // namespace velluma::test
