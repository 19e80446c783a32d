// labelhost setup and conddlg, run as processes the way a person runs them:
// the settings dialog opened for a sample label and pictured, the host's
// print-condition dialog adjusted by the driver and reported control by
// control, and the no-format case.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/png_image.h"
#include "support/programs.h"
#include "support/test_files.h"
#include "tests/settings/ini_fixture.h"

namespace {
// Runs labelhost with these arguments; its exit code (-1 if it could not be
// run) and what it printed.
int run_labelhost(const std::string& args, const std::string& outputFile, std::string* output) {
  return veldrin_test::RunProgram(
      "\"" + veldrin_test::BuildProgramPath("labelhost.exe") + "\" " + args, outputFile, output);
}

class DialogTool : public IniFixture {
protected:
  std::string Run(const std::string& args, int expectedCode) {
    std::string output;
    EXPECT_EQ(expectedCode, run_labelhost(args, dir_ + "\\out.txt", &output)) << output;
    DeleteFileA((dir_ + "\\out.txt").c_str());
    return output;
  }
};
} // namespace

TEST_F(DialogTool, SetupShowsTheDialogAndTakesItsPicture) {
  WriteIni("[VELDRIN Info]\r\nVD01=<#19200#8#0#0#\r\n");
  const std::string png = dir_ + "\\setup.png";
  const std::string out = Run("setup 2 --start 42 --density 7 --screenshot \"" + png + "\"", 0);
  EXPECT_NE(std::string::npos, out.find("picture of \"Printer setting\" saved")) << out;
  EXPECT_NE(std::string::npos, out.find("setup printer 2: result 1")) << out;
  // Cancelled: the host's conditions as they were.
  EXPECT_NE(std::string::npos, out.find("host conditions: start 042 density 7")) << out;
  veldrin_test::Pixels pixels;
  std::string error;
  ASSERT_TRUE(veldrin_test::read_png(png, &pixels, &error)) << error;
  // The dialog is 171 x 214 dialog units: wider than 171 pixels and taller
  // than 214 with any font, and its texts put dark pixels in the picture.
  EXPECT_GT(pixels.width, 171);
  EXPECT_GT(pixels.height, 214);
  EXPECT_GT(pixels.count_black(), 500u);
  DeleteFileA(png.c_str());
  EXPECT_EQ("<#19200#8#0#0#", IniValue("VELDRIN Info", "VD01")) << "Cancel writes nothing";
}

TEST_F(DialogTool, SetupWithoutAFormatIsRefused) {
  // Unattended, the message box is printed and closed.
  const std::string out = Run("setup 1 --no-format --screenshot unused.png", 1);
  EXPECT_NE(std::string::npos, out.find("message box: Because the format is not opened, it "
                                        "doesn't put it in the printer setting."))
      << out;
  EXPECT_NE(std::string::npos, out.find("setup printer 1: result 0")) << out;
  EXPECT_EQ(std::string::npos, out.find("picture")) << out;
}

TEST_F(DialogTool, CondDlgReportsTheAdjustedControls) {
  const std::string out = Run("conddlg 1 --report", 0);
  for (const char* line :
       {"control 20701: disabled shown \"200\"", "control 20702: enabled hidden",
        "control 22: "
        "enabled hidden",
        "control 20710: enabled shown checked", "control 20713: disabled shown \"20713\"",
        "control 20725: enabled hidden", "closed with Cancel"})
    EXPECT_NE(std::string::npos, out.find(line)) << line << "\n" << out;
}

TEST_F(DialogTool, CondDlgInactiveLeavesTheControls) {
  const std::string out = Run("conddlg 1 --inactive --report", 0);
  EXPECT_NE(std::string::npos, out.find("control 20701: enabled shown \"17\"")) << out;
  EXPECT_NE(std::string::npos, out.find("control 20702: enabled shown")) << out;
}
