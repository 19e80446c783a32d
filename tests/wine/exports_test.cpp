// The exports that answer without a printer: the capability queries, every
// control request, the string table, and the frame of a printer's use
// (KtPrInitPrinter, KtPrClosePrinter, KtPrGetPrintError) with its debug lines.
#include <cstring>
#include <sstream>

#include "tests/wine/fixture.h"
#include "zovav/test_hooks.h"

using namespace veldrin_test;

TEST_F(Exports, SpecRecordsFollowTheSizeHandshake) {
  struct Row {
    bool printer; // KtPrGetPrinterSpec, else KtPrGetDriverSpec
    DWORD size;   // the record's size field; 0: a null record
    DWORD model;  // model index
    DWORD result;
    const char* body; // bytes 4..15 of the record afterwards, as hex
    const char* name; // the model name (printer spec)
    WORD dpi;
  } rows[] = {
      {false, 0, 0, 268},
      {false, 15, 0, 0, "EEEEEEEEEEEEEEEEEEEEEEEE"},
      {false, 16, 0, 16, "000000000000000002000000"},
      {false, 268, 0, 16, "000000000000000002000000"},
      {true, 0, 0, 268},
      {true, 267, 0, 0, "EEEEEEEEEEEEEEEEEEEEEEEE"},
      {true, 268, 0, 268, "05010000", "TLX-Pro series(12dot, COM Type)", 305},
      {true, 268, 256, 268, "05010000", "TLX-Pro series(12dot, COM Type)", 305},
      {true, 268, 1, 268, "08010000", "TLX-Pro series(8dot,COM Type)", 203},
      {true, 268, 255, 268, "08010000", "TLX-Pro series(8dot,COM Type)", 203},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.printer << " size " << r.size << " model " << r.model);
    BYTE record[268];
    memset(record, 0xEE, sizeof record);
    memcpy(record, &r.size, 4);
    BYTE* p = r.size ? record : nullptr;
    EXPECT_EQ(r.result, r.printer ? api().GetPrinterSpec(reinterpret_cast<PrinterSpec*>(p), r.model)
                                  : api().GetDriverSpec(reinterpret_cast<DriverSpec*>(p)));
    if (r.body != nullptr) {
      EXPECT_EQ(r.body, Hex(record + 4, strlen(r.body) / 2));
    }
    if (r.name != nullptr) {
      EXPECT_STREQ(r.name, reinterpret_cast<char*>(record + 8));
      EXPECT_EQ(Hex(&r.dpi, 2) + Hex(&r.dpi, 2), Hex(record + 264, 4));
    }
    EXPECT_EQ(r.size, *reinterpret_cast<DWORD*>(record)) << "the size field is not changed";
  }
  EXPECT_EQ(0u, api().PrintNotify(1, 2));
}

