#include "formats/JpegSource.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "formats/RegularFile.h"

namespace velluma {
namespace {

// libjpeg's default error handler ends the process; ours jumps back to the guarded call.
// The guarded functions below hold no objects with destructors, so the jump skips none.
struct ErrorTrap {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void trapError(j_common_ptr common) {
    auto* trap = reinterpret_cast<ErrorTrap*>(common->err);
    (*common->err->format_message)(common, trap->message);
    std::longjmp(trap->jump, 1);
}

// A warning means damaged data (a cut-off file, corrupt entropy data): the picture is
// refused rather than shown half grey.
void trapWarning(j_common_ptr common, int level) {
    if (level < 0) trapError(common);
}

// libjpeg calls this before each piece of input it takes in; a new scan shows as a new
// input scan number, with its components filled in, before any of its data is read.
struct ScanWatch {
    jpeg_progress_mgr manager;  // first, so libjpeg's pointer to it is a pointer to the watch
    int scan = 0;
    std::uint64_t samples = 0;  // passed over by the scans so far
};

[[noreturn]] void refuse(j_common_ptr common, const char* why) {
    auto* trap = reinterpret_cast<ErrorTrap*>(common->err);
    std::snprintf(trap->message, sizeof trap->message, "%s", why);
    std::longjmp(trap->jump, 1);
}

void watchScans(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* watch = reinterpret_cast<ScanWatch*>(info->progress);
    if (info->input_scan_number == watch->scan) return;
    watch->scan = info->input_scan_number;
    if (watch->scan > kMaxJpegScans) {
        char why[64];
        std::snprintf(why, sizeof why, "more than %d scans", kMaxJpegScans);
        refuse(common, why);
    }
    for (int i = 0; i < info->comps_in_scan; ++i) {
        const jpeg_component_info* c = info->cur_comp_info[i];
        watch->samples += std::uint64_t(c->width_in_blocks) * c->height_in_blocks * DCTSIZE2;
    }
    if (watch->samples > kMaxJpegScanSamples)
        refuse(common, "it is stored in too many scans to decode in reasonable time");
}

}  // namespace

struct JpegSource::Decoder {
    jpeg_decompress_struct info{};
    ErrorTrap trap{};
    ScanWatch scans{};
    std::FILE* file = nullptr;
    bool created = false;
};

namespace {

using Decoder = JpegSource::Decoder;

bool guardedCreate(Decoder* d) {
    if (setjmp(d->trap.jump)) return false;
    jpeg_create_decompress(&d->info);
    d->created = true;
    return true;
}

bool guardedReadHeader(Decoder* d) {
    if (setjmp(d->trap.jump)) return false;
    jpeg_stdio_src(&d->info, d->file);
    jpeg_read_header(&d->info, TRUE);
    return true;
}

bool guardedStart(Decoder* d) {
    if (setjmp(d->trap.jump)) return false;
    jpeg_start_decompress(&d->info);
    return true;
}

bool guardedReadRow(Decoder* d, JSAMPROW row) {
    if (setjmp(d->trap.jump)) return false;
    return jpeg_read_scanlines(&d->info, &row, 1) == 1;
}

// A row nobody looks at still has to be decoded, but libjpeg-turbo can leave out its colour
// conversion.
bool guardedSkipRow(Decoder* d, JSAMPROW scratch) {
    if (setjmp(d->trap.jump)) return false;
#ifdef LIBJPEG_TURBO_VERSION
    (void)scratch;
    return jpeg_skip_scanlines(&d->info, 1) == 1;
#else
    return jpeg_read_scanlines(&d->info, &scratch, 1) == 1;
#endif
}

}  // namespace

std::unique_ptr<JpegSource> JpegSource::openFile(const std::string& path) {
    return open(path, 1);
}

PictureSize JpegSource::measureFile(const std::string& path) {
    // At an eighth of the size libjpeg still reads every scan's entropy data (skipped rows
    // may not be read at all), but the inverse transform and colour work shrink to little.
    const std::unique_ptr<JpegSource> source = open(path, 8);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(source->m_width) * 3);
    while (source->m_next < source->m_height) source->readRow(row.data());
    const jpeg_decompress_struct& info = source->m_decoder->info;
    return {static_cast<int>(info.image_width), static_cast<int>(info.image_height)};
}

std::unique_ptr<JpegSource> JpegSource::open(const std::string& path, unsigned scaleDenominator) {
    std::unique_ptr<JpegSource> source(new JpegSource);
    source->m_path = path;
    source->m_decoder = std::make_unique<Decoder>();
    Decoder* d = source->m_decoder.get();

    std::uint64_t size = 0;
    FileHandle file = OpenRegularFile(path, size);
    d->file = ::fdopen(file.get(), "rb");
    if (!d->file) throw std::runtime_error("Cannot read \"" + path + "\"");
    file.release();

    d->info.err = jpeg_std_error(&d->trap.manager);
    d->trap.manager.error_exit = trapError;
    d->trap.manager.emit_message = trapWarning;
    if (!guardedCreate(d)) source->fail();
    d->scans.manager.progress_monitor = watchScans;
    d->info.progress = &d->scans.manager;
    d->info.mem->max_memory_to_use = kMaxJpegDecoderMemory;
    if (!guardedReadHeader(d)) source->fail();

    CheckPictureSize(d->info.image_width, d->info.image_height,
                     ("The picture \"" + path + "\" cannot be read: ").c_str());
    if (d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK) {
        d->info.out_color_space = JCS_CMYK;
        source->m_cmyk = true;
        // Adobe's writers store CMYK inverted and say so with their marker.
        source->m_invertedCmyk = d->info.saw_Adobe_marker;
    } else {
        d->info.out_color_space = JCS_RGB;
    }
    d->info.scale_num = 1;
    d->info.scale_denom = scaleDenominator;
    if (scaleDenominator > 1) d->info.do_fancy_upsampling = FALSE;
    if (!guardedStart(d)) source->fail();
    const int components = source->m_cmyk ? 4 : 3;
    const JDIMENSION expectedWidth =
        (d->info.image_width + scaleDenominator - 1) / scaleDenominator;
    const JDIMENSION expectedHeight =
        (d->info.image_height + scaleDenominator - 1) / scaleDenominator;
    if (d->info.output_components != components || d->info.output_width != expectedWidth ||
        d->info.output_height != expectedHeight)
        throw std::runtime_error("The picture \"" + path + "\" cannot be read: unexpected output");
    source->m_width = static_cast<int>(d->info.output_width);
    source->m_height = static_cast<int>(d->info.output_height);
    source->m_scratch.resize(static_cast<std::size_t>(source->m_width) * components);
    return source;
}

JpegSource::~JpegSource() {
    if (!m_decoder) return;
    if (m_decoder->created) jpeg_destroy_decompress(&m_decoder->info);
    if (m_decoder->file) std::fclose(m_decoder->file);
}

void JpegSource::fail() {
    m_next = m_height;  // libjpeg's state is spent: no further row is read from it
    const int code = m_decoder->trap.manager.msg_code;
    // Without backing store, a request beyond the memory cap ends in this error.
    const std::string cause = (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY)
                                  ? "it needs more than " +
                                        std::to_string(kMaxJpegDecoderMemory >> 20) +
                                        " MiB of memory to decode"
                                  : std::string(m_decoder->trap.message);
    throw std::runtime_error("The picture \"" + m_path + "\" cannot be read as JPEG: " + cause);
}

void JpegSource::readRow(std::uint8_t* rgb) {
    if (m_next >= m_height) throw std::runtime_error("The picture has no more rows");
    Decoder* d = m_decoder.get();
    std::uint8_t* target = (rgb && !m_cmyk) ? rgb : m_scratch.data();
    if (!(rgb ? guardedReadRow(d, target) : guardedSkipRow(d, target))) {
        if (d->trap.message[0] == '\0')
            std::snprintf(d->trap.message, sizeof d->trap.message, "no data for row %d", m_next);
        fail();
    }
    ++m_next;
    if (!rgb || !m_cmyk) return;
    for (int x = 0; x < m_width; ++x) {
        unsigned c = target[x * 4 + 0], m = target[x * 4 + 1], y = target[x * 4 + 2],
                 k = target[x * 4 + 3];
        if (!m_invertedCmyk) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[x * 3 + 0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        rgb[x * 3 + 1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        rgb[x * 3 + 2] = static_cast<std::uint8_t>((y * k + 127) / 255);
    }
}

}  // namespace velluma
