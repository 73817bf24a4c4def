#pragma once
// Stand-ins for the Windows Animation components (version 1, plus bare version-2 objects that only
// answer the timer-update query), so the manager's logic runs where the real ones are missing.
#include <uianimation.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "ui/animation_manager.h"

namespace fake {

// A method the manager never calls.
#define NI(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

// IUnknown for the listed interfaces; Answers() lets a fake refuse one of them.
template <typename First, typename... Rest>
class Object : public First, public Rest... {
 public:
  virtual ~Object() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) *out = static_cast<First*>(this);
    Offer<First>(iid, out);
    (Offer<Rest>(iid, out), ...);
    if (!*out || !Answers(iid)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  virtual bool Answers(REFIID) { return true; }

 private:
  template <typename I>
  void Offer(REFIID iid, void** out) {
    if (!*out && IsEqualIID(iid, __uuidof(I))) *out = static_cast<I*>(this);
  }

  ULONG refs_ = 1;
};

struct Transition : Object<IUIAnimationTransition> {
  std::string kind;
  double duration = 0, final_value = 0, final_velocity = 0;
  tz::ComPtr<IUIAnimationInterpolator> interpolator;
  NI(SetInitialValue, double)
  NI(SetInitialVelocity, double)
  NI(IsDurationKnown)
  NI(GetDuration, double*)
};

struct Variable : Object<IUIAnimationVariable> {
  double value = 0, lower = -1e300, upper = 1e300;
  HRESULT value_hr = S_OK;
  HRESULT STDMETHODCALLTYPE GetValue(double* v) override {
    *v = value;
    return value_hr;
  }
  NI(GetFinalValue, double*)
  NI(GetPreviousValue, double*)
  NI(GetIntegerValue, int*)
  NI(GetFinalIntegerValue, int*)
  NI(GetPreviousIntegerValue, int*)
  NI(GetCurrentStoryboard, IUIAnimationStoryboard**)
  HRESULT STDMETHODCALLTYPE SetLowerBound(double b) override { return lower = b, S_OK; }
  HRESULT STDMETHODCALLTYPE SetUpperBound(double b) override { return upper = b, S_OK; }
  NI(SetRoundingMode, UI_ANIMATION_ROUNDING_MODE)
  NI(SetTag, IUnknown*, unsigned int)
  NI(GetTag, IUnknown**, unsigned int*)
  NI(SetVariableChangeHandler, IUIAnimationVariableChangeHandler*)
  NI(SetVariableIntegerChangeHandler, IUIAnimationVariableIntegerChangeHandler*)
};

struct Storyboard : Object<IUIAnimationStoryboard> {
  UI_ANIMATION_STORYBOARD_STATUS status = UI_ANIMATION_STORYBOARD_PLAYING;
  HRESULT status_hr = S_OK, schedule_hr = S_OK;
  UI_ANIMATION_SCHEDULING_RESULT schedule_result = UI_ANIMATION_SCHEDULING_SUCCEEDED;
  tz::ComPtr<IUIAnimationVariable> variable;
  tz::ComPtr<IUIAnimationTransition> transition;
  double scheduled_at = -1;
  int repeat_count = 0;
  bool abandoned = false;
  HRESULT STDMETHODCALLTYPE AddTransition(IUIAnimationVariable* v,
                                          IUIAnimationTransition* t) override {
    variable = tz::ComPtr<IUIAnimationVariable>(v);
    transition = tz::ComPtr<IUIAnimationTransition>(t);
    return S_OK;
  }
  NI(AddKeyframeAtOffset, UI_ANIMATION_KEYFRAME, double, UI_ANIMATION_KEYFRAME*)
  HRESULT STDMETHODCALLTYPE AddKeyframeAfterTransition(IUIAnimationTransition*,
                                                       UI_ANIMATION_KEYFRAME* k) override {
    *k = reinterpret_cast<UI_ANIMATION_KEYFRAME>(this);
    return S_OK;
  }
  NI(AddTransitionAtKeyframe, IUIAnimationVariable*, IUIAnimationTransition*,
     UI_ANIMATION_KEYFRAME)
  NI(AddTransitionBetweenKeyframes, IUIAnimationVariable*, IUIAnimationTransition*,
     UI_ANIMATION_KEYFRAME, UI_ANIMATION_KEYFRAME)
  HRESULT STDMETHODCALLTYPE RepeatBetweenKeyframes(UI_ANIMATION_KEYFRAME start,
                                                   UI_ANIMATION_KEYFRAME end, int count) override {
    if (start != UI_ANIMATION_KEYFRAME_STORYBOARD_START ||
        end != reinterpret_cast<UI_ANIMATION_KEYFRAME>(this)) {
      return E_INVALIDARG;
    }
    repeat_count = count;
    return S_OK;
  }
  NI(HoldVariable, IUIAnimationVariable*)
  NI(SetLongestAcceptableDelay, double)
  HRESULT STDMETHODCALLTYPE Schedule(double now, UI_ANIMATION_SCHEDULING_RESULT* r) override {
    scheduled_at = now;
    if (r) *r = schedule_result;
    return schedule_hr;
  }
  NI(Conclude)
  NI(Finish, double)
  HRESULT STDMETHODCALLTYPE Abandon() override { return abandoned = true, S_OK; }
  NI(SetTag, IUnknown*, unsigned int)
  NI(GetTag, IUnknown**, unsigned int*)
  HRESULT STDMETHODCALLTYPE GetStatus(UI_ANIMATION_STORYBOARD_STATUS* s) override {
    *s = status;
    return status_hr;
  }
  NI(GetElapsedTime, double*)
  NI(SetStoryboardEventHandler, IUIAnimationStoryboardEventHandler*)
};

// What the stand-ins offer and what was made of them.
struct World {
  bool timer = true, manager = true, library = true, factory = true;
  bool manager_drives_timer = true;  // answers IUIAnimationTimerUpdateHandler
  bool manager2 = false, library2 = false, manager2_drives_timer = true;
  UI_ANIMATION_SCHEDULING_RESULT schedule_result = UI_ANIMATION_SCHEDULING_SUCCEEDED;
  HRESULT schedule_hr = S_OK;
  bool factory_fails = false;
  double now = 12.5;

