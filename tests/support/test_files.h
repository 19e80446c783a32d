// Files for the Wine test programs: fresh temporary folders, their removal, and the mapping
// between Windows paths and the Unix paths that Unix tools (the printer simulator) see.
#pragma once

#include <string>

namespace veldrin_test {

// Makes a new, empty folder under the Windows temporary folder, named `prefix` plus a unique
// suffix, and returns its Windows path ("" on failure).
std::string make_temp_dir(const std::string& prefix);
// Removes a folder and everything in it. Returns false if something could not be removed.
bool remove_tree(const std::string& path);

// Wine's mapping of a Windows path to the Unix file it names, and back ("" on failure).
std::string unix_path(const std::string& windows_path);
std::string windows_path(const std::string& unix_path);

// The whole content of a file; false if it cannot be read.
bool read_file(const std::string& path, std::string* content);
bool write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);

// A temporary folder that removes itself.
class TempDir {
public:
  explicit TempDir(const std::string& prefix = "veldrin") : path_(make_temp_dir(prefix)) {}
  ~TempDir() {
    if (!path_.empty())
      remove_tree(path_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; } // Windows path, "" if it could not be made
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
};

} // namespace veldrin_test
