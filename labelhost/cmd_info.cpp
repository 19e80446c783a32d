// labelhost info: which driver file is loaded, its version, and what the
// driver tells the host about itself.
#include <cstdio>
#include <string>

#include "labelhost/commands.h"

namespace {
// A string of the file's version resource, in its first language; "" if none.
std::string version_value(const std::string& info, const char* name) {
  struct {
    WORD language, codePage;
  } * translation;
  UINT size = 0;
  char* value = nullptr;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &size) ||
      size < sizeof(*translation))
    return "";
  char path[96];
  snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
           translation->codePage, name);
  return VerQueryValueA(info.data(), path, reinterpret_cast<void**>(&value), &size) && size > 0
             ? value
             : "";
}

void print_print_data(const DriverApi& api, WORD typeCode) {
  PrintData data{};
  data.wTypeCode = typeCode;
  DWORD result = api.GetPrintData(1, &data);
  printf("  print data for type %u (result %lu): dots/10mm %u, %u, %u, max width %u (0.1 mm), "
         "%u, %u, %u, printer %u, %u\n",
         typeCode, result, data.wDotsPer10mm, data.wHostValue6, data.wHostValue8, data.wMaxWidth10,
         data.wHostValue12, data.wHostValue14, data.bHostValue16, data.bPrinterNo,
         data.wHostValue18);
}

// "VELDRIN 1.0.0 (description, file 1.0.0.0)" from the file's version
// resource, then the build number (the file version's fourth field) and the
// commit, which Windows 7 and later do not show in the file's properties, and
// a private or special build's text.
std::string driver_version(HMODULE driver) {
  char file[MAX_PATH] = "";
  GetModuleFileNameA(driver, file, sizeof file);
  std::string info(GetFileVersionInfoSizeA(file, nullptr), '\0');
  if (info.empty() || !GetFileVersionInfoA(file, 0, DWORD(info.size()), info.data()))
    return "unknown (no version resource)";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  char numbers[64] = "";
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size) &&
      size >= sizeof *fixed)
    snprintf(numbers, sizeof numbers, ", build %lu", fixed->dwFileVersionLS & 0xFFFF);
  std::string text = version_value(info, "ProductName") + " " +
                     version_value(info, "ProductVersion") + " (" +
                     version_value(info, "FileDescription") + ", file " +
                     version_value(info, "FileVersion") + ")" + numbers;
  const std::string commit = version_value(info, "Commit");
  text += ", commit " + (commit.empty() ? std::string("unknown") : commit);
  for (const char* mark : {"PrivateBuild", "SpecialBuild"})
    if (!version_value(info, mark).empty())
      text += " (" + version_value(info, mark) + ")";
  return text;
}
} // namespace

void ShowDriverFile(const DriverApi& api) {
  char file[MAX_PATH] = "";
  GetModuleFileNameA(api.hModule, file, sizeof file);
  printf("driver: %s\n", file);
  printf("version: %s\n", driver_version(api.hModule).c_str());
}

int CmdInfo(const DriverApi& api, int argc, char**) {
  if (argc != 0)
    return 2;
  if (!RequireExport(reinterpret_cast<const void*>(api.GetDriverSpec), "KtPrGetDriverSpec") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrinterSpec), "KtPrGetPrinterSpec") ||
      !RequireExport(reinterpret_cast<const void*>(api.GetPrintData), "KtPrGetPrintData"))
    return 1;

  ShowDriverFile(api);
  DriverSpec driver{};
  driver.dwSize = sizeof(driver);
  DWORD sizeNeeded = api.GetDriverSpec(nullptr);
  DWORD filled = api.GetDriverSpec(&driver);
  printf("driver spec: size asked %lu, filled %lu, printer models %lu\n", sizeNeeded, filled,
         driver.dwModelCount);

  for (DWORD index = 0; index < driver.dwModelCount; ++index) {
    PrinterSpec spec{};
    spec.dwSize = sizeof(spec);
    filled = api.GetPrinterSpec(&spec, index);
    printf("model %lu: type %lu \"%s\" %u x %u dpi (filled %lu)\n", index, spec.dwTypeCode,
           spec.szModelName, spec.wDpiX, spec.wDpiY, filled);
    print_print_data(api, static_cast<WORD>(spec.dwTypeCode));
  }
  return 0;
}
