#include "tests/support/WidgetTestSupport.h"

#include <utility>
#include <vector>

#include "app/WidgetLanguages.h"

using namespace widgettest;

namespace {
// The face in one line: count, previous count, trend and light.
std::string FaceOf(TWidgetMainForm* w) {
  return WidgetTest::Read<std::string>(w, [w] {
    return Utf8FromWide(w->Face().CountLabel->Caption() + u" " + w->Face().PreviousLabel->Caption()) + " " +
           w->Face().TrendImage->ImageName() + " " + w->Face().StateImage->ImageName();
  });
}
}  // namespace

// ---- polling

// The dot is busy only while a request is in flight; what each answer and
// failure shows, and that a second poll never starts meanwhile, is
// PollSchedule's script: here the widget's own poll reaches the face. A done
// message that never arrives (a full queue) must not leave it busy for ever.
TEST_F(WidgetTest, PollShowsCountPreviousAndTrendAndALostDoneMessageIsTakenUpAtTheNextTick) {
  TTrackerSettings s = Quiet(u"site1");
  s.Count = 5;
  TFakeRoute slow;
  slow.Body = "8\r\n";
  slow.DelayMs = 1500;
  Server->SetCountRoute("site1", slow);
  TWidgetMainForm* w = Start(s);
  EXPECT_EQ(FaceOf(w), "5 ? INC.PNG IDLE.PNG");
  Refresh(w);
  ASSERT_TRUE(WaitUntil([&] { return !Idle(w); }));
  EXPECT_EQ(FaceOf(w), "5 ? INC.PNG BUSY.PNG");
  ASSERT_TRUE(WaitUntil([&] { return CountOf(w) == 8 && Idle(w); }));
  EXPECT_EQ(FaceOf(w), "8 5 INC.PNG IDLE.PNG");
  ASSERT_EQ(Server->Requests().size(), 1u);
  EXPECT_EQ(Server->Requests()[0].Path, "/sitecount/site1");

  Server->SetCount("site1", "17");
  w->Invoke([w] {
    w->StartPoll();
    MSG msg;
    // Waits without pumping, then drops the done message from the queue.
    for (int i = 0; i < 500 && !PeekMessageW(&msg, w->StoredHandle(), WM_COUNTRESPONSE, WM_COUNTRESPONSE, PM_REMOVE); ++i)
      Sleep(10);
  });
  ASSERT_FALSE(Idle(w));
  w->Invoke([w] { w->OnPollTimer(); });
  EXPECT_EQ(CountOf(w), 17);
  EXPECT_TRUE(WaitUntil([&] { return Server->Requests().size() == 3u; }));  // the tick's own poll
}

// ---- snapping

// Positions set from code snap like drags (the distances are the snapping
// rules' own test): to near edges of visible widgets only, to the work area's
// bottom, and never to a neighbour that is gone.
TEST_F(WidgetTest, PositionsSetFromCodeSnapToNearVisibleEdges) {
  TWidgetMainForm* anchor = Start(Quiet(u"anchor", 300, 300));
  TWidgetMainForm* mover = Start(Quiet(u"mover", 600, 600));
  const int anchorRight = 300 + WIDGET_WIDTH;
  mover->Invoke([&] { mover->MoveTo(anchorRight - 7, 600); });
  EXPECT_EQ(BoundsOf(mover).left, anchorRight);
  EXPECT_EQ(BoundsOf(mover).top, 600);
  mover->Invoke([&] { mover->MoveTo(900, WorkArea().bottom - WIDGET_HEIGHT - 3); });
  EXPECT_EQ(BoundsOf(mover).bottom, WorkArea().bottom);

  // Hidden from its own menu: it attracts nothing from the moment it starts to
  // fade out, long before the window system has unmapped it.
  Post(anchor, WM_COMMAND, CMD_HIDE);
  ASSERT_TRUE(WaitUntil([&] { return !Read<bool>(anchor, [anchor] { return anchor->Shown(); }); }));
  mover->Invoke([&] { mover->MoveTo(anchorRight + 5, 600); });
  EXPECT_EQ(BoundsOf(mover).left, anchorRight + 5);
  Post(anchor, WM_COMMAND, CMD_HIDE);
  ASSERT_TRUE(WaitUntil([&] { return Read<bool>(anchor, [anchor] { return anchor->Shown(); }); }));
  mover->Invoke([&] { mover->MoveTo(anchorRight + 6, 600); });
  EXPECT_EQ(BoundsOf(mover).left, anchorRight);
  // Closed, it is gone at once.
  anchor->RequestClose();
  ASSERT_TRUE(WaitUntil([&] { return Board.VisibleOthers(mover).empty(); }));

  // A neighbour freed while another widget moves leaves nothing behind to read.
  TWidgetMainForm* neighbour = Start(Quiet(u"neighbour", 300, 100));
  delete neighbour;
  EXPECT_TRUE(Board.VisibleOthers(mover).empty());
  mover->Invoke([&] { mover->MoveTo(anchorRight + 5, 100); });
  EXPECT_EQ(BoundsOf(mover).left, anchorRight + 5);
}

