// What the dispatcher and the simple actions do towards the window. There is no window in an
// end-to-end run yet, so these reports are checked here through a test window in the UI host; the
// log lines, exit codes and options are checked by the e2e scenarios.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "state/message_box.h"
#include "state/ui_host.h"

namespace {

// Stands in for the main window: records every call and answers the message box with `answer`.
class TestWindow final : public IUIOperation, public IInstallStatusCallback {
 public:
  int MessageBox(const std::wstring& title, const std::wstring& text,
                 const std::vector<MessageBoxButton>& buttons) override {
    events.push_back(L"box:" + title + L"|" + text);
    shown_buttons = buttons;
    return answer;
  }
  void ShowWindow(bool show) override { events.push_back(show ? L"show" : L"hide"); }
  void Progress(int percent) override { events.push_back(L"progress:" + std::to_wstring(percent)); }
  void ActionText(const std::wstring& text) override { events.push_back(L"text:" + text); }
  void ExtractedFile(const std::wstring& path) override { events.push_back(L"file:" + path); }

  int answer = 0;
  std::vector<std::wstring> events;
  std::vector<MessageBoxButton> shown_buttons;
};

class ActionManTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.run.options.SetBool(OPT_SILENT, false);
    SetUIHost(&window, &window, UI_NOTIFY_PROGRESS | UI_NOTIFY_ACTION_TEXT | UI_NOTIFY_EXTRACTED_FILE);
  }
  void TearDown() override {
    ClearUIHost();
    engine_.run.options.SetBool(OPT_SILENT, false);
  }
  void AddAction(const ActionRecord& r) { ASSERT_TRUE(engine_.run.actions.Add(r)); }

  CEngine engine_;  // a fresh run for every test
  TestWindow window;
};

using Events = std::vector<std::wstring>;

ActionRecord Item(uint32_t id, ActionType type) {
  ActionRecord r;
  r.id = id;
  r.type = type;
  return r;
}

}  // namespace

TEST_F(ActionManTest, MissingItemReportsNothing) {
  EXPECT_EQ(engine_.actions.Execute(4999), ACTION_NOTHING);
  EXPECT_TRUE(window.events.empty());
}

TEST_F(ActionManTest, DisplayUnexpandedThenStartThenEndEvenAfterFailurePath) {
  // Deleting a key that does not exist fails; its onerror switches to silent mode first.
  ActionRecord r = Item(1000, ACT_REGDELETE);
  r.start = 96;
  r.end = 99;
  r.onerror = {8};
  r.path = L"HKCU\\Software\\TzSetupTests\\NoSuchKey";
  r.param1 = L"2";
  r.display = L"%INSTDIR%";
  AddAction(r);
  EXPECT_EQ(engine_.actions.Execute(1000), ACTION_FAILED);
  EXPECT_EQ(window.events, (Events{L"text:%INSTDIR%", L"progress:96", L"progress:99"}));
  EXPECT_TRUE(engine_.run.options.IsTrue(OPT_SILENT));
}

TEST_F(ActionManTest, ReportsFollowTheNotificationFlags) {
  ActionRecord r = Item(1010, ACT_LIST);
  r.start = 1;
  r.end = 2;
  r.value = L"0";
  r.display = L"step";
  AddAction(r);
  SetUIHost(&window, &window, UI_NOTIFY_EXTRACTED_FILE);
  EXPECT_EQ(engine_.actions.Execute(1010), ACTION_DONE);
  SetUIHost(&window, &window, UI_NOTIFY_ACTION_TEXT);
  engine_.actions.Execute(1010);
  EXPECT_EQ(window.events, (Events{L"text:step"}));
}

TEST_F(ActionManTest, BuiltinsReportNothingAndHideShowTheWindow) {
  EXPECT_EQ(engine_.actions.Execute(11), ACTION_DONE);
  EXPECT_EQ(engine_.actions.Execute(12), ACTION_DONE);
  EXPECT_EQ(window.events, (Events{L"hide", L"show"}));
  ClearUIHost();
  EXPECT_EQ(engine_.actions.Execute(11), ACTION_DONE);
}

struct PromptCase {
  int mask;
  size_t texts;
  std::vector<bool> primary;
};

