// labelhost print in file mode, run as a program the way a person runs it,
// on a black-and-white BMP: the stream it writes through the driver, rendered
// by the simulator's offline renderer, gives back the image dot for dot at
// its centring offset, for both models. A round trip through the host's
// stand-in, the driver's file mode and the printer's decoder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/host_environment.h"
#include "support/host_job.h"
#include "support/label_maker.h"
#include "support/png_image.h"
#include "support/programs.h"
#include "support/test_files.h"

namespace {
// Writes the label as a 1-bit BMP file (bottom-up rows, white = colour 1).
bool write_bmp(const std::string& path, const TestLabel& label) {
  const int stride = ((label.width + 31) / 32) * 4;
  const DWORD imageSize = static_cast<DWORD>(stride * label.height);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  const RGBQUAD colours[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info) + sizeof(colours);
  file.bfSize = file.bfOffBits + imageSize;
  info.biSize = sizeof(info);
  info.biWidth = label.width;
  info.biHeight = label.height;
  info.biPlanes = 1;
  info.biBitCount = 1;
  info.biSizeImage = imageSize;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
  bytes.append(reinterpret_cast<const char*>(colours), sizeof(colours));
  for (int y = label.height - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < label.width; ++x)
      if (!label.is_black(x, y))
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    bytes += row;
  }
  return veldrin_test::write_file(path, bytes);
}
} // namespace

TEST(LabelhostPrint, FileModeStreamRendersBackToTheImage) {
  struct Case {
    int model;         // 261 or 264
    int dotsPerMm;     // 12 or 8
    int widthTenthMm;  // label width; the image is as wide in dots
    int lengthTenthMm; // label length
  } cases[] = {{261, 12, 415, 200}, {264, 8, 400, 250}};
  veldrin_test::HostEnvironment host; // default settings: maximum width 53 mm
  ASSERT_TRUE(host.ready());
  const char* tlxsim = getenv("TLXSIM");
  ASSERT_NE(nullptr, tlxsim) << "tools/wine-run names the simulator in TLXSIM";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    const TestLabel label = MakeTestLabel(c.widthTenthMm * c.dotsPerMm / 10,
                                          c.lengthTenthMm * c.dotsPerMm / 10, c.model, 7);
    const std::string bmp = host.dir() + "\\label.bmp";
    const std::string prn = host.dir() + "\\label.prn";
    const std::string png = host.dir() + "\\label.png";
    ASSERT_TRUE(write_bmp(bmp, label));
    DeleteFileA(png.c_str());

    std::string output;
    const int code = veldrin_test::RunProgram(
        "\"" + veldrin_test::BuildProgramPath("labelhost.exe") + "\" print --file \"" + prn +
            "\" --image \"" + bmp + "\" --model " + std::to_string(c.model) + " --width " +
            std::to_string(c.widthTenthMm) + " --length " + std::to_string(c.lengthTenthMm),
        host.dir() + "\\out.txt", &output);
    ASSERT_EQ(0, code) << output;
    EXPECT_NE(std::string::npos, output.find("label 1: KtPrPrintOneLabel sent")) << output;

    ASSERT_TRUE(veldrin_test::RunUnixCommand(std::string(tlxsim) + " render '" +
                                             veldrin_test::unix_path(prn) + "' '" +
                                             veldrin_test::unix_path(png) + "' >/dev/null"));
    veldrin_test::Pixels printed;
    std::string error;
    ASSERT_TRUE(veldrin_test::read_png(png, &printed, &error)) << error;
    const int offset = veldrin_test::CentringOffsetDots(53, c.widthTenthMm, c.dotsPerMm);
    ASSERT_GE(printed.width, offset + label.width);
    const veldrin_test::PrintedDifference d =
        veldrin_test::ComparePrinted(printed, offset, label.width, label.height, label.black);
    EXPECT_EQ(0u, d.wrong) << "dots inside the label differ";
    EXPECT_EQ(0u, d.stray) << "dots outside the label";
  }
}