// ---- fades

TEST_F(WidgetTest, FadesToALowTargetInThreeStepsAndHideChecksTheMenuItem) {
  TTrackerSettings s = Quiet(u"faint");
  s.TargetOpacity = 20;
  auto* w = new TWidgetMainForm(Owner.get(), Host, s);
  std::vector<int> steps;  // written on the widget's thread, read after it waited
  w->OnFadeStep = [&](TComponent*) { steps.push_back(w->Opacity()); };
  auto takeSteps = [&] { return Read<std::vector<int>>(w, [&] { return std::exchange(steps, {}); }); };
  auto checked = [&] { return Read<bool>(w, [w] { return GetMenuState(w->Menu(), CMD_HIDE, MF_BYCOMMAND) & MF_CHECKED; }); };
  w->Resume();
  ASSERT_TRUE(WaitUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == 20; }); }));
  EXPECT_EQ(takeSteps(), (std::vector<int>{8, 16, 20}));
  EXPECT_FALSE(checked());

  Post(w, WM_COMMAND, CMD_HIDE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Read<bool>(w, [w] { return w->Visible(); }); }));
  EXPECT_EQ(takeSteps(), (std::vector<int>{12, 4, 0}));
  EXPECT_TRUE(checked());
  EXPECT_FALSE(Read<bool>(w, [w] { return w->Shown(); }));

  Post(w, WM_SHOWWIDGET);
  ASSERT_TRUE(WaitUntil([&] { return Read<bool>(w, [w] { return w->Opacity() == 20; }); }));
  EXPECT_EQ(takeSteps(), (std::vector<int>{8, 16, 20}));
  EXPECT_FALSE(checked());
  EXPECT_TRUE(Read<bool>(w, [w] { return w->Shown() && w->Visible(); }));
  // Closing fades out too, after the steps recorded here are gone.
  w->Invoke([w] { w->OnFadeStep = nullptr; });
}

// ---- closing

namespace {
int64_t MillisecondsToStop(TWidgetMainForm* w) {
  auto started = GetTickCount64();
  EXPECT_TRUE(w->Stop());
  return static_cast<int64_t>(GetTickCount64() - started);
}
}  // namespace

// Closing ends the thread before the fade-in has even pumped, in the middle
// of a fade-out, and with a request hanging, which it does not wait for:
// measured against an idle widget's close, since under Wine without a window
// manager destroying an activated window waits two seconds for its unmap.
TEST_F(WidgetTest, ClosingEndsTheThreadEarlyDuringAFadeAndWithoutWaitingForTheWorker) {
  auto* early = new TWidgetMainForm(Owner.get(), Host, Quiet(u"early"));
  early->Resume();
  EXPECT_TRUE(early->Stop());
  Server->SetCountRoute("hang", FakeRoute(TFakeMode::NeverAnswer));
  TWidgetMainForm* idle = Start(Quiet(u"idle", 200, 200));
  TWidgetMainForm* w = Start(Quiet(u"hang"));
  Refresh(w);
  ASSERT_TRUE(WaitUntil([&] { return !Idle(w); }));
  ASSERT_TRUE(Server->WaitForRequests(1, 5000));
  Post(w, WM_HIDEWIDGET);
  ASSERT_TRUE(WaitUntil([&] { return Read<int>(w, [w] { return w->Opacity(); }) < 200; }));
  int64_t baseline = MillisecondsToStop(idle);
  int64_t hanging = MillisecondsToStop(w);
  EXPECT_LT(hanging - baseline, 1200);  // waiting for the worker would add 1.5 s
  EXPECT_FALSE(IsWindow(w->StoredHandle()));
  EXPECT_FALSE(w->ThreadRunning());
  EXPECT_TRUE(Board.VisibleOthers(nullptr).empty());
}

