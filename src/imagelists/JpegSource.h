#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imagelists/PictureSource.h"

namespace velluma {

/// libjpeg may use at most this much memory for one picture (progressive pictures keep
/// all their coefficients).
inline constexpr long kMaxJpegDecoderMemory = 512L << 20;
/// A progressive picture with more scans than this is refused: each scan costs a pass
/// over the whole picture.
inline constexpr int kMaxJpegScans = 500;

/// The rows of a JPEG file at full size in 24-bit colour, decoded by libjpeg one row at a
/// time. Every libjpeg error and warning ends decoding with a std::runtime_error naming
/// the file; nothing of the picture is allocated before its size has been checked.
class JpegSource final : public PictureSource {
public:
    static std::unique_ptr<JpegSource> openFile(const std::string& path);
    ~JpegSource() override;

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void readRow(std::uint8_t* rgb) override;

    /// libjpeg's state, opaque outside the decoder.
    struct Decoder;

private:
    JpegSource() = default;
    [[noreturn]] void fail();

    std::unique_ptr<Decoder> m_decoder;
    std::string m_path;
    int m_width = 0;
    int m_height = 0;
    int m_next = 0;
    bool m_cmyk = false;
    bool m_invertedCmyk = false;
    std::vector<std::uint8_t> m_scratch;
};

}  // namespace velluma
