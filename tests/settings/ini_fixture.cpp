// Temporary INI files for the settings tests.
#include "tests/settings/ini_fixture.h"

#include <cstdio>

void IniFixture::SetUp() {
  char base[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(sizeof(base), base));
  char name[64];
  snprintf(name, sizeof(name), "veldrin-ini-%lu-%lu", GetCurrentProcessId(), GetTickCount());
  dir_ = std::string(base) + name;
  ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ini_ = dir_ + "\\HOST.INI";
  DeleteFileA(ini_.c_str());
  SetEnvironmentVariableA("ZOVAV_INI", ini_.c_str());
}

void IniFixture::TearDown() {
  DeleteFileA(ini_.c_str());
  RemoveDirectoryA(dir_.c_str());
  SetEnvironmentVariableA("ZOVAV_INI", nullptr);
}

void IniFixture::WriteIni(const std::string& text, bool create) {
  // The profile functions keep a cached copy; flush it before replacing the file.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_.c_str());
  DeleteFileA(ini_.c_str());
  if (!create)
    return;
  HANDLE f = CreateFileA(ini_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  DWORD n = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(f);
}

std::string IniFixture::ReadIni() const {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_.c_str());
  HANDLE f = CreateFileA(ini_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE)
    return "";
  std::string text(GetFileSize(f, nullptr), '\0');
  DWORD n = 0;
  ReadFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(f);
  text.resize(n);
  return text;
}

std::string IniFixture::IniValue(const char* section, const char* key) const {
  char buf[1024];
  GetPrivateProfileStringA(section, key, "<absent>", buf, sizeof(buf), ini_.c_str());
  return buf;
}
