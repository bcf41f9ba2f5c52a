// The About window: its fade, its title, and what a press on it does.
#include "tests/support/DialogTestSupport.h"

#include "app/AboutForm.h"
#include "inet/InetUtil.h"

using namespace dialogtest;

namespace {
class AboutFormTest : public ::testing::Test {
public:
  std::unique_ptr<TComponent> Owner{new TComponent(nullptr)};
  TAboutForm* Form = new TAboutForm(Owner.get(), nullptr);
  int FormSteps = 0, LabelSteps = 0;  // fade steps of the form and of its texts

  void Show() {
    FormSteps = LabelSteps = 0;
    Form->OnFadeStep = [this](TComponent* sender) { ++(sender == Form ? FormSteps : LabelSteps); };
    EXPECT_EQ(ShowAbout(Owner.get(), nullptr), Form);
  }
  bool Hidden() const { return !IsWindowVisible(Form->StoredHandle()) && Form->Opacity() == 0; }
};
}  // namespace

// A second About fades only the texts again. Any button down on the picture
// hides the window; a click on the link hides it and opens the maker's page.
// Wine's stand-in for Impact is far wider than Impact: the title shrinks to
// one line in its box rather than wrap and climb out of the box's top.
TEST_F(AboutFormTest, FadesInFitsTheTitleHidesOnAPressAndTheLinkOpensTheHomePage) {
  Show();
  TWidgetLabel* title = Form->TitleLabel;
  const SIZE box = title->Canvas()->MeasureText(title->Caption());
  EXPECT_GT(box.cx, title->Width() / 2);
  EXPECT_LE(box.cx, title->Width());
  EXPECT_LE(box.cy, title->Height());
  RECT r{};
  GetWindowRect(Form->StoredHandle(), &r);
  EXPECT_EQ(FormSteps, 32);
  EXPECT_EQ(LabelSteps, 4 * 32);
  EXPECT_GT(uitest::ScreenPixel(r.left + 171, r.top + 60) & 0xFFFFFF, 0u);  // the picture, not the black root
  Show();
  EXPECT_EQ(FormSteps, 0);
  EXPECT_EQ(LabelSteps, 4 * 32);

  std::vector<WideString> opened;
  Form->OpenLink = [&](HWND, const WideString& url) { opened.push_back(url); };
  SendMessageW(Form->Picture->StoredHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
  EXPECT_TRUE(Hidden());
  EXPECT_TRUE(opened.empty());
  Show();
  const HWND link = Form->LinkLabel->StoredHandle();
  GetWindowRect(link, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(100, 10));
  EXPECT_TRUE(Hidden());
  const WideString home = u"http://" + WideOfAscii(MakerHost());
  EXPECT_EQ(opened, std::vector<WideString>{home + u"/?ref=orvanta"});
  EXPECT_EQ(WideOf(TextOf(link).c_str()), home);
}
