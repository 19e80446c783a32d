// Files on the Windows side of the simulator: a temporary folder that removes
// itself, whole-file reads and writes, and Wine's Windows-to-Unix path mapping
// (the simulator is a Unix program and is told where to write in Unix paths).
#pragma once

#include <string>

namespace tlxsim {

bool read_file(const std::string& path, std::string* content);
std::string read_file(const std::string& path); // "" when it cannot be read
bool write_file(const std::string& path, const std::string& content);
std::string unix_path(const std::string& windowsPath); // "" outside Wine

class TempDir {
public:
  explicit TempDir(const char* prefix = "veldrin");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; } // "" if it could not be made
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
};

} // namespace tlxsim
