#include "ui/animation_manager.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fake_animation.h"
#include "ui/animation_client.h"

namespace {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A manager on stand-in components, shut down and released at the end of the test.
struct ManagerOnFakes {
  explicit ManagerOnFakes(fake::World& world) : manager(new TzAnimationManagerImpl(world.Creator())) {}
  ~ManagerOnFakes() {
    manager->Shutdown();
    manager->Release();
  }
  TzAnimationManagerImpl* operator->() const { return manager; }
  TzAnimationManagerImpl* manager;
};

struct Received {
  std::vector<std::pair<double, void*>> values;
  static void Record(double value, void* context) {
    static_cast<Received*>(context)->values.emplace_back(value, context);
  }
};

TzAnimationRequest WindowRequest(bool repeat = false) {
  TzAnimationRequest request;
  request.repeat = repeat;
  request.duration = 0.3;
  request.points = {0.25, 0.1, 0.25, 1.0};
  return request;
}

struct IdCase {
  uint32_t last;
  uint32_t next;
};

class AnimationIdTest : public testing::TestWithParam<IdCase> {};

TEST_P(AnimationIdTest, SkipsZeroAndAllOnes) {
  TzAnimationIdCounter counter(GetParam().last);
  EXPECT_EQ(counter.Next(), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnimationIdTest,
                         testing::Values(IdCase{0, 1}, IdCase{41, 42},
                                         IdCase{4294967293u, 4294967294u}, IdCase{4294967294u, 1},
                                         IdCase{4294967295u, 1}));

struct InitCase {
  const char* name;
  fake::World world;
  bool available;
  bool version2;
  std::vector<std::wstring> asked;
};

fake::World Offering(void (*change)(fake::World&)) {
  fake::World world;
  change(world);
  return world;
}

class AnimationInitTest : public testing::TestWithParam<InitCase> {};

TEST_P(AnimationInitTest, ChoosesTheNewestUsableComponents) {
  const InitCase& c = GetParam();
  fake::World world = c.world;
  {
    ManagerOnFakes manager(world);
    EXPECT_EQ(manager->Initialize(), c.available);
    EXPECT_EQ(manager->IsVersion2(), c.version2);
    EXPECT_EQ(world.asked, c.asked);
    // Usable means the timer drives the manager and reports back to it.
    EXPECT_EQ(static_cast<bool>(world.update_handler), c.available);
    EXPECT_EQ(world.event_handler.Get(), c.available ? manager.manager : nullptr);
    // (The bare version-2 stand-ins cannot run an animation.)
    if (!c.version2) {
      EXPECT_EQ(manager->Start(WindowRequest(), nullptr, nullptr) != 0, c.available);
    }
  }
  EXPECT_FALSE(world.event_handler);  // the timer let go of the released manager
}

const std::vector<std::wstring> kVersion1Asked{L"timer",   L"manager2", L"library2",
                                               L"manager", L"library",  L"factory"};

INSTANTIATE_TEST_SUITE_P(
    Cases, AnimationInitTest,
    testing::Values(
        // Wine 8: version 1 whose manager the timer cannot drive.
        InitCase{"VersionOneWithoutUpdateHandler",
                 Offering([](fake::World& w) { w.manager_drives_timer = false; }), false, false,
                 kVersion1Asked},
        InitCase{"VersionOneWithFactory", fake::World{}, true, false, kVersion1Asked},
        InitCase{"VersionOneWithoutFactory", Offering([](fake::World& w) { w.factory = false; }),
                 true, false, kVersion1Asked},
        InitCase{"NoTimer", Offering([](fake::World& w) { w.timer = false; }), false, false,
                 {L"timer"}},
        InitCase{"NoVersionOneLibrary", Offering([](fake::World& w) { w.library = false; }), false,
                 false, {L"timer", L"manager2", L"library2", L"manager", L"library"}},
        InitCase{"VersionTwo",
                 Offering([](fake::World& w) { w.manager2 = w.library2 = true; }), true, true,
                 {L"timer", L"manager2", L"library2"}},
        // A version-2 manager the timer cannot drive ends the search.
        InitCase{"VersionTwoWithoutUpdateHandler",
                 Offering([](fake::World& w) {
                   w.manager2 = w.library2 = true;
                   w.manager2_drives_timer = false;
                 }),
                 false, false, {L"timer", L"manager2", L"library2"}},
        InitCase{"VersionTwoManagerWithoutLibrary",
                 Offering([](fake::World& w) { w.manager2 = true; }), true, false,
                 kVersion1Asked}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnimationManagerTest, WithFactoryRunsOurInterpolatorFromZeroToOne) {
  fake::World world;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  Received received;
  EXPECT_EQ(manager->Start(WindowRequest(), &Received::Record, &received), 1u);

  ASSERT_EQ(world.transitions.size(), 1u);
  const fake::Transition& transition = *world.transitions[0].Get();
  EXPECT_EQ(transition.kind, "interpolator");
  double value = 0;
  ASSERT_EQ(transition.interpolator->GetDuration(&value), S_OK);
  EXPECT_EQ(value, 0.3);
  ASSERT_EQ(transition.interpolator->InterpolateValue(0.15, &value), S_OK);
  EXPECT_NEAR(value, 0.674, 0.001);

  ASSERT_EQ(world.storyboards.size(), 1u);
  const fake::Storyboard& storyboard = *world.storyboards[0].Get();
  const fake::Variable& variable = *world.variables[0].Get();
  EXPECT_EQ(storyboard.variable.Get(), static_cast<IUIAnimationVariable*>(world.variables[0].Get()));
  EXPECT_EQ(storyboard.transition.Get(), static_cast<IUIAnimationTransition*>(world.transitions[0].Get()));
  EXPECT_EQ(storyboard.scheduled_at, world.now);
  EXPECT_EQ(storyboard.repeat_count, 0);
  EXPECT_EQ(variable.value, 0.0);
  EXPECT_EQ(variable.lower, 0.0);
  EXPECT_EQ(variable.upper, 1.0);
}

TEST(AnimationManagerTest, WithoutFactoryFitsACubicAndRepeatsOnRequest) {
  fake::World world;
  world.factory = false;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  const TzAnimationRequest request = WindowRequest(true);
  EXPECT_NE(manager->Start(request, nullptr, nullptr), 0u);
  ASSERT_EQ(world.transitions.size(), 1u);
  const fake::Transition& transition = *world.transitions[0].Get();
  EXPECT_EQ(transition.kind, "cubic");
  EXPECT_EQ(transition.duration, 0.3);
  EXPECT_EQ(transition.final_value, 1.0);
  EXPECT_EQ(transition.final_velocity, TzFitCubicToBezier(request.points).end_slope);
  EXPECT_EQ(world.storyboards[0]->repeat_count, UI_ANIMATION_REPEAT_INDEFINITELY);
}

struct RefusalCase {
  const char* name;
  void (*change)(fake::World&);
};

class AnimationRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(AnimationRefusalTest, RegistersNothingAndUsesNoId) {
  fake::World world;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  GetParam().change(world);
  EXPECT_EQ(manager->Start(WindowRequest(), nullptr, nullptr), 0u);
  EXPECT_EQ(manager->RunningCount(), 0u);
  world.schedule_hr = S_OK;
  world.schedule_result = UI_ANIMATION_SCHEDULING_SUCCEEDED;
  world.factory_fails = false;
  EXPECT_EQ(manager->Start(WindowRequest(), nullptr, nullptr), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnimationRefusalTest,
    testing::Values(RefusalCase{"ScheduleFails", [](fake::World& w) { w.schedule_hr = E_FAIL; }},
                    RefusalCase{"InsufficientPriority",
                                [](fake::World& w) {
                                  w.schedule_result = UI_ANIMATION_SCHEDULING_INSUFFICIENT_PRIORITY;
                                }},
                    RefusalCase{"NoTransition", [](fake::World& w) { w.factory_fails = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnimationManagerTest, PostUpdateDeliversPlayingValuesAndDropsEndedAnimations) {
  fake::World world;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  struct Case {
    UI_ANIMATION_STORYBOARD_STATUS status;
    HRESULT status_hr;
    double value;
    std::vector<double> delivered;  // by the first update
  };
  const Case cases[] = {
      {UI_ANIMATION_STORYBOARD_PLAYING, S_OK, 0.5, {0.5}},
      {UI_ANIMATION_STORYBOARD_READY, S_OK, 1.0, {1.0}},  // ran to its end: final value once
      {UI_ANIMATION_STORYBOARD_PLAYING, E_FAIL, 0.7, {}},
      {UI_ANIMATION_STORYBOARD_SCHEDULED, S_OK, 0.0, {}},
  };
  Received received[4];
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(manager->Start(WindowRequest(), &Received::Record, &received[i]), i + 1u);
    world.storyboards[i]->status = cases[i].status;
    world.storyboards[i]->status_hr = cases[i].status_hr;
    world.variables[i]->value = cases[i].value;
  }
  EXPECT_EQ(world.event_handler->OnPostUpdate(), S_OK);
  EXPECT_EQ(world.event_handler->OnPostUpdate(), S_OK);
  for (int i = 0; i < 4; ++i) {
    std::vector<double> values;
    for (const auto& [value, context] : received[i].values) {
      values.push_back(value);
      EXPECT_EQ(context, &received[i]);
    }
    std::vector<double> expected = cases[i].delivered;
    if (i == 0) expected.push_back(0.5);  // still playing at the second update
    EXPECT_EQ(values, expected) << "animation " << i + 1;
    EXPECT_EQ(world.storyboards[i]->abandoned, i != 0) << "animation " << i + 1;
  }
  EXPECT_EQ(manager->RunningCount(), 1u);
}

TEST(AnimationManagerTest, StopAbandonsOnlyARunningAnimation) {
  fake::World world;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  Received received;
  const uint32_t id = manager->Start(WindowRequest(), &Received::Record, &received);
  EXPECT_FALSE(manager->Stop(id + 1));
  EXPECT_TRUE(manager->Stop(id));
  EXPECT_TRUE(world.storyboards[0]->abandoned);
  EXPECT_FALSE(manager->Stop(id));
  world.event_handler->OnPostUpdate();
  EXPECT_TRUE(received.values.empty());
}

// A receiver may stop another animation from its callback (the window does when it switches
// pages); that animation then gets no further value in the same update.
TEST(AnimationManagerTest, CallbackMayStopAnotherAnimation) {
  fake::World world;
  ManagerOnFakes manager(world);
  ASSERT_TRUE(manager->Initialize());
  struct Stopper {
    TzAnimationManagerImpl* manager;
    uint32_t victim;
    int calls = 0;
    static void OnValue(double, void* self) {
      auto* s = static_cast<Stopper*>(self);
      ++s->calls;
      s->manager->Stop(s->victim);
    }
  } stopper{manager.manager, 2};
  Received victim;
  manager->Start(WindowRequest(), &Stopper::OnValue, &stopper);
  manager->Start(WindowRequest(), &Received::Record, &victim);
  world.event_handler->OnPostUpdate();
  EXPECT_EQ(stopper.calls, 1);
  EXPECT_TRUE(victim.values.empty());
  EXPECT_EQ(manager->RunningCount(), 1u);
}

class RecordingManager : public TzAnimationManager {
 public:
  uint32_t Start(const TzAnimationRequest& request, TzAnimationValueCallback callback,
                 void* context) override {
    requests.push_back(request);
    this->callback = callback;
    this->context = context;
    return refuse ? 0 : next_id++;
  }
  uint32_t StartLinear(const TzLinearAnimationRequest&, TzAnimationValueCallback, void*) override {
    return 0;
  }
  bool Stop(uint32_t id) override {
    stopped.push_back(id);
    return true;
  }
  std::vector<TzAnimationRequest> requests;
  std::vector<uint32_t> stopped;
  TzAnimationValueCallback callback = nullptr;
  void* context = nullptr;
  uint32_t next_id = 7;
  bool refuse = false;
};

class PanelClient : public TzAnimationCubicBezierClient {
 public:
  void OnValue(double value) override { values.push_back(value); }
  std::vector<double> values;
};

TEST(AnimationClientTest, SetDurationIgnoresTinyValues) {
  const std::pair<double, double> cases[] = {
      {0.00001, 1.0}, {0.0, 1.0}, {-2.0, 1.0}, {0.000011, 0.000011}, {0.3, 0.3}};
  for (const auto& [requested, expected] : cases) {
    PanelClient client;
    client.SetDuration(requested);
    EXPECT_EQ(client.Duration(), expected) << requested;
  }
}

TEST(AnimationClientTest, StartsStopsAndForwardsValues) {
  PanelClient client;
  EXPECT_FALSE(client.Start());  // no manager
  RecordingManager manager;
  client.SetAnimationManager(&manager);
  client.SetDuration(0.3);
  client.SetRepeat(true);
  ASSERT_TRUE(client.Start());
  EXPECT_EQ(client.AnimationId(), 7u);
  ASSERT_EQ(manager.requests.size(), 1u);
  EXPECT_EQ(manager.requests[0].duration, 0.3);
  EXPECT_TRUE(manager.requests[0].repeat);
  EXPECT_EQ(manager.requests[0].points.x1, 0.25);
  EXPECT_EQ(manager.requests[0].points.y2, 1.0);
  manager.callback(0.42, manager.context);
  EXPECT_EQ(client.values, std::vector<double>{0.42});

  ASSERT_TRUE(client.Start());  // replaces the running one
  EXPECT_EQ(manager.stopped, std::vector<uint32_t>{7});
  client.Stop();
  EXPECT_EQ(client.AnimationId(), 0u);
  EXPECT_EQ(manager.stopped, (std::vector<uint32_t>{7, 8}));
  client.Stop();  // nothing held: the manager is not asked
  EXPECT_EQ(manager.stopped.size(), 2u);

  manager.refuse = true;
  EXPECT_FALSE(client.Start());
  EXPECT_EQ(client.AnimationId(), 0u);
}

TEST(AnimationClientTest, DestructionStopsTheRunningAnimation) {
  RecordingManager manager;
  {
    PanelClient client;
    client.SetAnimationManager(&manager);
    ASSERT_TRUE(client.Start());
  }
  EXPECT_EQ(manager.stopped, std::vector<uint32_t>{7});
}

// On Windows the real components run an animation to its end through the thread's messages;
// Wine 8's manager cannot be driven by the timer, so there is no manager there.
TEST(AnimationManagerTest, RealComponents) {
  TzAnimationManager* manager = GetAnimationManager();
  if (RunningUnderWine()) {
    EXPECT_EQ(manager, nullptr);
    EXPECT_EQ(GetAnimationManager(), nullptr);  // tried again, still nothing
    return;
  }
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(GetAnimationManager(), manager);
  Received received;
  ASSERT_NE(manager->Start(WindowRequest(), &Received::Record, &received), 0u);
  const DWORD deadline = GetTickCount() + 5000;
  while ((received.values.empty() || received.values.back().first <= 0.99) &&
         GetTickCount() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
  ASSERT_FALSE(received.values.empty());
  EXPECT_GT(received.values.back().first, 0.99);
}

}  // namespace
