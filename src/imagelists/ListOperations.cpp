#include "imagelists/ListOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>

#include "core/Options.h"
#include "formats/ErrnoText.h"
#include "imagelists/FileAccess.h"
#include "imagelists/ListFile.h"
#include "imagelists/ListLibrary.h"
#include "imagelists/PictureFile.h"
#include "imagelists/PictureView.h"
#include "platform/AtomicFile.h"
#include "platform/FileTools.h"

namespace velluma {
namespace {

constexpr std::string_view kListExtension = ".lst";
// Free names for a clash are tried up to this number.
constexpr int kMaxNameNumber = 9999;

bool sameFolder(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The name a list takes in the list folder: its extension is always lower-case ".lst".
std::string listFolderName(const std::string& name) {
    if (endsWith(name, kListExtension)) return name;
    if (EndsWithNoCase(name, kListExtension))
        return name.substr(0, name.size() - kListExtension.size()) + std::string(kListExtension);
    return name + std::string(kListExtension);
}

// name, then "stem (2).lst", "stem (3).lst", ...
std::string numberedName(const std::string& name, int number) {
    if (number == 1) return name;
    const bool hasExtension = EndsWithNoCase(name, kListExtension);
    const std::string stem =
        hasExtension ? name.substr(0, name.size() - kListExtension.size()) : name;
    const std::string extension = hasExtension ? name.substr(stem.size()) : std::string();
    return stem + " (" + std::to_string(number) + ")" + extension;
}

// Moves from into folder under its name, or under the first free numbered name when a
// file of that name is there: both are kept. Returns the new path, or "" with err set.
std::string moveKeepingBoth(const std::string& from, const std::string& folder,
                            const std::string& name, int& err) {
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        std::string target = folder + "/" + numberedName(name, number);
        err = MoveWithoutReplacing(from, target);
        if (err == 0) return target;
        if (err != EEXIST) return {};
    }
    return {};
}

int pictureImageIndex(std::string_view path) {
    if (EndsWithNoCase(path, ".bmp")) return kBitmapImageIndex;
    if (EndsWithNoCase(path, ".jpg") || EndsWithNoCase(path, ".jpeg")) return kJpegImageIndex;
    return kNoImageIndex;
}

int addRow(ListContext& context, ListLibrary& lists, const std::string& path, std::size_t count) {
    const int index = lists.addRow({std::string(FileNameOf(path)), std::to_string(count), path});
    if (path == context.settings.cIList && !lists.hasSelection()) lists.selectRow(index);
    return index;
}

// With reuseRow, a list that already has a row (one a subfolder just copied up, or one a
// dropped folder replaces) updates that row instead of getting a second one.
int addListFile(ListContext& context, ListLibrary& lists, const std::string& path, bool reuseRow) {
    const std::string bytes = ReadListFile(path);
    std::string stored = context.listFolder() + "/" + std::string(FileNameOf(path));
    if (path != stored) {
        stored = context.listFolder() + "/" + listFolderName(std::string(FileNameOf(path)));
        writeFileAtomically(stored, bytes);
    }
    const std::size_t count = CountListLines(bytes);
    const std::vector<int> existing = reuseRow ? lists.findRows(stored) : std::vector<int>();
    if (existing.empty()) return addRow(context, lists, stored, count);
    for (const int index : existing) {
        ListRow row = lists.row(index);
        row.count = std::to_string(count);
        lists.setRow(index, row);
    }
    return existing.front();
}

// The row's list comes back from the recycle folder; it is read before it moves, so an
// unreadable list stays where it was and adds no row.
int restoreListFile(ListContext& context, ListLibrary& lists, const std::string& path) {
    const std::size_t count = CountListLines(ReadListFile(path));
    int err = 0;
    const std::string target = moveKeepingBoth(path, context.listFolder(),
                                               listFolderName(std::string(FileNameOf(path))), err);
    if (target.empty())
        throw std::runtime_error("Cannot restore the list \"" + path + "\": " + errnoText(err));
    return addRow(context, lists, target, count);
}

// List files that cannot be moved or deleted stay where they are, unreported, as every
// file operation on lists does.
using FileAction = void (*)(ListContext&, const std::string& path);

void recycleFile(ListContext& context, const std::string& path) {
    const std::string folder = context.recycleFolder();
    ::mkdir(folder.c_str(), 0755);  // part of the installed layout; made again if lost
    int err = 0;
    moveKeepingBoth(path, folder, std::string(FileNameOf(path)), err);
}

void deleteFile(ListContext&, const std::string& path) {
    ::unlink(path.c_str());
}

void removeSelected(ListContext& context, ListLibrary& lists, FileAction action) {
    if (!lists.hasSelection()) return;
    int removed = 0;
    {
        const ListLibraryUpdate update(lists);
        for (int index = lists.firstSelected(); index >= 0; index = lists.firstSelected()) {
            const ListRow row = lists.row(index);
            if (row.path == context.settings.cIList) {
                context.settings.cIList.clear();
                context.settings.cImg.clear();
                if (context.clearWallpaper) context.clearWallpaper();
            }
            action(context, row.path);
            lists.removeRow(index);
            removed = index;
        }
    }
    if (removed > 0)
        lists.selectRow(removed - 1);
    else if (lists.rowCount() > 0)
        lists.selectRow(0);
}

void addListsFromFolder(ListContext& context, ListLibrary& lists, const std::string& folder,
                        std::set<std::pair<dev_t, ino_t>>& visited,
                        std::exception_ptr& firstError) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && !visited.insert({st.st_dev, st.st_ino}).second)
        return;  // reached again through a bind mount: once is enough
    for (const FolderItem& item : ListFolder(folder))
        if (item.plainFolder && item.name != "Recycled")
            addListsFromFolder(context, lists, folder + "/" + item.name, visited, firstError);
    // Listed again: the subfolders may just have copied lists up into this folder.
    for (const FolderItem& item : ListFolder(folder)) {
        if (!item.regularFile || !EndsWithNoCase(item.name, kListExtension)) continue;
        try {
            addListFile(context, lists, folder + "/" + item.name, true);
        } catch (const std::exception&) {
            if (!firstError) firstError = std::current_exception();
        }
    }
}

}  // namespace

