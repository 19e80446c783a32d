// The driver's string table, loaded through the host library under the name
// the driver registered at load, whole and cut to small buffers; and the
// registration itself as the host library saw it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/errors.h"
#include "tests/driver/driver_dll.h"
#include "host/zovav.h"
#include "zovav/test_hooks.h"

namespace {
struct StringCase {
  UINT id;          // string id (error codes are their own ids)
  const char* text; // exact text
};

const StringCase kStrings[] = {
    {39999, "VELDRIN"},
    {60001, "TLX-Pro series(12dot, COM Type)"},
    {60002, "Error or alert message"},
    {60003, "TLX-Pro series(8dot,COM Type)"},
    {60601, "Parameter \"%s\" is out of range.Please input the numerical value from %d to %d."},
    {60602, "Print density"},
    {60800, "The RS-232 communication error occurred."},
    {60801, "The processing that the printer initialized failed."},
    {60802, "The discontinuance operation of the printer failed"},
    {60803, "The error of the memory of the personal computer occurred while printing."},
    {60804, "The specified bit map image data cannot be transmitted."},
    {60805, "The error occurred while printing."},
    {60806, "The state of the printer cannot be printed."},
    {60807, "Because the format is not opened, it doesn't put it in the printer setting."},
    {60808, "The preservation of the position where the commodity was begun the print failed. "
            "Please confirm the file of the data base at the \r\n print beginning position."},
    {60809, "The error occurred when the command or data was transmitted to the printer."},
    {60810, "The error of the set occurred."},
    {60811, "The ribbon was used completely. Please give changing to me."},
    {60812, "The error of parity occurred."},
    {60813, "Fleming's error occurred."},
    {60814, "The error of overrunning occurred."},
    {60815, "An uncertain command was received. "},
    {60816, "The residual number of sheets data was not able to be received, and the print duty "
            "became a time-out."},
    {60817, "The print duty discontinued it because it had received abnormal residual number of "
            "sheets data \"9999\". "},
};

class Messages : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_NE(nullptr, Driver().hModule); }
};
} // namespace

TEST_F(Messages, EveryStringLoadsWhole) {
  for (const StringCase& c : kStrings) {
    SCOPED_TRACE(c.id);
    char buf[512];
    memset(buf, 'x', sizeof(buf));
    LoadDriverString(c.id, buf, sizeof(buf));
    EXPECT_EQ(std::string(c.text), std::string(buf));
  }
}

TEST_F(Messages, SmallBufferCutsTheText) {
  for (int size : {1, 2, 8, 30}) {
    for (const StringCase& c : kStrings) {
      SCOPED_TRACE(testing::Message() << c.id << " in " << size);
      char buf[64];
      memset(buf, 'x', sizeof(buf));
      LoadDriverString(c.id, buf, size);
      const std::string expected = std::string(c.text).substr(0, size - 1);
      EXPECT_EQ(expected, std::string(buf));
      EXPECT_EQ('x', buf[size]) << "nothing written past the buffer";
    }
  }
}

TEST_F(Messages, ErrorCodesAreTheirMessageIds) {
  EXPECT_EQ(60800u, kErrCommOpen);
  EXPECT_EQ(60806u, kErrNotReady);
  EXPECT_EQ(60817u, kErrBadRemaining);
  char buf[256];
  LoadDriverString(kErrNotReady, buf, sizeof(buf));
  EXPECT_STREQ("The state of the printer cannot be printed.", buf);
}

TEST_F(Messages, StringTableIsStoredAsJapanese) {
  const LANGID japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  for (UINT id : {39999u, 60001u, 60601u, 60800u, 60816u}) {
    SCOPED_TRACE(id);
    HRSRC block = FindResourceExA(Driver().hModule, reinterpret_cast<LPCSTR>(RT_STRING),
                                  MAKEINTRESOURCEA(id / 16 + 1), japanese);
    EXPECT_NE(nullptr, block);
  }
  EXPECT_EQ(1041, japanese);
}

TEST_F(Messages, TheDriverRegisteredItselfAtLoad) {
  ZoVavTestHooks hooks;
  ASSERT_TRUE(LoadZoVavTestHooks(&hooks));
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(Driver().hModule), hooks.RegisteredModule("VELDRIN"));
  EXPECT_GE(hooks.RegistrationCount(), 1);
}

TEST_F(Messages, ALoadOfAFreshCopyRegistersAgain) {
  ZoVavTestHooks hooks;
  ASSERT_TRUE(LoadZoVavTestHooks(&hooks));
  // A second, separate copy of the DLL gets its own process attach.
  char path[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(Driver().hModule, path, sizeof(path)));
  char copy[MAX_PATH + 16];
  lstrcpyA(copy, path);
  lstrcpyA(strrchr(copy, '\\') + 1, "VELDRIN_copy.dll");
  ASSERT_TRUE(CopyFileA(path, copy, FALSE));
  const int before = hooks.RegistrationCount();
  HMODULE second = LoadLibraryA(copy);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(before + 1, hooks.RegistrationCount());
  EXPECT_EQ(reinterpret_cast<HINSTANCE>(second), hooks.RegisteredModule("VELDRIN"));
  FreeLibrary(second);
  DeleteFileA(copy);
  // Give the name back to the first copy for the tests that follow.
  RegisterDLLPrinterFnV("VELDRIN", reinterpret_cast<HINSTANCE>(Driver().hModule));
}
