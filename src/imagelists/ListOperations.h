#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

class ListLibrary;
class PictureView;
struct Settings;

/// What the list operations work with; the program builds one for the run.
struct ListContext {
    Settings& settings;  // ProgramFolder, and cIList and cImg, which the removals clear
    /// Clears the wallpaper (SetWallpaperPicture with no picture); may be empty.
    std::function<void()> clearWallpaper;

    /// ProgramFolder + "/imgLists"
    std::string listFolder() const;
    /// ProgramFolder + "/imgLists/Recycled"
    std::string recycleFolder() const;
};

/// Brings a list file into the list folder and adds its row (caption: its file name;
/// count: its number of lines; path: its place in the list folder). A list from elsewhere
/// is copied in, replacing a list of that name, crash-safely; its copy always ends in
/// ".lst" (TRAVEL.LST becomes TRAVEL.lst). The row is selected when it is the current list
/// and no row is selected yet. Returns the row's index. Throws std::runtime_error, with no
/// row added, when the list cannot be read or copied.
int AddListFile(ListContext& context, ListLibrary& lists, const std::string& path);

/// Runs AddListFile on every "*.lst" (any letter case) of folder, after running itself on
/// each subfolder (all but "Recycled", links, hidden and read-only folders), so the lists
/// of subfolders are copied up into the list folder. A list that already has a row (one
/// copied up from a subfolder, or replaced by a dropped folder's list of the same name)
/// keeps its one row, with its count updated. A list that cannot be added does not stop
/// the others: the first such error is thrown at the end.
void AddListsFromFolder(ListContext& context, ListLibrary& lists, const std::string& folder);

/// The start-up fill: removes temp files left by an interrupted save (of a list or of the
/// wallpaper), then clears the rows and runs AddListsFromFolder on the list folder inside
/// one update bracket.
void LoadListLibrary(ListContext& context, ListLibrary& lists);

/// Appends the picture's line (path + "?" + width + "*" + height, measured by decoding it)
/// to the list file of the row and saves it crash-safely, with one read and one write;
/// the row's count becomes the file's number of lines. Only ".bmp", ".jpg" and ".jpeg"
/// (any letter case) are added; other names add nothing and return false. With refresh,
/// the pictures view is filled again afterwards. Throws std::runtime_error, leaving the
/// list file as it was, when the picture cannot be read, when its path cannot be a list
/// line (a line break or "?" in it), or when the list cannot be read or written.
bool AddPictureToList(ListLibrary& lists, int row, const std::string& picture, bool refresh,
                      PictureView& pictures);

/// Fills the pictures view with the entries of the row's list file (row -1: none, the
/// view stays empty), inside one update bracket. Throws std::runtime_error when the list
/// cannot be read; the view is then empty.
void FillPictureView(PictureView& pictures, const ListLibrary& lists, int row);

/// Compares two count texts as integers (text that is no number counts as 0): -1 when the
/// first is smaller, otherwise +1; equal counts give +1.
int CompareCounts(std::string_view first, std::string_view second);

/// True when the recycle folder holds a "*.lst" (any letter case, anything of that name).
bool RecycledHasLists(const std::string& programFolder);

/// True when name is a folder (a dropped folder rather than a dropped file).
bool IsFolderWithEntries(const std::string& name);

/// What a name dropped on the list library is.
enum class ListDrop { Folder, ListFile, Ignored };
/// A folder; otherwise a list file when its extension is ".lst" in any letter case.
ListDrop ClassifyListDrop(const std::string& name);

/// Creates "untitled" + N + ".lst" (the smallest free N) as an empty file in the list
/// folder and appends its row (count "0"). Returns the row's index. Throws
/// std::runtime_error, with no row added, when the file cannot be created.
int CreateList(ListContext& context, ListLibrary& lists);

/// Renames the row's list to caption, with ".lst" appended unless caption contains ".lst"
/// (case-sensitive), moving it into the list folder. The move is atomic: the list is
/// under its old name or its new one, never lost. A name with "/", or one that the file
/// system refuses, or the name of another existing list, throws std::runtime_error and
/// leaves the list and its row as they were. The current list (cIList) follows the rename.
/// Returns the row's new caption.
std::string RenameList(ListContext& context, ListLibrary& lists, int row,
                       const std::string& caption);

/// Imports list files in one update bracket: AddListFile on each in order. A file chosen
/// from the recycle folder is moved back instead (restore); when the list folder already
/// holds a list of its name it comes back as "name (2).lst" (or the next free number), so
/// both are kept. Throws std::runtime_error at the first file that cannot be imported;
/// the ones before it stay imported.
void ImportListFiles(ListContext& context, ListLibrary& lists,
                     const std::vector<std::string>& files);

/// Moves the selected lists to the recycle folder and removes their rows, in one update
/// bracket; a list whose name the recycle folder already holds is kept there as
/// "name (2).lst" (or the next free number). Removing the current list clears cIList, cImg
/// and the wallpaper. Afterwards the row before the last removed one (or row 0) is
/// selected. A file that cannot be moved stays where it is, unreported.
void RemoveListsToRecycled(ListContext& context, ListLibrary& lists);

/// As RemoveListsToRecycled, but deletes the files.
void DeleteLists(ListContext& context, ListLibrary& lists);

}  // namespace velluma
