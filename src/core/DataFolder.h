#pragma once

#include <string>
#include <string_view>

namespace velluma {

/// The two folders a run uses. In portable mode both are the program file's folder; in an
/// installed copy that this user cannot write, what the program writes lives in a data
/// folder of the user's own.
struct ProgramFolders {
    std::string install;  // the program file's folder: Languages, Help, links.ini, the page program
    std::string data;     // registry, advThemes, imgLists
    bool perUser() const { return data != install; }
};

/// True when this user may keep the program's data beside the program file: the folder's
/// permission bits grant the user write access (root's override does not count) and its file
/// system takes writes. A folder under /usr never counts: that tree holds the system's shared,
/// read-only files.
bool folderWritable(const std::string& folder);

/// "$XDG_DATA_HOME/Velluma", else "$HOME/.local/share/Velluma"; a variable that is empty or
/// not an absolute path is ignored. Empty when neither gives a folder.
std::string perUserDataFolder(std::string_view xdgDataHome, std::string_view home);

/// The folders for a program file in installFolder, from this process's environment.
ProgramFolders chooseProgramFolders(const std::string& installFolder);

/// Makes the data folder ready. The first time, it is laid out whole from the installed copy
/// (class keys, sample themes, pictures and the empty Recycled and WorkDir folders) in a
/// scratch folder beside it that is renamed into place, so an interrupted run leaves nothing
/// half made; later runs only put back missing folders. Image lists are not copied: they would
/// name the installed pictures, and the first run writes its own. Throws std::runtime_error
/// naming the folder when it cannot be made.
void prepareDataFolder(const ProgramFolders& folders);

/// The command a start-up entry runs: in per-user mode the link on the system's path that
/// leads to the program file ("/usr/bin/velluma" beside "/usr/lib/velluma"), else the
/// program file itself.
std::string startupCommand(const std::string& installFolder, bool perUser);

}  // namespace velluma
