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

// Any button down on the picture hides the window; a click on the link hides
// it and opens the maker's page.
TEST_F(AboutFormTest, APressOnThePictureHidesItAndTheLinkOpensTheHomePage) {
  std::vector<std::wstring> opened;
  SetPageOpenerForTesting([&](HWND, const WideString& url) { opened.push_back(W(url)); });
  Show();
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
  SetPageOpenerForTesting(nullptr);
  EXPECT_TRUE(Hidden());
  const std::string host = MakerHost();
  const std::wstring home = L"http://" + std::wstring(host.begin(), host.end());
  EXPECT_EQ(opened, std::vector<std::wstring>{home + L"/?ref=orvanta"});
  EXPECT_EQ(TextOf(link), home);
}
