// labelhost diff: label images written as BMP files of several depths, run
// through labelhost.exe, its printed lines matched exactly.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/imaging/worked_examples.h"

namespace {
// Writes a width x height BMP at 1, 8 or 24 bits per pixel: white, with the
// listed pixels black.
void write_bmp(const std::string& path, int width, int height, int bitsPerPixel,
               const std::vector<Pixel>& black) {
  const int rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
  const int colours = bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
  std::vector<BYTE> rows(static_cast<size_t>(rowBytes) * height, 0);
  auto set = [&](int x, int y, bool isBlack) {
    BYTE* row = rows.data() + static_cast<size_t>(height - 1 - y) * rowBytes;
    if (bitsPerPixel == 24) {
      memset(row + x * 3, isBlack ? 0 : 255, 3);
    } else if (bitsPerPixel == 8) {
      row[x] = isBlack ? 7 : 200; // entries 7 and 200 of the grey table below
    } else if (!isBlack) {
      row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8)); // entry 1 is white
    } else {
      row[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
    }
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      set(x, y, false);
  for (const Pixel& p : black)
    set(p.x, p.y, true);
  std::vector<RGBQUAD> table(static_cast<size_t>(colours));
  for (int i = 0; i < colours; ++i) {
    const BYTE level = bitsPerPixel == 1 ? static_cast<BYTE>(i * 255)
                       : i == 7          ? 0
                       : i == 200        ? 255
                                         : 128;
    table[static_cast<size_t>(i)] = RGBQUAD{level, level, level, 0};
  }
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.biSizeImage = static_cast<DWORD>(rows.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info) + colours * sizeof(RGBQUAD);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  fwrite(&file, sizeof(file), 1, f);
  fwrite(&info, sizeof(info), 1, f);
  if (colours > 0)
    fwrite(table.data(), sizeof(RGBQUAD), table.size(), f);
  fwrite(rows.data(), 1, rows.size(), f);
  fclose(f);
}

std::string folder_of_this_program() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct RunResult {
  DWORD exitCode;     // labelhost's exit code
  std::string output; // what it printed on standard output, CRs removed
};

// Runs labelhost.exe from this program's folder with the arguments.
RunResult run_labelhost(const std::string& arguments) {
  RunResult result{0xFFFFFFFF, ""};
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string command = "\"" + folder_of_this_program() + "labelhost.exe\" " + arguments;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      folder_of_this_program().c_str(), &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
      result.output.append(buffer, got);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  std::string clean;
  for (char c : result.output)
    if (c != '\r')
      clean += c;
  result.output = clean;
  return result;
}

std::string temp_path(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof(folder), folder);
  return std::string(folder) + "veldrin_diff_" + name;
}
} // namespace

TEST(LabelhostDiff, PrintsTheResultAndTheRegions) {
  struct Image {
    int width, height, bitsPerPixel;
    std::vector<Pixel> black;
  };
  struct Case {
    const char* name;
    Image before, after;
    const char* expected; // labelhost's standard output
  } cases[] = {
      {"one pixel", {64, 64, 24, {}}, {64, 64, 24, {{20, 20}}}, "1\n0 16 32 16\n"},
      {"two regions in order",
       {64, 64, 24, {}},
       {64, 64, 24, {{20, 20}, {44, 44}}},
       "2\n0 16 32 16\n32 40 16 16\n"},
      {"merged",
       {64, 64, 24, {{1, 1}}},
       {64, 64, 24, {{1, 1}, {31, 48}, {47, 60}}},
       "1\n0 48 48 16\n"},
      {"odd width at the right edge", {20, 20, 24, {}}, {20, 20, 24, {{17, 3}}}, "1\n8 0 12 20\n"},
      {"unchanged", {64, 64, 24, {{5, 5}}}, {64, 64, 24, {{5, 5}}}, "0\n"},
      {"any depth: 1 bit before, 8 bits after",
       {64, 64, 1, {{3, 3}}},
       {64, 64, 8, {{3, 3}, {63, 63}}},
       "1\n48 56 16 8\n"},
      {"any depth: the same picture at 1 and 24 bits",
       {40, 30, 1, {{0, 0}, {39, 29}}},
       {40, 30, 24, {{0, 0}, {39, 29}}},
       "0\n"},
      {"different sizes", {64, 64, 24, {}}, {64, 65, 24, {}}, "-1\n"},
  };
  const std::string before = temp_path("before.bmp");
  const std::string after = temp_path("after.bmp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_bmp(before, c.before.width, c.before.height, c.before.bitsPerPixel, c.before.black);
    write_bmp(after, c.after.width, c.after.height, c.after.bitsPerPixel, c.after.black);
    const RunResult run = run_labelhost("diff \"" + before + "\" \"" + after + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(std::string(c.expected), run.output);
  }
  DeleteFileA(before.c_str());
  DeleteFileA(after.c_str());
}

TEST(LabelhostDiff, MissingFileOrArgumentsFail) {
  const std::string image = temp_path("one.bmp");
  write_bmp(image, 16, 16, 24, {});
  const std::string missing = temp_path("missing.bmp");
  DeleteFileA(missing.c_str());
  RunResult run = run_labelhost("diff \"" + image + "\" \"" + missing + "\"");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ("", run.output);
  run = run_labelhost("diff \"" + missing + "\" \"" + image + "\"");
  EXPECT_EQ(1u, run.exitCode);
  run = run_labelhost("diff \"" + image + "\"");
  EXPECT_EQ(2u, run.exitCode);
  DeleteFileA(image.c_str());
}
