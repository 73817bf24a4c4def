// The skin's own controls painted into a bitmap: the gradient progress at several values, the
// rounded check box's notifications, the message box's styles and its prompt without a window.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/paint_manager.h"
#include "ui/base_message_box.h"
#include "ui/gradient_progress.h"
#include "state/message_box.h"
#include "ui/rounded_controls.h"
#include "state/ui_host.h"

namespace {

struct Rgb {
  int r, g, b;
};

Rgb PixelAt(Gdiplus::Bitmap& bitmap, int x, int y) {
  Gdiplus::Color c;
  bitmap.GetPixel(x, y, &c);
  return {c.GetR(), c.GetG(), c.GetB()};
}

bool Near(Rgb a, tzui::ARGB32 b, int tolerance = 12) {
  return std::abs(a.r - static_cast<int>((b >> 16) & 0xFF)) <= tolerance &&
         std::abs(a.g - static_cast<int>((b >> 8) & 0xFF)) <= tolerance &&
         std::abs(a.b - static_cast<int>(b & 0xFF)) <= tolerance;
}

constexpr tzui::ARGB32 kFore = 0xFFFE3666, kFore2 = 0xFFFE537C, kBack = 0xFF2D2E3B, kPage = 0xFF000000;

// Paints a 200 x 8 bar (at x 10..210 of a 220 x 8 black bitmap) and answers the bitmap.
std::unique_ptr<Gdiplus::Bitmap> PaintBar(int value, int min, int max, bool second_colour) {
  tzui::CPaintManagerUI manager;  // starts GDI+
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(220, 8, PixelFormat32bppPARGB);
  Gdiplus::Graphics g(bitmap.get());
  g.Clear(Gdiplus::Color(255, 0, 0, 0));
  auto* bar = new CGradientProgress();
  manager.AttachDialog(bar);
  bar->SetAttribute(L"min", std::to_wstring(min));
  bar->SetAttribute(L"max", std::to_wstring(max));
  bar->SetAttribute(L"value", std::to_wstring(value));
  bar->SetAttribute(L"forecolor", L"#FFFE3666");
  if (second_colour) bar->SetAttribute(L"forecolor2", L"FFFE537C");
  bar->SetAttribute(L"bkcolor", L"#FF2D2E3B");
  bar->SetPos(RECT{10, 1, 210, 7});
  bar->DoPaint(g, RECT{0, 0, 220, 8});
  return bitmap;
}

class Recorder : public tzui::INotifyUI {
 public:
  void Notify(tzui::TNotifyUI& msg) override {
    events.push_back(msg.type + L":" + (msg.sender ? msg.sender->GetName() : L"") + L":" + std::to_wstring(msg.wParam));
  }
  std::vector<std::wstring> events;
};

}  // namespace

