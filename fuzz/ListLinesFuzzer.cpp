// List files on any bytes: the line split, its count, a rewrite that reads back the same
// lines, and the pictures view filled from the file.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListOperations.h"
#include "imagelists/MemoryListLibrary.h"
#include "imagelists/MemoryPictureView.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view text = fuzz::bytesOf(data, size);
    const std::vector<std::string_view> lines = SplitListLines(text);
    FUZZ_CHECK(CountListLines(text) == lines.size());
    for (const std::string_view line : lines) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        const std::string_view path = LinePicturePath(line);
        const std::string_view sizeText = LineSizeText(line);
        // The path never holds the mark; path, mark and size give the line back.
        FUZZ_CHECK(ListLineProblem(path).empty());
        if (line.find('?') != std::string_view::npos)
            FUZZ_CHECK(std::string(path) + "?" + std::string(sizeText) == line);
        else
            FUZZ_CHECK(path.empty() && sizeText == line);
    }
    const std::string joined = JoinListLines(lines);
    FUZZ_CHECK(SplitListLines(joined) == lines);

    const std::string path = fuzz::writeScratchFile("fuzz.lst", text);
    MemoryListLibrary library;
    library.addRow({"fuzz.lst", std::to_string(lines.size()), path});
    MemoryPictureView view;
    FillPictureView(view, library, 0);
    FUZZ_CHECK(view.rowCount() == static_cast<int>(lines.size()));
    return 0;
}
