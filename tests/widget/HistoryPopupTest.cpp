// The history popup from the menu and from hovering, read back from the
// screen, and the export through the standard save dialog.
#include "tests/support/WidgetTestSupport.h"
#include "tests/support/TextTestUtil.h"
#include "widget/HistoryPopup.h"

using namespace widgettest;
namespace fs = std::filesystem;
using uitest::ScreenPixel;

namespace {

class HistoryPopupTest : public WidgetTest {
public:
  std::shared_ptr<THistoryBook> Book = std::make_shared<THistoryBook>();
  void SetUp() override { Host.History = Book; }

  static HWND Popup(TWidgetMainForm* w) { return Read<HWND>(w, [w] { return w->HistoryWindow(); }); }
};

// The graph's line colour, anywhere within a pixel of (x, y).
bool LineNear(int x, int y) {
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const uint32_t c = ScreenPixel(x + dx, y + dy);
      if ((c & 0xFF) > 180 && (c >> 16) < 140) return true;
    }
  return false;
}

// From the menu or the mouse resting on the face. Half an hour at 0, then 100
// until now: the hour graph's top is 100.
TEST_F(HistoryPopupTest, ShowsTheSeriesBesideItsWidgetInsideTheWorkAreaUntilEscOrTheMouseLeaves) {
  const RECT work = WorkArea();
  const int64_t now = UtcNow();
  for (int64_t t = now - 3000; t <= now; t += 30) Book->Add(u"blog", t, t < now - 1500 ? 0 : 100);
  // At the right edge: the popup must go to the left.
  TWidgetMainForm* w = Start(Quiet(u"blog", work.right - WIDGET_WIDTH - 2, work.top + 40));
  Post(w, WM_COMMAND, CMD_HISTORY);
  ASSERT_TRUE(WaitUntil([&] { return Popup(w) != nullptr; }));
  // Where it goes for each widget is HistoryGraph's table; here it is placed at all.
  const RECT popup = BoundsOf(Popup(w)), widget = BoundsOf(w);
  EXPECT_LE(popup.right, widget.left);
  // The hour graph's box: x 8..252, y 38..84; 100 at its top, 0 at its bottom.
  auto xAt = [&](int64_t t) { return static_cast<int>(popup.left + 8 + (t - (UtcNow() - 3600)) * 243 / 3600); };
  ASSERT_TRUE(WaitUntil([&] { return LineNear(xAt(now - 600), popup.top + 38); }));
  EXPECT_TRUE(LineNear(xAt(now - 2400), popup.top + 83));
  EXPECT_FALSE(LineNear(xAt(now - 2400), popup.top + 60));
  EXPECT_FALSE(LineNear(xAt(now - 600), popup.top + 70));

  // A new poll shows at once in an open popup; Esc closes it.
  Server->SetCount("blog", "7");
  Refresh(w);
  ASSERT_TRUE(WaitUntil([&] { return Book->Snapshot(u"BLOG").Recent().back().Count == 7; }));
  keybd_event(VK_ESCAPE, 0, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return Popup(w) == nullptr; }));
  keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);

  // The mouse resting a second on the face opens it; leaving both closes it.
  XInput(MouseTo(widget.left + 40, widget.top + 40) + "sleep 0.1 " + MouseTo(widget.left + 41, widget.top + 41));
  ASSERT_TRUE(WaitUntil([&] { return Popup(w) != nullptr; }));
  XInput(MouseTo(5, 5));
  EXPECT_TRUE(WaitUntil([&] { return Popup(w) == nullptr; }));
}

// The standard save dialog, filled in from outside: the file is the CSV.
TEST_F(HistoryPopupTest, ExportWritesTheCsvWhereTheUserSaid) {
  Book->Add(u"blog", 1796733240, 12);
  Book->Add(u"blog", 1796733255, -1);
  TWidgetMainForm* w = Start(Quiet(u"blog"));
  testutil::TempDir dir;
  const fs::path path = dir.File(u"export.csv");
  Post(w, WM_COMMAND, CMD_EXPORTHISTORY);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    dialog = FindWindowW(L"#32770", L"Export History");
    return dialog && IsWindowVisible(dialog);
  }));
  // The file name box: the combo's edit of the explorer-style dialog, or the old one's edit.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (name && GetDlgItem(name, 0x3E9)) name = GetDlgItem(name, 0x3E9);
  if (!name) name = GetDlgItem(dialog, 0x480);
  ASSERT_NE(name, nullptr);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(path); }));
  EXPECT_EQ(testutil::ReadBytes(path), "time,visitors\r\n2026-12-08T12:34:00Z,12\r\n2026-12-08T12:34:15Z,\r\n");
}

}  // namespace
