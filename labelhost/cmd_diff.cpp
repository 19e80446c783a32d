// labelhost diff OLD NEW: the rectangles of a new label that the driver would
// resend after an old one. Both images (BMP files of any depth, or PNG and
// the other formats Windows Imaging Component reads) are made monochrome and
// compared by the driver's own imaging procedures, linked in
// from its imaging library, since the driver exports none of them. Prints the
// comparison's result (-1, 0 or the number of regions), then one line
// "x y width height" per region, in order.
#include <cstdio>
#include <cstdlib>

#include "imaging/changed_regions.h"
#include "imaging/monochrome.h"
#include "labelhost/commands.h"
#include "labelhost/label_image.h"

namespace {
// The label in the file as the driver's monochrome bitmap; null (reason
// printed) on failure.
HBITMAP load_monochrome(const char* path) {
  HBITMAP image = LoadLabelImage(path);
  if (image == nullptr)
    return nullptr;
  HBITMAP mono = CreateMonochromeLabelBitmap(image);
  DeleteObject(image);
  if (mono == nullptr)
    fprintf(stderr, "labelhost: cannot make %s monochrome\n", path);
  return mono;
}
} // namespace

int CmdDiff(const DriverApi&, int argc, char** argv) {
  if (argc != 2)
    return 2;
  int status = 1;
  HBITMAP previous = load_monochrome(argv[0]);
  HBITMAP current = previous != nullptr ? load_monochrome(argv[1]) : nullptr;
  if (current != nullptr) {
    ChangedRegion* regions = nullptr;
    const SHORT count = FindChangedRegions(previous, current, &regions);
    printf("%d\n", count);
    for (SHORT i = 0; i < count; ++i)
      printf("%d %d %d %d\n", static_cast<int>(regions[i].x), static_cast<int>(regions[i].y),
             static_cast<int>(regions[i].width), static_cast<int>(regions[i].height));
    free(regions);
    status = 0;
    DeleteObject(current);
  }
  if (previous != nullptr)
    DeleteObject(previous);
  return status;
}
