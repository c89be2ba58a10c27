#pragma once

#include <string>
#include <vector>

namespace velluma {

/// Image indexes of picture rows.
inline constexpr int kJpegImageIndex = 9;
inline constexpr int kBitmapImageIndex = 10;
inline constexpr int kNoImageIndex = -1;

/// One row of the pictures view: one line of the selected list file.
struct PictureRow {
    std::string caption;   // the line's path part
    std::string sizeText;  // the line's size part
    int imageIndex = kNoImageIndex;
    bool operator==(const PictureRow&) const = default;
};

/// The rows of the pictures view as the list operations see them. The image-list page
/// implements it on its view; MemoryPictureView keeps the rows in memory. One row at a
/// time can be selected.
class PictureView {
public:
    virtual ~PictureView() = default;

    virtual int rowCount() const = 0;
    /// The row at index (0 <= index < rowCount()).
    virtual PictureRow row(int index) const = 0;
    /// Replaces every row at once (a list can hold many thousands of lines, so a view
    /// should take them in one step); the selection is dropped.
    virtual void setRows(std::vector<PictureRow> rows) = 0;
    /// Removes every row.
    virtual void clear() = 0;
    /// The selected row, or -1.
    virtual int selectedRow() const = 0;
    /// Selects and focuses the row at index.
    virtual void selectRow(int index) = 0;
    /// Suspends redrawing until the matching endUpdate.
    virtual void beginUpdate() = 0;
    virtual void endUpdate() = 0;
};

/// Holds the pictures view's redrawing suspended for its lifetime, also when an error
/// passes.
class PictureViewUpdate final {
public:
    explicit PictureViewUpdate(PictureView& view) : m_view(view) { m_view.beginUpdate(); }
    ~PictureViewUpdate() { m_view.endUpdate(); }
    PictureViewUpdate(const PictureViewUpdate&) = delete;
    PictureViewUpdate& operator=(const PictureViewUpdate&) = delete;

private:
    PictureView& m_view;
};

}  // namespace velluma
