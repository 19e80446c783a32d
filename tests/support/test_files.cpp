// Files for the Wine test programs: temporary folders and Wine's path mapping.
#include "support/test_files.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace veldrin_test {
namespace {

// Wine's own exports from kernel32; absent on Windows itself.
using UnixNameFn = char*(CDECL*)(const WCHAR*);
using DosNameFn = WCHAR*(CDECL*)(const char*);

std::wstring widen(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? size_t(n) : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
  w.resize(w.size() - 1);
  return w;
}

std::string narrow(const WCHAR* w) {
  int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? size_t(n) : 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.resize(s.size() - 1);
  return s;
}

} // namespace

std::string make_temp_dir(const std::string& prefix) {
  char base[MAX_PATH];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n >= sizeof base)
    return std::string();
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%s%s-%lu-%u", base, prefix.c_str(), GetCurrentProcessId(),
                  ++counter);
    if (CreateDirectoryA(name, nullptr))
      return name;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      return std::string();
  }
  return std::string();
}

bool remove_tree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  bool ok = true;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..")
        continue;
      std::string full = path + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        ok = remove_tree(full) && ok;
      else
        ok = DeleteFileA(full.c_str()) && ok;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  return RemoveDirectoryA(path.c_str()) && ok;
}

std::string unix_path(const std::string& windows_path) {
  auto fn = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn)
    return std::string();
  char* p = fn(widen(windows_path).c_str());
  if (!p)
    return std::string();
  std::string result = p;
  HeapFree(GetProcessHeap(), 0, p);
  return result;
}

std::string windows_path(const std::string& unix_path) {
  auto fn = reinterpret_cast<DosNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (!fn)
    return std::string();
  WCHAR* p = fn(unix_path.c_str());
  if (!p)
    return std::string();
  std::string result = narrow(p);
  HeapFree(GetProcessHeap(), 0, p);
  // Wine names a file through \\?\ when it is not on a lettered drive.
  if (result.rfind("\\\\?\\", 0) == 0)
    result = result.substr(4);
  return result;
}

bool read_file(const std::string& path, std::string* content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  std::string s;
  char buf[4096];
  DWORD n = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf, sizeof buf, &n, nullptr)) && n > 0)
    s.append(buf, n);
  CloseHandle(h);
  if (ok)
    *content = s;
  return ok;
}

bool write_file(const std::string& path, const std::string& content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  DWORD n = 0;
  bool ok = WriteFile(h, content.data(), DWORD(content.size()), &n, nullptr) && n == content.size();
  return CloseHandle(h) && ok;
}

bool file_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace veldrin_test