std::string ListContext::listFolder() const {
    return settings.ProgramFolder + "/imgLists";
}

std::string ListContext::recycleFolder() const {
    return listFolder() + "/Recycled";
}

int AddListFile(ListContext& context, ListLibrary& lists, const std::string& path) {
    return addListFile(context, lists, path, false);
}

void AddListsFromFolder(ListContext& context, ListLibrary& lists, const std::string& folder) {
    std::string root = folder;
    if (root.size() > 1 && root.back() == '/') root.pop_back();
    std::set<std::pair<dev_t, ino_t>> visited;
    std::exception_ptr firstError;
    addListsFromFolder(context, lists, root, visited, firstError);
    if (firstError) std::rethrow_exception(firstError);
}

void LoadListLibrary(ListContext& context, ListLibrary& lists) {
    removeStaleTempFiles(context.listFolder());
    removeStaleTempFiles(context.recycleFolder());
    removeStaleTempFiles(context.listFolder() + "/WorkDir");  // an interrupted wallpaper
    lists.clear();
    const ListLibraryUpdate update(lists);
    AddListsFromFolder(context, lists, context.listFolder());
}

bool AddPictureToList(ListLibrary& lists, int row, const std::string& picture, bool refresh,
                      PictureView& pictures) {
    bool added = false;
    if (pictureImageIndex(picture) != kNoImageIndex) {
        const std::string problem = ListLineProblem(picture);
        if (!problem.empty())
            throw std::runtime_error("The picture \"" + picture +
                                     "\" cannot be listed: " + problem);
        ListRow listRow = lists.row(row);
        const std::string bytes = ReadListFile(listRow.path);
        const PictureSize size = MeasurePicture(picture);
        const std::string line =
            picture + "?" + std::to_string(size.width) + "*" + std::to_string(size.height);
        std::vector<std::string_view> lines = SplitListLines(bytes);
        lines.push_back(line);
        WriteListFile(listRow.path, lines);
        listRow.count = std::to_string(lines.size());
        lists.setRow(row, listRow);
        added = true;
    }
    if (refresh) FillPictureView(pictures, lists, row);
    return added;
}

