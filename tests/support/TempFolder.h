#pragma once

#include <string>
#include <vector>

namespace velluma::test {

/// A fresh folder under the system's temp folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    /// path() + "/" + relative
    std::string file(const std::string& relative) const { return m_path + "/" + relative; }

    /// Writes a file (creating its folders); returns its path.
    std::string write(const std::string& relative, const std::string& contents) const;
    /// Creates a folder (and its parents); returns its path.
    std::string makeFolder(const std::string& relative) const;

private:
    std::string m_path;
};

/// The whole content of a file, or "" when it cannot be read.
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
/// The names in a folder, sorted; none when it cannot be read.
std::vector<std::string> SortedNames(const std::string& folder);

}  // namespace velluma::test
