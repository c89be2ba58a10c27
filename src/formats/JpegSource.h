#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/PictureSource.h"

namespace velluma {

/// libjpeg may use at most this much memory for one picture (progressive pictures keep
/// all their coefficients).
inline constexpr long kMaxJpegDecoderMemory = 512L << 20;
/// A progressive picture with more scans than this is refused: each scan costs a pass
/// over the picture.
inline constexpr int kMaxJpegScans = 500;
/// Each scan of a picture is a pass over the samples of the components it carries. Past
/// this many samples over all scans (16 passes over the largest picture taken; an ordinary
/// progressive photo needs 6 to 14 over its own size) the picture is refused before the
/// scan that would cross it: a small file of hundreds of scans would otherwise take
/// minutes to decode.
inline constexpr std::uint64_t kMaxJpegScanSamples = 16 * kMaxPicturePixels;

/// The rows of a JPEG file at full size in 24-bit colour, decoded by libjpeg one row at a
/// time. Every libjpeg error and warning ends decoding with a std::runtime_error naming
/// the file; nothing of the picture is allocated before its size has been checked.
class JpegSource final : public PictureSource {
public:
    static std::unique_ptr<JpegSource> openFile(const std::string& path);
    /// Reads the whole picture as decoding does, for a fraction of the work, and gives its
    /// size: a cut-off or damaged file fails here as it would when shown. Throws
    /// std::runtime_error naming the file.
    static PictureSize measureFile(const std::string& path);
    ~JpegSource() override;

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void readRow(std::uint8_t* rgb) override;

    /// libjpeg's state, opaque outside the decoder.
    struct Decoder;

private:
    JpegSource() = default;
    /// scaleDenominator 8 decodes at an eighth of the size, for measuring.
    static std::unique_ptr<JpegSource> open(const std::string& path, unsigned scaleDenominator);
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