TEST_F(Exports, PrintDataByTypeCode) {
  struct Row {
    WORD type;
    DWORD printer;
    const char* record; // the 20 bytes afterwards
  } rows[] = {
      {261, 3, "0501EEEE78003200C8002404D007000000030000"},
      {264, 7, "0801EEEE50003200C8006004D007000000070000"},
      {264, 0x1205, "0801EEEE50003200C8006004D007000000050000"},
      {0, 1, "0000EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.type);
    BYTE record[20];
    memset(record, 0xEE, sizeof record);
    memcpy(record, &r.type, 2);
    EXPECT_EQ(1u, api().GetPrintData(r.printer, reinterpret_cast<PrintData*>(record)));
    EXPECT_EQ(r.record, Hex(record, 20));
  }
  EXPECT_EQ(1u, api().GetPrintData(1, nullptr));
}

TEST_F(Exports, ControlRequests) {
  struct Row {
    std::vector<DWORD> requests; // each alike
    LONG q;                      // the value at q; -1: q is null
    LONG result;
    const char* at_p; // the record's first bytes afterwards, as hex
    LONG q_after;     // the value at q afterwards
  } rows[] = {
      {{2}, -1, 1, "EEEE"},
      {{3}, -1, 1, "EEEEE803EE"},
      {{4, 9, 19, 20}, -1, 0, "EEEE"},
      {{5}, 261, 1, "6A00EE", 261},
      {{5}, 264, 1, "7000EE", 264},
      {{5}, -1, 1, "7000EE"},
      {{6, 8}, -1, 1, "0100EE"},
      {{7}, -1, 1, "C800EE"},
      {{10}, 3, 0, "EEEEEEEE", 3},
      {{10}, 8, 1, "FFFFFFFFEE", 4},
      {{10}, -1, 1, "FFFFFFFFEE"},
      {{11, 12, 21, 1}, -1, 1, "00EE"},
      {{18}, -1, 1, "01000000EE"},
      {{13}, -1, 1, "0501C80000000000030000000000000000000000EE"},
  };
  for (const Row& r : rows)
    for (DWORD request : r.requests) {
      SCOPED_TRACE(testing::Message() << "request " << request << " q " << r.q);
      BYTE record[24];
      memset(record, 0xEE, sizeof record);
      LONG q = r.q;
      EXPECT_EQ(r.result, api().IoControl(3, request, record, r.q == -1 ? nullptr : &q));
      EXPECT_EQ(r.at_p, Hex(record, strlen(r.at_p) / 2));
      EXPECT_EQ(r.q == -1 ? -1 : r.q_after, q);
    }
  for (DWORD request : {3, 5, 6, 7, 8, 10, 11, 12, 13, 17, 18, 21}) // the requests that use p
    EXPECT_EQ(0, api().IoControl(3, request, nullptr, nullptr)) << "no record, request " << request;
}

TEST_F(Exports, RequestSixteenSwapsTheUserValueAndFourteenRegisters) {
  api().IoControl(3, 16, reinterpret_cast<void*>(0x103), nullptr);
  EXPECT_EQ(0x103, api().IoControl(3, 16, reinterpret_cast<void*>(77), nullptr)) << "previous";
  EXPECT_EQ(77, api().IoControl(3, 15, nullptr, nullptr));

  const RegisteredModuleFn registered = LoadRegisteredModuleHook();
  ASSERT_NE(nullptr, registered);
  EXPECT_EQ(api().hModule, registered("VELDRIN")) << "registered at load";
  EXPECT_EQ(1, api().IoControl(1, 14, nullptr, nullptr));
  const std::vector<Call> calls = Calls(kRegisterDLLPrinterFnV);
  ASSERT_EQ(1u, calls.size());
  EXPECT_STREQ("VELDRIN", reinterpret_cast<const char*>(calls[0].arg[0]));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(api().hModule), calls[0].arg[1]);
}

TEST_F(Exports, StringTable) {
  for (const auto& [id, text] : kMessages) {
    SCOPED_TRACE(id);
    char loaded[256] = "";
    EXPECT_EQ(int(text.size()), LoadStringA(HINSTANCE(api().hModule), id, loaded, sizeof loaded));
    EXPECT_EQ(text, loaded);
    EXPECT_NE(nullptr, FindResourceExA(api().hModule, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1),
                                       MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)));
  }
}

