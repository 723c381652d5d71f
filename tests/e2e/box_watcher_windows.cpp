// The watcher that the Windows runs rely on: it must read every kind of box exactly and
// dismiss it, or the end-to-end results would be wrong or never come.

#include "tools/box_watcher/box_watcher.h"

#include <gtest/gtest.h>

#include <string>

namespace vrk_test {
namespace {

struct Shown {
  int result;
  std::vector<SeenBox> boxes;
};

Shown ShowOwnBox(const char* text, const char* caption, UINT type) {
  BoxWatcher watcher;
  int result = MessageBoxA(nullptr, text, caption, MB_OK | type);
  watcher.Stop();
  return {result, watcher.Boxes()};
}

TEST(BoxWatcher, ReadsTextsAndTellsEveryStandardIconApart) {
  const struct {
    UINT type;
    BoxIcon icon;
  } kinds[] = {{MB_ICONINFORMATION, BoxIcon::Information},
               {MB_ICONERROR, BoxIcon::Error},
               {MB_ICONWARNING, BoxIcon::Warning},
               {MB_ICONQUESTION, BoxIcon::Question},
               {0, BoxIcon::None}};
  for (const auto& kind : kinds) {
    // Czech letters and line feeds come back as the same code page 1250 bytes.
    Shown shown = ShowOwnBox("Nastavení proběhlo úspěšně\nřádek 2\n\nkonec", "Nápověda", kind.type);
    EXPECT_EQ(shown.result, IDOK) << IconName(kind.icon);
    ASSERT_EQ(shown.boxes.size(), 1u) << IconName(kind.icon);
    EXPECT_EQ(shown.boxes[0].caption, "Nápověda");
    EXPECT_EQ(shown.boxes[0].text, "Nastavení proběhlo úspěšně\nřádek 2\n\nkonec");
    EXPECT_EQ(IconName(shown.boxes[0].icon), std::string(IconName(kind.icon)));
  }
}

TEST(BoxWatcher, EmptyTextsAndBoxesOneAfterAnotherAreEachRecordedOnce) {
  BoxWatcher watcher;
  MessageBoxA(nullptr, "", "", MB_OK | MB_ICONERROR);
  MessageBoxA(nullptr, "second", "VRK", MB_OK | MB_ICONINFORMATION);
  MessageBoxA(nullptr, std::string(3000, 'x').c_str(), "VRK", MB_OK | MB_ICONERROR);
  watcher.Stop();
  std::vector<SeenBox> boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].text, "");
  EXPECT_EQ(boxes[1].text, "second");
  EXPECT_EQ(boxes[1].icon, BoxIcon::Information);
  EXPECT_EQ(boxes[2].text, std::string(3000, 'x'));
}

}  // namespace
}  // namespace vrk_test
