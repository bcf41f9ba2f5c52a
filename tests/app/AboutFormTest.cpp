// The About window: its fade, and what a press on it does.
#include "dialogs/DialogTestSupport.h"

#include "app/AboutForm.h"
#include "dialogs/DialogRes.h"
#include "inet/InetUtil.h"

using namespace dialogtest;

namespace {
class AboutFormTest : public ::testing::Test {
public:
  std::unique_ptr<TComponent> Owner{new TComponent(nullptr)};
  TAboutForm* Form = new TAboutForm(Owner.get(), nullptr);
  std::vector<int> FormSteps;  // the form's opacity after each of its steps
  int LabelSteps = 0;

  void SetUp() override {
    Form->OnFadeStep = [this](TComponent* sender) {
      if (sender == Form)
        FormSteps.push_back(Form->Opacity());
      else
        ++LabelSteps;
    };
  }
  void Show() {
    FormSteps.clear();
    LabelSteps = 0;
    EXPECT_EQ(ShowAbout(Owner.get(), nullptr), Form);
  }
  bool Hidden() const { return !IsWindowVisible(Form->StoredHandle()) && Form->Opacity() == 0; }
};
}  // namespace

TEST_F(AboutFormTest, OpensCentredFadesInAndASecondAboutFadesOnlyTheTexts) {
  Show();
  RECT work{}, r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(Form->StoredHandle(), &r);
  EXPECT_EQ(r.left, (work.right - work.left - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (work.bottom - work.top - (r.bottom - r.top)) / 2);
  EXPECT_EQ(FormSteps.size(), 32u);
  EXPECT_EQ(FormSteps.back(), 255);
  EXPECT_EQ(LabelSteps, 4 * 32);
  for (TWidgetLabel* l : {Form->TitleLabel, Form->VersionLabel, Form->CopyrightLabel, Form->LinkLabel})
    EXPECT_EQ(l->Opacity(), 255);
  EXPECT_GT(uitest::ScreenPixel(r.left + 171, r.top + 60) & 0xFFFFFF, 0u);  // the picture, not the black root

  Show();
  EXPECT_TRUE(FormSteps.empty());
  EXPECT_EQ(LabelSteps, 4 * 32);
}

// Wine's stand-in for Impact is far wider than Impact: the title shrinks to
// one line in its box rather than wrap and climb out of the box's top, at
// the screen's DPI and at 150 %.
TEST_F(AboutFormTest, TheTitleFitsItsBoxOnOneLine) {
  Show();
  TWidgetLabel* title = Form->TitleLabel;
  SIZE box = title->Canvas()->MeasureText(title->Caption());
  EXPECT_GT(box.cx, title->Width() / 2);
  EXPECT_LE(box.cx, title->Width());
  EXPECT_LE(box.cy, title->Height());
  for (uint32_t dpi : {96u, 144u}) {
    const int32_t width = ScaleToDpi(ABOUT_WIDTH / 5 * 4, dpi), height = ScaleToDpi(ABOUT_HEIGHT / 2, dpi);
    TWidgetCanvas canvas(width, height);
    canvas.Font()->SetName(title->Canvas()->Font()->Name());
    canvas.Font()->SetDpi(dpi);
    const int32_t size = FitFontSize(canvas, title->Caption(), width, height, 26, 12);
    box = canvas.MeasureText(title->Caption());
    EXPECT_LE(box.cx, width) << dpi;
    EXPECT_LE(box.cy, height) << dpi;
    EXPECT_GT(box.cy, height / 5) << dpi << " at size " << size;
  }
}

// Any button down on the picture hides the window; a click on the link hides
// it and opens the maker's page.
TEST_F(AboutFormTest, APressOnThePictureHidesItAndTheLinkOpensTheHomePage) {
  std::vector<std::wstring> opened;
  Show();
  Form->OpenLink = [&](HWND, const WideString& url) { opened.push_back(W(url)); };
  SendMessageW(Form->Picture->StoredHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
  EXPECT_TRUE(Hidden());
  EXPECT_TRUE(opened.empty());

  Show();
  const HWND link = Form->LinkLabel->StoredHandle();
  RECT r{};
  GetWindowRect(link, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(100, 10));
  EXPECT_TRUE(Hidden());
  const std::string host = MakerHost();
  const std::wstring home = L"http://" + std::wstring(host.begin(), host.end());
  EXPECT_EQ(opened, std::vector<std::wstring>{home + L"/?ref=orvanta"});
  EXPECT_EQ(TextOf(link), home);
}