// ---- tint, top-most and menu

namespace {
WideString MenuText(HMENU menu, UINT id) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
  return WideOf(text);
}
}  // namespace

// The menu speaks the current language. A face control's click notification
// names the control in lParam; only menu commands (lParam 0) act. The tint
// itself, alpha kept, is WidgetImage's test.
TEST_F(WidgetTest, TintTopMostAndMenuTextsFollowTheSettingsAndFaceClicksAreNotCommands) {
  auto owned = std::make_shared<TWidgetLanguages>(nullptr);
  TWidgetLanguages& languages = *owned;
  languages.SelectLanguage(LANGUAGE_TR_TR);
  Host.Languages = owned;
  int preferences = 0;
  Host.Preferences = [&](TWidgetMainForm&) { ++preferences; };
  TTrackerSettings s = Quiet(u"menu");
  s.BackColor = 0x000000FF;
  TWidgetMainForm* w = Start(s);
  // On screen over the black root: red, dimmed by the panel's alpha.
  const uint32_t screen = uitest::ScreenPixel(BoundsOf(w).left + 6, BoundsOf(w).top + 22);
  EXPECT_GT(screen >> 16, 150u);
  EXPECT_LT((screen >> 8) & 0xFF, 40u);
  EXPECT_LT(screen & 0xFF, 40u);
  auto topmost = [w] { return (GetWindowLongW(w->WindowHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  ASSERT_TRUE(topmost());
  for (bool expected : {false, true}) {
    SendMessageW(w->WindowHandle(), WM_TOGGLETOPMOST, 0, 0);
    EXPECT_EQ(topmost(), expected);
    EXPECT_EQ(w->Settings().AlwaysTop, expected);
  }
  // Another thread is refused, rather than changing the window by accident.
  EXPECT_THROW(w->SetAlwaysTop(false), EInvalidOperation);
  EXPECT_THROW(w->MoveTo(10, 10), EInvalidOperation);
  EXPECT_TRUE(topmost());
  EXPECT_EQ(BoundsOf(w).left, 300);

  HMENU menu = Read<HMENU>(w, [w] { return w->Menu(); });
  ASSERT_NE(menu, nullptr);
  for (UINT id : {CMD_PREFERENCES, CMD_REFRESH, CMD_HIDE, CMD_REMOVE, CMD_DETAILS})
    EXPECT_EQ(Read<WideString>(w, [&] { return MenuText(menu, id); }), languages.GetText(static_cast<int32_t>(id)));
  WideString turkish = languages.GetText(CMD_REFRESH);
  languages.SelectLanguage(LANGUAGE_EN_US);
  ASSERT_NE(languages.GetText(CMD_REFRESH), turkish);
  SendMessageW(w->StoredHandle(), WM_LANGUAGECHANGED, 0, 0);
  EXPECT_EQ(Read<WideString>(w, [&] { return MenuText(menu, CMD_REFRESH); }), languages.GetText(CMD_REFRESH));

  auto label = reinterpret_cast<LPARAM>(w->Face().CountLabel->StoredHandle());
  SendMessageW(w->StoredHandle(), WM_COMMAND, MAKEWPARAM(CMD_PREFERENCES, STN_CLICKED), label);
  SendMessageW(w->StoredHandle(), WM_COMMAND, MAKEWPARAM(CMD_HIDE, STN_CLICKED), label);
  SendMessageW(w->StoredHandle(), WM_COMMAND, MAKEWPARAM(CMD_REFRESH, 1), 0);
  EXPECT_EQ(preferences, 0);
  EXPECT_TRUE(Read<bool>(w, [w] { return w->Shown(); }));
  // A poll started by it would still be running, or else the server has seen it.
  EXPECT_TRUE(Idle(w) && Server->Requests().empty());
  SendMessageW(w->StoredHandle(), WM_COMMAND, CMD_PREFERENCES, 0);
  EXPECT_EQ(preferences, 1);
}
