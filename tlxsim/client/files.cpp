// Files on the Windows side of the simulator.
#include "tlxsim/client/files.h"

#include <windows.h>

#include <cstdio>

namespace tlxsim {
namespace {
void remove_tree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName, full = path + "\\" + name;
      if (name == "." || name == "..")
        continue;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        remove_tree(full);
      else
        DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}
} // namespace

TempDir::TempDir(const char* prefix) {
  char base[MAX_PATH], name[MAX_PATH];
  static unsigned counter = 0;
  if (GetTempPathA(sizeof base, base) == 0)
    return;
  // Wine reuses process ids, and a folder a crashed run left behind stays.
  for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
    snprintf(name, sizeof name, "%s%s-%lu-%u", base, prefix, GetCurrentProcessId(), ++counter);
    if (CreateDirectoryA(name, nullptr))
      path_ = name;
  }
}

TempDir::~TempDir() {
  if (!path_.empty())
    remove_tree(path_);
}

bool read_file(const std::string& path, std::string* content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  content->clear();
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0)
    content->append(buf, n);
  CloseHandle(h);
  return true;
}

std::string read_file(const std::string& path) {
  std::string content;
  read_file(path, &content);
  return content;
}

bool write_file(const std::string& path, const std::string& content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DWORD n = 0;
  const bool ok = WriteFile(h, content.data(), DWORD(content.size()), &n, nullptr);
  return CloseHandle(h) && ok && n == content.size();
}

std::string unix_path(const std::string& windowsPath) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  auto fn = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  WCHAR wide[MAX_PATH];
  if (fn == nullptr || !MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH))
    return "";
  char* p = fn(wide);
  std::string result = p != nullptr ? p : "";
  HeapFree(GetProcessHeap(), 0, p);
  return result;
}

} // namespace tlxsim
