#include "core/DataFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

namespace velluma {
namespace fs = std::filesystem;
namespace {

bool inGroup(gid_t group) {
    if (group == ::getegid()) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == group) return true;
    return false;
}

bool absolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && absolute(home)) return home;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

[[noreturn]] void failed(const fs::path& path, const std::error_code& ec) {
    throw std::runtime_error("The data folder " + path.string() +
                             " could not be made: " + ec.message());
}

void makeFolders(const fs::path& data) {
    for (const char* sub : {"registry", "advThemes/Recycled", "advThemes/WorkDir",
                            "imgLists/Recycled", "imgLists/WorkDir"}) {
        std::error_code ec;
        fs::create_directories(data / sub, ec);
        if (ec) failed(data / sub, ec);
    }
}

void copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::skip_existing, ec);
    if (ec) failed(to, ec);
}

// The pictures below imgLists: every folder but the program's own, every file but the lists.
void copyPictures(const fs::path& from, const fs::path& to, bool top) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
        const fs::path name = entry.path().filename();
        std::error_code typeError;
        if (entry.is_directory(typeError)) {
            if (top && (name == "Recycled" || name == "WorkDir")) continue;
            fs::create_directories(to / name, ec);
            if (ec) failed(to / name, ec);
            copyPictures(entry.path(), to / name, false);
        } else if (entry.is_regular_file(typeError) && name.extension() != ".lst") {
            copyFile(entry.path(), to / name);
        }
    }
}

void copyInstalled(const fs::path& install, const fs::path& data) {
    makeFolders(data);
    std::error_code ec;
    const fs::path classKeys = install / "registry" / "HKEY_CLASSES_ROOT.reg";
    if (fs::is_regular_file(classKeys, ec))
        copyFile(classKeys, data / "registry" / classKeys.filename());
    for (const fs::directory_entry& entry : fs::directory_iterator(install / "advThemes", ec)) {
        std::error_code typeError;
        if (entry.is_regular_file(typeError) && entry.path().extension() == ".tvp")
            copyFile(entry.path(), data / "advThemes" / entry.path().filename());
    }
    copyPictures(install / "imgLists", data / "imgLists", true);
}

std::string scratchName() {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string name = ".Velluma-";
    for (int i = 0; i < 8; ++i) name += digits[random() % (sizeof digits - 1)];
    return name;
}

}  // namespace

bool folderWritable(const std::string& folder) {
    if (folder == "/usr" || folder.rfind("/usr/", 0) == 0) return false;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    const mode_t bit = info.st_uid == ::geteuid() ? S_IWUSR
                       : inGroup(info.st_gid)     ? S_IWGRP
                                                  : S_IWOTH;
    return (info.st_mode & bit) != 0 && ::access(folder.c_str(), W_OK) == 0;
}

std::string perUserDataFolder(std::string_view xdgDataHome, std::string_view home) {
    if (absolute(xdgDataHome)) return std::string(xdgDataHome) + "/Velluma";
    if (absolute(home)) return std::string(home) + "/.local/share/Velluma";
    return {};
}

ProgramFolders chooseProgramFolders(const std::string& installFolder) {
    if (folderWritable(installFolder)) return {installFolder, installFolder};
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string data = perUserDataFolder(xdg ? xdg : "", homeFolder());
    if (data.empty())
        throw std::runtime_error("The program folder " + installFolder +
                                 " cannot be written and there is no home folder to keep the "
                                 "settings in");
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    return {installFolder, data};
}

void prepareDataFolder(const ProgramFolders& folders) {
    if (!folders.perUser()) return;
    const fs::path data = fs::path(folders.data).lexically_normal();
    std::error_code ec;
    if (fs::exists(data, ec)) {
        makeFolders(data);
        const fs::path classKeys = fs::path(folders.install) / "registry" / "HKEY_CLASSES_ROOT.reg";
        if (fs::is_regular_file(classKeys, ec) &&
            !fs::exists(data / "registry" / classKeys.filename(), ec))
            copyFile(classKeys, data / "registry" / classKeys.filename());
        return;
    }
    fs::create_directories(data.parent_path(), ec);
    if (ec) failed(data.parent_path(), ec);
    const fs::path scratch = data.parent_path() / scratchName();
    try {
        copyInstalled(folders.install, scratch);
        fs::rename(scratch, data, ec);
        if (ec) failed(data, ec);
    } catch (...) {
        fs::remove_all(scratch, ec);
        throw;
    }
}

std::string startupCommand(const std::string& installFolder, bool perUser) {
    const fs::path program = fs::path(installFolder) / "velluma";
    if (!perUser) return program.string();
    const fs::path onPath =
        (fs::path(installFolder) / ".." / ".." / "bin" / "velluma").lexically_normal();
    std::error_code ec;
    if (fs::equivalent(onPath, program, ec) && !ec) return onPath.string();
    return program.string();
}

}  // namespace velluma