  std::vector<std::wstring> asked;  // class ids asked for, by short name
  std::vector<tz::ComPtr<Storyboard>> storyboards;
  std::vector<tz::ComPtr<Variable>> variables;
  std::vector<tz::ComPtr<Transition>> transitions;
  tz::ComPtr<IUIAnimationTimerUpdateHandler> update_handler;
  tz::ComPtr<IUIAnimationTimerEventHandler> event_handler;

  TzComCreator Creator();
};

#define FAKE_UPDATE_HANDLER_METHODS                                \
  NI(OnUpdate, double, UI_ANIMATION_UPDATE_RESULT*)                \
  NI(SetTimerClientEventHandler, IUIAnimationTimerClientEventHandler*) \
  NI(ClearTimerClientEventHandler)

// A version-2 component that supports nothing but the timer-update query.
struct Bare2 : Object<IUIAnimationTimerUpdateHandler> {
  explicit Bare2(bool drives) : drives_(drives) {}
  bool Answers(REFIID iid) override {
    return drives_ || !IsEqualIID(iid, __uuidof(IUIAnimationTimerUpdateHandler));
  }
  bool drives_;
  FAKE_UPDATE_HANDLER_METHODS
};

struct Manager : Object<IUIAnimationManager, IUIAnimationTimerUpdateHandler> {
  explicit Manager(World& w) : world(w) {}
  FAKE_UPDATE_HANDLER_METHODS
  World& world;
  bool Answers(REFIID iid) override {
    return world.manager_drives_timer || !IsEqualIID(iid, __uuidof(IUIAnimationTimerUpdateHandler));
  }
  HRESULT STDMETHODCALLTYPE CreateAnimationVariable(double initial,
                                                    IUIAnimationVariable** out) override {
    auto* v = new Variable();
    v->value = initial;
    world.variables.push_back(tz::ComPtr<Variable>(v));
    *out = v;
    return S_OK;
  }
  NI(ScheduleTransition, IUIAnimationVariable*, IUIAnimationTransition*, double)
  HRESULT STDMETHODCALLTYPE CreateStoryboard(IUIAnimationStoryboard** out) override {
    auto* s = new Storyboard();
    s->schedule_hr = world.schedule_hr;
    s->schedule_result = world.schedule_result;
    world.storyboards.push_back(tz::ComPtr<Storyboard>(s));
    *out = s;
    return S_OK;
  }
  NI(FinishAllStoryboards, double)
  NI(AbandonAllStoryboards)
  NI(Update, double, UI_ANIMATION_UPDATE_RESULT*)
  NI(GetVariableFromTag, IUnknown*, UINT32, IUIAnimationVariable**)
  NI(GetStoryboardFromTag, IUnknown*, UINT32, IUIAnimationStoryboard**)
  NI(GetStatus, UI_ANIMATION_MANAGER_STATUS*)
  NI(SetAnimationMode, UI_ANIMATION_MODE)
  NI(Pause)
  NI(Resume)
  NI(SetManagerEventHandler, IUIAnimationManagerEventHandler*)
  NI(SetCancelPriorityComparison, IUIAnimationPriorityComparison*)
  NI(SetTrimPriorityComparison, IUIAnimationPriorityComparison*)
  NI(SetCompressPriorityComparison, IUIAnimationPriorityComparison*)
  NI(SetConcludePriorityComparison, IUIAnimationPriorityComparison*)
  NI(SetDefaultLongestAcceptableDelay, double)
  NI(Shutdown)
};

struct Library : Object<IUIAnimationTransitionLibrary> {
  explicit Library(World& w) : world(w) {}
  World& world;
  HRESULT Make(const char* kind, double duration, double final_value, double velocity,
               IUIAnimationTransition** out) {
    auto* t = new Transition();
    t->kind = kind;
    t->duration = duration;
    t->final_value = final_value;
    t->final_velocity = velocity;
    world.transitions.push_back(tz::ComPtr<Transition>(t));
    *out = t;
    return S_OK;
  }
  NI(CreateInstantaneousTransition, double, IUIAnimationTransition**)
  NI(CreateConstantTransition, double, IUIAnimationTransition**)
  NI(CreateDiscreteTransition, double, double, double, IUIAnimationTransition**)
  HRESULT STDMETHODCALLTYPE CreateLinearTransition(double d, double f,
                                                   IUIAnimationTransition** out) override {
    return Make("linear", d, f, 0, out);
  }
  NI(CreateLinearTransitionFromSpeed, double, double, IUIAnimationTransition**)
  NI(CreateSinusoidalTransitionFromVelocity, double, double, IUIAnimationTransition**)
  NI(CreateSinusoidalTransitionFromRange, double, double, double, double, UI_ANIMATION_SLOPE,
     IUIAnimationTransition**)
  NI(CreateAccelerateDecelerateTransition, double, double, double, double,
     IUIAnimationTransition**)
  NI(CreateReversalTransition, double, IUIAnimationTransition**)
  HRESULT STDMETHODCALLTYPE CreateCubicTransition(double d, double f, double v,
                                                  IUIAnimationTransition** out) override {
    return Make("cubic", d, f, v, out);
  }
  NI(CreateSmoothStopTransition, double, double, IUIAnimationTransition**)
  NI(CreateParabolicTransitionFromAcceleration, double, double, double, IUIAnimationTransition**)
};

struct Factory : Object<IUIAnimationTransitionFactory> {
  explicit Factory(World& w) : world(w) {}
  World& world;
  HRESULT STDMETHODCALLTYPE CreateTransition(IUIAnimationInterpolator* interpolator,
                                             IUIAnimationTransition** out) override {
    *out = nullptr;
    if (world.factory_fails) return E_FAIL;
    auto* t = new Transition();
    t->kind = "interpolator";
    t->interpolator = tz::ComPtr<IUIAnimationInterpolator>(interpolator);
    world.transitions.push_back(tz::ComPtr<Transition>(t));
    *out = t;
    return S_OK;
  }
};

struct Timer : Object<IUIAnimationTimer> {
  explicit Timer(World& w) : world(w) {}
  World& world;
  HRESULT STDMETHODCALLTYPE SetTimerUpdateHandler(IUIAnimationTimerUpdateHandler* h,
                                                  UI_ANIMATION_IDLE_BEHAVIOR) override {
    world.update_handler = tz::ComPtr<IUIAnimationTimerUpdateHandler>(h);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetTimerEventHandler(IUIAnimationTimerEventHandler* h) override {
    world.event_handler = tz::ComPtr<IUIAnimationTimerEventHandler>(h);
    return S_OK;
  }
  NI(Enable)
  NI(Disable)
  NI(IsEnabled)
  HRESULT STDMETHODCALLTYPE GetTime(double* t) override {
    *t = world.now;
    return S_OK;
  }
  NI(SetFrameRateThreshold, unsigned int)
};

inline TzComCreator World::Creator() {
  return [this](REFCLSID clsid, REFIID iid, void** out) -> HRESULT {
    *out = nullptr;
    struct Offer {
      const CLSID* clsid;
      const wchar_t* name;
      bool present;
    };
    const Offer offers[] = {
        {&CLSID_UIAnimationTimer, L"timer", timer},
        {&CLSID_UIAnimationManager, L"manager", manager},
        {&CLSID_UIAnimationTransitionLibrary, L"library", library},
        {&CLSID_UIAnimationTransitionFactory, L"factory", factory},
        {&CLSID_UIAnimationManager2, L"manager2", manager2},
        {&CLSID_UIAnimationTransitionLibrary2, L"library2", library2},
    };
    for (const Offer& offer : offers) {
      if (!IsEqualCLSID(clsid, *offer.clsid)) continue;
      asked.push_back(offer.name);
      if (!offer.present) return REGDB_E_CLASSNOTREG;
      const std::wstring name = offer.name;
      IUnknown* object = nullptr;
      if (name == L"timer") object = static_cast<IUIAnimationTimer*>(new Timer(*this));
      if (name == L"manager") object = static_cast<IUIAnimationManager*>(new Manager(*this));
      if (name == L"library") object = new Library(*this);
      if (name == L"factory") object = new Factory(*this);
      if (!object) {
        // Version-2 components: handed out as asked; the manager only queries them here.
        *out = static_cast<IUnknown*>(new Bare2(manager2_drives_timer));
        return S_OK;
      }
      const HRESULT hr = object->QueryInterface(iid, out);
      object->Release();
      return hr;
    }
    return REGDB_E_CLASSNOTREG;
  };
}

#undef FAKE_UPDATE_HANDLER_METHODS
#undef NI

}  // namespace fake
