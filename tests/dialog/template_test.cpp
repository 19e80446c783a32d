// The dialog resource as stored in VELDRIN.dll: the RT_DIALOG template
// "DIALOG_SETTING" (language 1041) read byte by byte, its header and every
// control against the dialog's description, and the combo box
// initialisation block under the same name.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/dialog/expected_template.h"
#include "tests/driver/driver_dll.h"

namespace {
using namespace veldrin_test;

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr WORD kRtDlgInit = 240;

std::vector<BYTE> resource_bytes(LPCSTR type, LPCSTR name) {
  HMODULE m = Driver().hModule;
  HRSRC r = FindResourceExA(m, type, name, kJapanese);
  if (r == nullptr)
    return {};
  const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(m, r)));
  return std::vector<BYTE>(p, p + SizeofResource(m, r));
}

// Reads a DLGTEMPLATE and its items, with the bounds checked on every read.
class TemplateReader {
public:
  explicit TemplateReader(const std::vector<BYTE>& bytes) : b_(bytes) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }

  WORD Word() {
    WORD v = 0;
    Take(&v, 2);
    return v;
  }
  DWORD Dword() {
    DWORD v = 0;
    Take(&v, 4);
    return v;
  }
  short Short() { return static_cast<short>(Word()); }
  void AlignDword() { pos_ = (pos_ + 3) & ~size_t{3}; }
  // A text field: 0x0000 (none), 0xFFFF + ordinal, or a NUL-terminated
  // UTF-16 text. Ordinals come back as "#n".
  std::wstring SzOrOrd() {
    const WORD first = Word();
    if (first == 0xFFFF)
      return L"#" + std::to_wstring(Word());
    std::wstring s;
    for (WORD c = first; ok_ && c != 0; c = Word())
      s.push_back(static_cast<wchar_t>(c));
    return s;
  }

private:
  void Take(void* out, size_t n) {
    if (pos_ + n > b_.size()) {
      ok_ = false;
      return;
    }
    memcpy(out, b_.data() + pos_, n);
    pos_ += n;
  }
  const std::vector<BYTE>& b_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::string narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w)
    s += c < 0x80 ? static_cast<char>(c) : '?';
  return s;
}
} // namespace

TEST(DialogTemplate, HeaderCaptionFontAndSize) {
  const std::vector<BYTE> bytes = resource_bytes(RT_DIALOG, "DIALOG_SETTING");
  ASSERT_FALSE(bytes.empty()) << "no DIALOG_SETTING dialog in language 1041";
  TemplateReader r(bytes);
  EXPECT_EQ(kExpectedDialogStyle, r.Dword()) << "style";
  EXPECT_EQ(0u, r.Dword()) << "extended style";
  EXPECT_EQ(std::size(kExpectedControls), r.Word()) << "control count";
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(0, r.Short());
  EXPECT_EQ(171, r.Short()) << "width";
  EXPECT_EQ(214, r.Short()) << "height";
  EXPECT_EQ(L"", r.SzOrOrd()) << "menu";
  EXPECT_EQ(L"", r.SzOrOrd()) << "class";
  EXPECT_EQ(L"Printer setting", r.SzOrOrd());
  EXPECT_EQ(10, r.Word()) << "font size";
  EXPECT_EQ(L"MS Sans Serif", r.SzOrOrd());
  EXPECT_TRUE(r.ok());
}

TEST(DialogTemplate, EveryControlInTemplateOrder) {
  const std::vector<BYTE> bytes = resource_bytes(RT_DIALOG, "DIALOG_SETTING");
  ASSERT_FALSE(bytes.empty());
  TemplateReader r(bytes);
  // Skip the header: style, ex style, count, rectangle, menu, class, caption, font.
  r.Dword();
  r.Dword();
  const WORD count = r.Word();
  for (int i = 0; i < 4; ++i)
    r.Short();
  r.SzOrOrd();
  r.SzOrOrd();
  r.SzOrOrd();
  r.Word();
  r.SzOrOrd();
  ASSERT_EQ(std::size(kExpectedControls), count);
  for (const ExpectedControl& c : kExpectedControls) {
    SCOPED_TRACE(c.id);
    r.AlignDword();
    EXPECT_EQ(c.style, r.Dword()) << "style of " << narrow(c.text);
    EXPECT_EQ(0u, r.Dword()) << "extended style";
    EXPECT_EQ(c.x, r.Short());
    EXPECT_EQ(c.y, r.Short());
    EXPECT_EQ(c.cx, r.Short());
    EXPECT_EQ(c.cy, r.Short());
    EXPECT_EQ(c.id, r.Word());
    EXPECT_EQ(L"#" + std::to_wstring(c.classAtom), r.SzOrOrd()) << "class";
    EXPECT_EQ(std::wstring(c.text), r.SzOrOrd()) << "text";
    EXPECT_EQ(0, r.Word()) << "creation data";
    ASSERT_TRUE(r.ok()) << "template ends early";
  }
  EXPECT_LE(bytes.size() - r.pos(), 3u) << "bytes after the last control";
}

TEST(DialogTemplate, TheColonsAreFullWidth) {
  const std::vector<BYTE> bytes = resource_bytes(RT_DIALOG, "DIALOG_SETTING");
  const BYTE fullWidthColon[] = {0x1A, 0xFF}; // U+FF1A, little-endian
  int found = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    found += memcmp(&bytes[i], fullWidthColon, 2) == 0;
  EXPECT_EQ(6, found) << "Port, Baud, DataBits, StopBits, Parity, Print density";
}

TEST(DialogTemplate, ComboBoxInitialisationBlock) {
  const std::vector<BYTE> bytes = resource_bytes(MAKEINTRESOURCEA(kRtDlgInit), "DIALOG_SETTING");
  ASSERT_FALSE(bytes.empty()) << "no RT_DLGINIT DIALOG_SETTING in language 1041";
  // Per item: control id, message 0x0403 (16-bit CB_ADDSTRING), length with
  // the NUL as a DWORD, the text; a WORD 0 at the end. Nothing is aligned.
  std::vector<BYTE> expected;
  auto put16 = [&](WORD v) {
    expected.push_back(static_cast<BYTE>(v));
    expected.push_back(static_cast<BYTE>(v >> 8));
  };
  for (const char* text : {"53", "56", "106", "112"}) {
    const DWORD length = static_cast<DWORD>(strlen(text) + 1);
    put16(6257);
    put16(0x0403);
    put16(static_cast<WORD>(length));
    put16(static_cast<WORD>(length >> 16));
    expected.insert(expected.end(), text, text + length);
  }
  put16(0);
  EXPECT_EQ(expected, bytes);
}

TEST(DialogTemplate, DialogStringsBesideTheTemplate) {
  struct {
    UINT id;
    const char* text;
  } const cases[] = {
      {60603, "COM port number"}, {60604, "Print start position"}, {60602, "Print density"}};
  for (const auto& c : cases) {
    char buf[128] = "";
    LoadStringA(Driver().hModule, c.id, buf, sizeof(buf));
    EXPECT_STREQ(c.text, buf) << c.id;
  }
}