TEST(GradientProgressTest, FilledWidthClampsAndNeverOverflows) {
  struct Case {
    int left, right, min, max, value, expected;
  } cases[] = {
      {0, 200, 0, 100, 50, 100},      {0, 200, 0, 100, 0, 0},        {0, 200, 0, 100, 100, 200},
      {0, 200, 0, 100, 250, 200},     {0, 200, 0, 100, -5, 0},        {10, 210, 5, 5, 5, 10},  // max = min: one unit
      {10, 210, 5, 5, 9, 210},        {0, 30000, 0, 2000000000, 1999999999, 29999},  // 64-bit product
      {0, 200, 50, 0, 25, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CGradientProgress::FilledRight(c.left, c.right, c.min, c.max, c.value), c.expected)
        << c.min << ".." << c.max << " value " << c.value;
}

TEST(GradientProgressTest, PaintsTheGradientExactlyOverTheFilledPart) {
  struct Case {
    int value;
    bool second;
    int fill_end;  // x where the fill ends (exclusive), 10 + 200 * fraction
  } cases[] = {{0, true, 10}, {50, true, 110}, {100, true, 210}, {150, true, 210}, {100, false, 210}};
  for (const Case& c : cases) {
    auto bitmap = PaintBar(c.value, 0, 100, c.second);
    const int y = 3;
    // Nothing outside the control.
    EXPECT_TRUE(Near(PixelAt(*bitmap, 5, y), kPage, 0)) << c.value;
    EXPECT_TRUE(Near(PixelAt(*bitmap, 215, y), kPage, 0)) << c.value;
    if (c.fill_end == 10) {
      for (int x = 14; x < 206; x += 16) EXPECT_TRUE(Near(PixelAt(*bitmap, x, y), kBack)) << "x " << x;
      continue;
    }
    EXPECT_TRUE(Near(PixelAt(*bitmap, 16, y), kFore)) << c.value;
    const tzui::ARGB32 end_colour = c.second ? kFore2 : kFore;
    EXPECT_TRUE(Near(PixelAt(*bitmap, c.fill_end - 5, y), end_colour)) << c.value;
    if (c.fill_end < 200) {
      EXPECT_TRUE(Near(PixelAt(*bitmap, c.fill_end + 6, y), kBack)) << c.value;
    }
  }
}

TEST(GradientProgressTest, FactoryKnowsTheTypeInAnyCase) {
  for (const wchar_t* name : {L"GradientProgress", L"gradientprogress", L"GRADIENTPROGRESS"}) {
    std::unique_ptr<tzui::CControlUI> c(CreateGradientProgress(name));
    EXPECT_NE(dynamic_cast<CGradientProgress*>(c.get()), nullptr) << name;
  }
  EXPECT_EQ(CreateGradientProgress(L"Progress"), nullptr);
  EXPECT_EQ(CreateGradientProgress(L"GradientProgres"), nullptr);
}

TEST(RoundedControlsTest, CheckboxTogglesThenSendsCheckclickBeforeClick) {
  tzui::CPaintManagerUI manager;
  Recorder recorder;
  manager.AddNotifier(&recorder);
  auto* root = new tzui::CVerticalLayoutUI();
  manager.AttachDialog(root);
  auto* box = static_cast<CRoundedCheckboxUI*>(CreateRoundedControl(L"RoundedCheckbox"));
  root->Add(box);
  box->SetName(L"agree");
  box->SetAttribute(L"textcolor", L"#FF898D94");
  box->SetAttribute(L"checkedtextcolor", L"#FFFFFFFF");
  box->SetAttribute(L"normalimage", L"sysbtn\\uncheck.png");
  box->SetAttribute(L"normalonimage", L"sysbtn\\checked.png");
  box->SetAttribute(L"checked", L"true");
  EXPECT_EQ(box->GetTextColor(), 0xFFFFFFFFu);
  box->Activate();
  box->Activate();
  const std::vector<std::wstring> want = {L"checkclick:agree:0", L"click:agree:0", L"checkclick:agree:1",
                                          L"click:agree:0"};
  EXPECT_EQ(recorder.events, want);
  box->SetCheck(false);
  EXPECT_EQ(box->GetTextColor(), 0xFF898D94u);
  box->SetEnabled(false);
  box->Activate();
  EXPECT_EQ(recorder.events.size(), want.size());  // a disabled box ignores presses
}

TEST(RoundedControlsTest, RadiiTakeOneOrFourValues) {
  struct Case {
    const wchar_t* text;
    CornerRadii want;
  } cases[] = {{L"8", {8, 8, 8, 8}}, {L"1,2,3,4", {1, 2, 3, 4}}, {L"", {0, 0, 0, 0}}, {L"5,6", {5, 6, 0, 0}}};
  for (const Case& c : cases) {
    const CornerRadii r = ParseCornerRadii(c.text);
    EXPECT_EQ(r.tl, c.want.tl) << c.text;
    EXPECT_EQ(r.tr, c.want.tr) << c.text;
    EXPECT_EQ(r.br, c.want.br) << c.text;
    EXPECT_EQ(r.bl, c.want.bl) << c.text;
  }
  EXPECT_EQ(CreateRoundedControl(L"Button"), nullptr);
}

TEST(MessageBoxTest, ButtonStylesAndThePromptWithoutWindow) {
  BaseMessageBox box;
  struct Case {
    int style;
    tzui::ARGB32 bk, hot, pushed;
  } cases[] = {{0, 0xFFFE3666, 0xFFFE537C, 0xFFCB2B51}, {1, 0xFF3A3E4F, 0xFF4D4E5B, 0xFF2D2E3B},
               {2, 0xFFFF0036, 0xFFFF1A4A, 0xFF33000B}, {3, 0, 0, 0}, {-1, 0, 0, 0}};
  for (const Case& c : cases) {
    const auto s = box.StyleColors(c.style);
    EXPECT_EQ(s.bk, c.bk) << c.style;
    EXPECT_EQ(s.hot, c.hot) << c.style;
    EXPECT_EQ(s.pushed, c.pushed) << c.style;
  }
  ClearUIHost();
  EXPECT_EQ(ShowTwoButtonPrompt(L"text", L"title", {L"a", L"b"}, 0), 0);
}
