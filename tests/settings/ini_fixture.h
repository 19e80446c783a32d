// A private INI file for one test: a fresh temporary folder, ZOVAV_INI
// pointing at HOST.INI inside it, and the file's text read and written whole.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

class IniFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the INI file with exactly this text (no file for an empty text
  // when `create` is false).
  void WriteIni(const std::string& text, bool create = true);
  // The INI file's text now ("" when there is none).
  std::string ReadIni() const;
  // A key's value as the profile functions read it ("<absent>" if missing).
  std::string IniValue(const char* section, const char* key) const;

  std::string dir_; // the temporary folder
  std::string ini_; // its HOST.INI
};