TEST_F(Exports, InitCloseAndErrorFetch) {
  // An error is fetched, its text cut to the buffer, the port closed; the code stays.
  api().IoControl(1, 16, reinterpret_cast<void*>(1), nullptr);
  sim().command("dsr off", 1);
  EXPECT_EQ(0u, api().IsPrintReady(0, 0));
  EXPECT_FALSE(PortFree(1)) << "the port stays open";
  host_.clear_debug();
  char text[11];
  memset(text, 'x', sizeof text);
  EXPECT_EQ(60806u, api().GetPrintError(1, text, 11));
  EXPECT_STREQ("The state ", text);
  EXPECT_TRUE(PortFree(1));
  EXPECT_EQ(60806u, api().GetPrintError(1, nullptr, 256));
  EXPECT_EQ(1u, api().ClosePrinter(0));
  EXPECT_EQ(1, api().IoControl(1, 15, nullptr, nullptr)) << "the slot keeps the host's value";
  const std::vector<std::string> lines = {"GetPrintError--60806", "GetPrintError-CloseCom",
                                          "GetPrintError--60806", "GetPrintError-CloseCom",
                                          "ClosePrinter-CloseCom"};
  EXPECT_EQ(lines, host_.debug_lines());

  // No error: 0, the port stays open.
  sim().command("dsr on", 1);
  HostJob job(261, 200, 100);
  job.info.bIncremental = 1;
  EXPECT_EQ(0, print(kTwelve, label(kTwelve), job, true));
  host_.clear_debug();
  EXPECT_EQ(0u, api().GetPrintError(1, text, 11));
  EXPECT_FALSE(PortFree(1));
  EXPECT_EQ(std::vector<std::string>{"GetPrintError--0"}, host_.debug_lines());
  EXPECT_EQ(Leftovers({1, 0, 0, 0, 0, 2, 0}), Left()) << "the port, its event, the kept label";
  EXPECT_EQ(1u, api().ClosePrinter(0));
  EXPECT_EQ(Leftovers{}, Left());
}

TEST_F(Exports, TheVersionResource) {
  // The version as the file VERSION holds it, read here, not as the build took it.
  std::string version = read_file(VELDRIN_VERSION_FILE);
  version.erase(version.find_last_not_of(" \r\n") + 1);
  ASSERT_FALSE(version.empty());
  // The commit, the number of commits and clean/modified as git itself told the
  // test's build (tests/CMakeLists.txt); "none" for a tree without git.
  std::istringstream facts(read_file(VELDRIN_GIT_FACTS));
  std::string commit, count = "0", state;
  facts >> commit;
  if (commit == "none")
    commit = "unknown";
  else
    facts >> count >> state;
  ASSERT_FALSE(commit.empty());
  char file[MAX_PATH];
  GetModuleFileNameA(api().hModule, file, sizeof file);
  std::string info(GetFileVersionInfoSizeA(file, nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoA(file, 0, DWORD(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
  char numbers[32];
  snprintf(numbers, sizeof numbers, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
           fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
           fixed->dwFileVersionLS & 0xFFFF);
  EXPECT_EQ(version + "." + count, std::string(numbers)) << "the file VERSION, the commits";
  EXPECT_EQ(DWORD(VFT_DLL), fixed->dwFileType);
  // A modified tree's build is private, a build without git special.
  DWORD flags = state == "modified" ? VS_FF_PRIVATEBUILD : state.empty() ? VS_FF_SPECIALBUILD : 0;
  EXPECT_EQ(flags, fixed->dwFileFlags & fixed->dwFileFlagsMask) << state;
  const char* note = "Built from a working tree with uncommitted changes to the commit";
  const char* tarball = "Built without git (a source tarball): commit and build number unknown";
  // clang-format off
  for (auto [name, value] : {std::pair{"FileVersion", version.c_str()}, {"ProductVersion", version.c_str()},
         {"OriginalFilename", "VELDRIN.dll"}, {"InternalName", "VELDRIN"}, {"ProductName", "VELDRIN"},
         {"FileDescription", "TLX-Pro label printer driver"}, {"CompanyName", "VELDRIN project"},
         {"LegalCopyright", "Copyright (C) VELDRIN project"}, {"Commit", commit.c_str()},
         {"PrivateBuild", flags == VS_FF_PRIVATEBUILD ? note : ""},
         {"SpecialBuild", flags == VS_FF_SPECIALBUILD ? tarball : ""}}) {
    // clang-format on
    char* text = nullptr;
    VerQueryValueA(info.data(), (std::string("\\StringFileInfo\\041104B0\\") + name).c_str(),
                   reinterpret_cast<void**>(&text), &size);
    EXPECT_STREQ(value, text ? text : "") << name;
  }
}