class PromptButtonsTest : public ActionManTest, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PromptButtonsTest, AtMostTwoButtonsPrimaryByMask) {
  const PromptCase& c = GetParam();
  const std::vector<std::wstring> all{L"A", L"B", L"C"};
  ShowTwoButtonPrompt(L"text", L"title", std::vector<std::wstring>(all.begin(), all.begin() + c.texts), c.mask);
  ASSERT_EQ(window.shown_buttons.size(), c.primary.size());
  for (size_t i = 0; i < c.primary.size(); ++i) {
    EXPECT_EQ(window.shown_buttons[i].id, 10 + static_cast<int>(i));
    EXPECT_EQ(window.shown_buttons[i].text, all[i]);
    EXPECT_FALSE(window.shown_buttons[i].text_is_key);
    EXPECT_EQ(window.shown_buttons[i].primary, c.primary[i]) << "button " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Masks, PromptButtonsTest,
                         ::testing::Values(PromptCase{0, 2, {true, false}}, PromptCase{1, 2, {true, false}},
                                           PromptCase{2, 2, {false, true}}, PromptCase{3, 3, {true, true}},
                                           PromptCase{0, 1, {true}}, PromptCase{0, 0, {}}));

TEST_F(ActionManTest, PromptWithoutWindowAnswersZeroAndShowsNothing) {
  ClearUIHost();
  EXPECT_EQ(ShowTwoButtonPrompt(L"t", L"c", {L"A"}, 0), 0);
  EXPECT_EQ(ShowMessageBox(L"t", {L"A"}), 0);
  EXPECT_TRUE(window.events.empty());
}

struct AnswerCase {
  int pressed;
  int expected;
};

class MsgBoxAnswerTest : public ActionManTest, public ::testing::WithParamInterface<AnswerCase> {};

// The carried script's close-the-application box: force close runs 1023 (built-in 1 behind a list
// that returns 1), cancel and the close button run built-in 13.
TEST_P(MsgBoxAnswerTest, PressedButtonRunsItsAction) {
  {
    ActionRecord box = Item(1020, ACT_MSGBOX);
    box.retlist = {10, 11, 1};
    box.actionlist = {1023, 13, 13};
    box.method = L"1";
    box.value = L"Force, Cancel";
    engine_.run.actions.Add(box);
    ActionRecord list = Item(1023, ACT_LIST);
    list.value = L"1";
    engine_.run.actions.Add(list);
    ActionRecord unpaired = Item(1021, ACT_MSGBOX);
    unpaired.retlist = {10, 11};
    unpaired.actionlist = {13};
    unpaired.value = L"A,B";
    engine_.run.actions.Add(unpaired);
  }
  window.answer = GetParam().pressed;
  EXPECT_EQ(engine_.actions.Execute(1020), GetParam().expected);
  ASSERT_EQ(window.shown_buttons.size(), 2u);
  EXPECT_EQ(window.shown_buttons[1].text, L"Cancel");
  // Lists of different lengths cannot be paired: any pressed button just counts as done.
  EXPECT_EQ(engine_.actions.Execute(1021), GetParam().pressed != 0 ? ACTION_DONE : ACTION_NOTHING);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MsgBoxAnswerTest,
                         ::testing::Values(AnswerCase{10, ACTION_DONE}, AnswerCase{11, ACTION_STOP_RETURN},
                                           AnswerCase{1, ACTION_STOP_RETURN}, AnswerCase{0, ACTION_NOTHING},
                                           AnswerCase{12, ACTION_DONE}));

TEST_F(ActionManTest, MsgBoxMarkedTrueAsksEvenInSilentRuns) {
  for (auto [id, param1] : {std::pair{1030u, L"TRUE"}, std::pair{1031u, L"yes"}}) {
    ActionRecord r = Item(id, ACT_MSGBOX);
    r.param1 = param1;
    r.name = L"text";
    r.value = L"OK";
    AddAction(r);
  }
  engine_.run.options.SetBool(OPT_SILENT, true);
  window.answer = 10;
  EXPECT_EQ(engine_.actions.Execute(1030), ACTION_DONE);
  EXPECT_EQ(engine_.actions.Execute(1031), ACTION_NOTHING);
  EXPECT_EQ(window.events, (Events{L"box:|text"}));
}

TEST_F(ActionManTest, SetInstDirLongerThanAPathKeepsTheDirectory) {
  engine_.run.options.SetText(OPT_INSTDIR, L"C:\\Keep");
  ActionRecord r = Item(1040, ACT_SETINSTDIR);
  r.path = L"C:\\" + std::wstring(300, L'a') + L"\\..";
  AddAction(r);
  EXPECT_EQ(engine_.actions.Execute(1040), ACTION_NOTHING);
  std::wstring dir;
  ASSERT_TRUE(engine_.run.options.GetOptionText(OPT_INSTDIR, dir));
  EXPECT_EQ(dir, L"C:\\Keep");
}