void FillPictureView(PictureView& pictures, const ListLibrary& lists, int row) {
    const PictureViewUpdate update(pictures);
    pictures.clear();
    if (row < 0) return;
    const std::string bytes = ReadListFile(lists.row(row).path);
    const std::vector<std::string_view> lines = SplitListLines(bytes);
    std::vector<PictureRow> rows;
    rows.reserve(lines.size());
    for (const std::string_view line : lines) {
        const std::string_view path = LinePicturePath(line);
        rows.push_back(
            {std::string(path), std::string(LineSizeText(line)), pictureImageIndex(path)});
    }
    pictures.setRows(std::move(rows));
}

int CompareCounts(std::string_view first, std::string_view second) {
    auto number = [](std::string_view text) {
        long long value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        return (ec == std::errc() && end == text.data() + text.size()) ? value : 0;
    };
    return number(first) < number(second) ? -1 : 1;
}

bool RecycledHasLists(const std::string& programFolder) {
    for (const FolderItem& item : ListFolder(programFolder + "/imgLists/Recycled"))
        if (EndsWithNoCase(item.name, kListExtension)) return true;
    return false;
}

bool IsFolderWithEntries(const std::string& name) {
    std::error_code ec;
    return !name.empty() && std::filesystem::is_directory(name, ec);
}

ListDrop ClassifyListDrop(const std::string& name) {
    if (IsFolderWithEntries(name)) return ListDrop::Folder;
    return UpperExtension(name) == ".LST" ? ListDrop::ListFile : ListDrop::Ignored;
}

int CreateList(ListContext& context, ListLibrary& lists) {
    for (int number = 1; number > 0; ++number) {
        const std::string name = "untitled" + std::to_string(number) + ".lst";
        const std::string path = context.listFolder() + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            throw std::runtime_error("Cannot create the list \"" + path +
                                     "\": " + errnoText(errno));
        }
        ::close(fd);
        return lists.addRow({name, "0", path});
    }
    throw std::runtime_error("Cannot create a new list: every name is taken");
}

std::string RenameList(ListContext& context, ListLibrary& lists, int row,
                       const std::string& caption) {
    std::string name = caption;
    if (name.find(kListExtension) == std::string::npos) name += kListExtension;
    ListRow listRow = lists.row(row);
    auto refuse = [&](const std::string& cause) -> std::runtime_error {
        return std::runtime_error("Cannot rename the list \"" + listRow.caption + "\" to \"" +
                                  name + "\": " + cause);
    };
    if (name.find('/') != std::string::npos) throw refuse("a name cannot contain \"/\"");
    if (name.find('\0') != std::string::npos) throw refuse("invalid character in the name");

    const std::string target = context.listFolder() + "/" + name;
    if (target != listRow.path) {
        const int err = MoveWithoutReplacing(listRow.path, target);
        if (err == EEXIST) throw refuse("a list of that name exists");
        if (err == EXDEV) {
            // Only a list kept on another file system: copy it, then drop the original.
            std::error_code ec;
            if (std::filesystem::exists(target, ec)) throw refuse("a list of that name exists");
            writeFileAtomically(target, ReadListFile(listRow.path));
            ::unlink(listRow.path.c_str());
        } else if (err != 0) {
            throw refuse(errnoText(err));
        }
    }
    if (context.settings.cIList == listRow.path) context.settings.cIList = target;
    listRow.caption = name;
    listRow.path = target;
    lists.setRow(row, listRow);
    return name;
}

void ImportListFiles(ListContext& context, ListLibrary& lists,
                     const std::vector<std::string>& files) {
    const ListLibraryUpdate update(lists);
    const std::string recycled = context.recycleFolder();
    for (const std::string& file : files) {
        if (sameFolder(folderOf(file), recycled))
            restoreListFile(context, lists, file);
        else
            AddListFile(context, lists, file);
    }
}

void RemoveListsToRecycled(ListContext& context, ListLibrary& lists) {
    removeSelected(context, lists, recycleFile);
}

void DeleteLists(ListContext& context, ListLibrary& lists) {
    removeSelected(context, lists, deleteFile);
}

}  // namespace velluma
