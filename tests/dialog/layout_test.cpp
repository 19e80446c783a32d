// The open dialog's geometry: every control's rectangle in the dialog's
// client area, in pixels, against the template's rectangle converted with the
// dialog's own base units, and against the layout stored in
// dialog_layout.txt. Fonts differ between machines, so pixels are compared
// only where the dialog font gives the stored base units.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "driver/exports.h"
#include "driver/slots.h"
#include "host/records.h"
#include "support/test_files.h"
#include "tests/dialog/dialog_user.h"
#include "tests/dialog/expected_template.h"
#include "tests/driver/driver_dll.h"
#include "tests/settings/ini_fixture.h"

namespace {
using namespace veldrin_test;

// One measured rectangle.
struct Measured {
  int id;
  RECT fromTemplate; // template rectangle through MapDialogRect
  RECT onScreen;     // GetWindowRect in client coordinates
};

struct Layout {
  RECT baseUnits;          // MapDialogRect of (0, 0, 4, 8): the pixels of 4 x 8 dialog units
  RECT client;             // the dialog's client rectangle
  RECT clientFromTemplate; // 171 x 214 through MapDialogRect
  std::vector<Measured> controls;
};

RECT to_client(HWND dlg, RECT r) {
  MapWindowPoints(HWND_DESKTOP, dlg, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

Layout measure(HWND dlg) {
  Layout l{};
  l.baseUnits = {0, 0, 4, 8};
  MapDialogRect(dlg, &l.baseUnits);
  GetClientRect(dlg, &l.client);
  l.clientFromTemplate = {0, 0, 171, 214};
  MapDialogRect(dlg, &l.clientFromTemplate);
  for (const ExpectedControl& c : kExpectedControls) {
    // The dialog manager converts position and size each on its own, so
    // they are mapped as such and added up after.
    RECT r{c.x, c.y, c.cx, c.cy};
    MapDialogRect(dlg, &r);
    Measured m{c.id, {r.left, r.top, r.left + r.right, r.top + r.bottom}, {}};
    GetWindowRect(GetDlgItem(dlg, c.id), &m.onScreen);
    m.onScreen = to_client(dlg, m.onScreen);
    l.controls.push_back(m);
  }
  return l;
}

std::string rect_text(const RECT& r) {
  char buf[64];
  snprintf(buf, sizeof(buf), "%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
  return buf;
}

// The layout file's text: base units, client size, then one line per control.
std::string layout_text(const Layout& l) {
  std::ostringstream out;
  out << "base " << rect_text(l.baseUnits) << "\n";
  out << "client " << rect_text(l.client) << "\n";
  for (const Measured& m : l.controls)
    out << m.id << " " << rect_text(m.onScreen) << "\n";
  return out.str();
}

class DialogLayout : public IniFixture {
protected:
  void SetUp() override {
    IniFixture::SetUp();
    ASSERT_NE(nullptr, Driver().hModule);
    g_hInstance = reinterpret_cast<HINSTANCE>(Driver().hModule);
    memset(&g_formatBlocks[0], 0, sizeof(LabelFormatBlock));
    format_.wLabelWidth = 500;
    format_.wLabelLength = 300;
    job_.pFormat = &format_;
    job_.pCondition = &condition_;
    std::vector<std::string> failures;
    RunWithUser([&] { return KtPrPrinterSetup(nullptr, 1, &job_); },
                [&](DialogUser& u) {
                  HWND dlg = u.WaitForWindow(kSettingsCaption);
                  if (dlg == nullptr)
                    return u.Fail("no dialog");
                  layout_ = measure(dlg);
                  u.Press(dlg, IDCANCEL);
                  u.WaitGone(dlg);
                },
                &failures);
    for (const std::string& f : failures)
      ADD_FAILURE() << f;
  }

  FormatInfo format_{};
  ConditionInfo condition_{};
  PrintJobInfo job_{};
  Layout layout_{};
};
} // namespace

TEST_F(DialogLayout, ControlsSitWhereTheTemplatePutsThem) {
  ASSERT_EQ(std::size(kExpectedControls), layout_.controls.size());
  EXPECT_EQ(rect_text(layout_.clientFromTemplate), rect_text(layout_.client));
  for (const Measured& m : layout_.controls) {
    SCOPED_TRACE(m.id);
    RECT expected = m.fromTemplate;
    // A closed drop-down list is one line high whatever the template says;
    // its height is in the stored layout.
    if (m.id == 6257)
      expected.bottom = m.onScreen.bottom;
    EXPECT_EQ(rect_text(expected), rect_text(m.onScreen));
  }
}

TEST_F(DialogLayout, PixelsAsStored) {
  std::string stored;
  const std::string path = windows_path(VELDRIN_DIALOG_LAYOUT);
  ASSERT_TRUE(read_file(path, &stored)) << "no stored layout at " << VELDRIN_DIALOG_LAYOUT;
  const std::string actual = layout_text(layout_);
  const std::string storedBase = stored.substr(0, stored.find('\n'));
  const std::string actualBase = actual.substr(0, actual.find('\n'));
  if (storedBase != actualBase)
    GTEST_SKIP() << "the dialog font here gives " << actualBase << ", the stored layout was taken"
                 << " with " << storedBase << "; layout now:\n"
                 << actual;
  EXPECT_EQ(stored, actual) << "if the change is intended, store this text in "
                            << VELDRIN_DIALOG_LAYOUT;
}
