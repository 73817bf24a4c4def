#include "ui/animation_manager.h"

#include <type_traits>
#include <utility>
#include <vector>

namespace {

HRESULT CreateInprocServer(REFCLSID clsid, REFIID iid, void** out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
}

template <typename Storyboard>
HRESULT RepeatIndefinitely(Storyboard* storyboard, UI_ANIMATION_KEYFRAME end) {
  if constexpr (std::is_same_v<Storyboard, IUIAnimationStoryboard2>) {
    return storyboard->RepeatBetweenKeyframes(UI_ANIMATION_KEYFRAME_STORYBOARD_START, end,
                                              UI_ANIMATION_REPEAT_INDEFINITELY,
                                              UI_ANIMATION_REPEAT_MODE_NORMAL);
  } else {
    return storyboard->RepeatBetweenKeyframes(UI_ANIMATION_KEYFRAME_STORYBOARD_START, end,
                                              UI_ANIMATION_REPEAT_INDEFINITELY);
  }
}

// Hands every playing animation its current value. An animation that no longer plays is removed;
// one that ran to its end first gets its final value, since the last frame can stop short of it.
// Callbacks may stop or start animations, so each id is looked up afresh.
template <typename Map>
void DeliverValues(Map& running) {
  std::vector<uint32_t> ids;
  ids.reserve(running.size());
  for (const auto& item : running) ids.push_back(item.first);
  for (const uint32_t id : ids) {
    auto it = running.find(id);
    if (it == running.end()) continue;
    UI_ANIMATION_STORYBOARD_STATUS status = UI_ANIMATION_STORYBOARD_BUILDING;
    const HRESULT hr = it->second.storyboard->GetStatus(&status);
    double value = 0.0;
    if (SUCCEEDED(hr) && status == UI_ANIMATION_STORYBOARD_PLAYING) {
      if (it->second.callback && SUCCEEDED(it->second.variable->GetValue(&value))) {
        it->second.callback(value, it->second.context);
      }
      continue;
    }
    auto entry = std::move(it->second);
    running.erase(it);
    const bool finished = SUCCEEDED(hr) && status == UI_ANIMATION_STORYBOARD_READY &&
                          entry.callback && SUCCEEDED(entry.variable->GetValue(&value));
    entry.storyboard->Abandon();
    if (finished) entry.callback(value, entry.context);
  }
}

template <typename Map>
bool StopIn(Map& running, uint32_t id) {
  auto it = running.find(id);
  if (it == running.end()) return false;
  auto entry = std::move(it->second);
  running.erase(it);
  entry.storyboard->Abandon();
  return true;
}

template <typename Map>
void AbandonAll(Map& running) {
  Map entries;
  entries.swap(running);
  for (auto& item : entries) item.second.storyboard->Abandon();
}

}  // namespace

TzAnimationManagerImpl::TzAnimationManagerImpl(TzComCreator create)
    : create_(create ? std::move(create) : TzComCreator(&CreateInprocServer)) {}

TzAnimationManagerImpl::~TzAnimationManagerImpl() {
  Shutdown();
  ReleaseComponents();  // before COM goes
  if (com_initialized_here_) CoUninitialize();
}

template <typename T>
HRESULT TzAnimationManagerImpl::Create(REFCLSID clsid, tz::ComPtr<T>& out) {
  HRESULT hr = create_(clsid, __uuidof(T), out.PutVoid());
  if (SUCCEEDED(hr) && !out) hr = E_NOINTERFACE;
  if (FAILED(hr)) out.Reset();
  return hr;
}

bool TzAnimationManagerImpl::Initialize() {
  if (initialized_) return true;
  if (!com_initialized_here_) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (SUCCEEDED(hr)) {
      com_initialized_here_ = true;
    } else if (hr != RPC_E_CHANGED_MODE) {
      return false;
    }
  }
  tz::ComPtr<IUIAnimationTimerUpdateHandler> update;
  // Without the timer driving the manager no value would ever arrive: not usable either.
  if (SUCCEEDED(Create(CLSID_UIAnimationTimer, timer_)) && FindComponents(update) &&
      SUCCEEDED(timer_->SetTimerUpdateHandler(update.Get(), UI_ANIMATION_IDLE_BEHAVIOR_DISABLE))) {
    if (SUCCEEDED(timer_->SetTimerEventHandler(this))) {
      initialized_ = true;
      return true;
    }
    timer_->SetTimerUpdateHandler(nullptr, UI_ANIMATION_IDLE_BEHAVIOR_DISABLE);
  }
  ReleaseComponents();
  return false;
}

// The Windows 8 set first. A version-2 set whose manager the timer cannot drive ends the search.
bool TzAnimationManagerImpl::FindComponents(tz::ComPtr<IUIAnimationTimerUpdateHandler>& update) {
  Create(CLSID_UIAnimationManager2, manager_v2_);
  Create(CLSID_UIAnimationTransitionLibrary2, library_v2_);
  if (manager_v2_ && library_v2_) {
    version2_ = SUCCEEDED(manager_v2_.As(update));
    return version2_;
  }
  manager_v2_.Reset();
  library_v2_.Reset();
  Create(CLSID_UIAnimationManager, manager_v1_);
  Create(CLSID_UIAnimationTransitionLibrary, library_v1_);
  if (!manager_v1_ || !library_v1_) return false;
  Create(CLSID_UIAnimationTransitionFactory, factory_);  // optional: the cubic fit stands in
  return SUCCEEDED(manager_v1_.As(update));
}

void TzAnimationManagerImpl::ReleaseComponents() {
  version2_ = false;
  timer_.Reset();
  manager_v1_.Reset();
  library_v1_.Reset();
  factory_.Reset();
  manager_v2_.Reset();
  library_v2_.Reset();
}

void TzAnimationManagerImpl::Shutdown() {
  AbandonAll(running_v1_);
  AbandonAll(running_v2_);
  if (initialized_) {
    timer_->SetTimerEventHandler(nullptr);
    timer_->SetTimerUpdateHandler(nullptr, UI_ANIMATION_IDLE_BEHAVIOR_DISABLE);
    initialized_ = false;
  }
}

uint32_t TzAnimationManagerImpl::TakeId() {
  uint32_t id = next_id_.Next();
  // After a wrap an old repeating animation may still hold a low id.
  while (running_v1_.count(id) || running_v2_.count(id)) id = next_id_.Next();
  return id;
}

tz::ComPtr<IUIAnimationTransition> TzAnimationManagerImpl::MakeCubicTransitionV1(
    const TzAnimationRequest& request) {
  tz::ComPtr<IUIAnimationTransition> transition;
  if (factory_) {
    tz::ComPtr<TzCubicBezierInterpolator> interpolator;
    interpolator.Attach(new TzCubicBezierInterpolator());
    interpolator->SetDuration(request.duration);
    interpolator->SetSampleCount(1000);
    interpolator->SetControlPoints(request.points);
    interpolator->BuildTable();  // once per animation, so a frame costs one table lookup
    factory_->CreateTransition(interpolator.Get(), transition.Put());
  } else {
    const TzCubicFit fit = TzFitCubicToBezier(request.points);
    library_v1_->CreateCubicTransition(request.duration, 1.0, fit.end_slope, transition.Put());
  }
  return transition;
}

template <typename Manager, typename Transition, typename Map>
uint32_t TzAnimationManagerImpl::Schedule(Manager* manager, Transition* transition,
                                          double initial_value, bool bounded, bool repeat,
                                          TzAnimationValueCallback callback, void* context,
                                          Map& running) {
  if (!transition) return 0;
  typename Map::mapped_type entry;
  entry.repeat = repeat;
  entry.context = context;
  entry.callback = callback;
  if (FAILED(manager->CreateAnimationVariable(initial_value, entry.variable.Put())) ||
      FAILED(manager->CreateStoryboard(entry.storyboard.Put())) || !entry.variable ||
      !entry.storyboard) {
    return 0;
  }
  auto* variable = entry.variable.Get();
  auto* storyboard = entry.storyboard.Get();
  if (bounded && (FAILED(variable->SetLowerBound(0.0)) || FAILED(variable->SetUpperBound(1.0)))) {
    return 0;
  }
  if (FAILED(storyboard->AddTransition(variable, transition))) return 0;
  if (repeat) {
    UI_ANIMATION_KEYFRAME end = nullptr;
    if (FAILED(storyboard->AddKeyframeAfterTransition(transition, &end)) ||
        FAILED(RepeatIndefinitely(storyboard, end))) {
      return 0;
    }
  }
  double now = 0.0;
  UI_ANIMATION_SCHEDULING_RESULT result = UI_ANIMATION_SCHEDULING_UNEXPECTED_FAILURE;
  if (FAILED(timer_->GetTime(&now)) || FAILED(storyboard->Schedule(now, &result)) ||
      (result != UI_ANIMATION_SCHEDULING_SUCCEEDED && result != UI_ANIMATION_SCHEDULING_DEFERRED)) {
    return 0;
  }
  const uint32_t id = TakeId();
  running.emplace(id, std::move(entry));
  return id;
}

uint32_t TzAnimationManagerImpl::Start(const TzAnimationRequest& request,
                                       TzAnimationValueCallback callback, void* context) {
  if (!initialized_) return 0;
  const TzCubicBezierPoints& p = request.points;
  if (version2_) {
    tz::ComPtr<IUIAnimationTransition2> transition;
    if (FAILED(library_v2_->CreateCubicBezierLinearTransition(request.duration, 1.0, p.x1, p.y1,
                                                              p.x2, p.y2, transition.Put()))) {
      return 0;
    }
    return Schedule(manager_v2_.Get(), transition.Get(), 0.0, true, request.repeat, callback,
                    context, running_v2_);
  }
  const tz::ComPtr<IUIAnimationTransition> transition = MakeCubicTransitionV1(request);
  return Schedule(manager_v1_.Get(), transition.Get(), 0.0, true, request.repeat, callback,
                  context, running_v1_);
}

uint32_t TzAnimationManagerImpl::StartLinear(const TzLinearAnimationRequest& request,
                                             TzAnimationValueCallback callback, void* context) {
  if (!initialized_) return 0;
  if (version2_) {
    tz::ComPtr<IUIAnimationTransition2> transition;
    if (FAILED(library_v2_->CreateLinearTransition(request.duration, request.final_value,
                                                   transition.Put()))) {
      return 0;
    }
    return Schedule(manager_v2_.Get(), transition.Get(), request.initial_value, false,
                    request.repeat, callback, context, running_v2_);
  }
  tz::ComPtr<IUIAnimationTransition> transition;
  if (FAILED(library_v1_->CreateLinearTransition(request.duration, request.final_value,
                                                 transition.Put()))) {
    return 0;
  }
  return Schedule(manager_v1_.Get(), transition.Get(), request.initial_value, false,
                  request.repeat, callback, context, running_v1_);
}

bool TzAnimationManagerImpl::Stop(uint32_t id) {
  return version2_ ? StopIn(running_v2_, id) : StopIn(running_v1_, id);
}

HRESULT TzAnimationManagerImpl::OnPostUpdate() {
  if (version2_) {
    DeliverValues(running_v2_);
  } else {
    DeliverValues(running_v1_);
  }
  return S_OK;
}

TzAnimationManager* GetAnimationManager() {
  // One per process, on the window's thread; a failed attempt leaves nothing behind.
  static TzAnimationManagerImpl* instance = nullptr;
  if (instance) return instance;
  auto* manager = new TzAnimationManagerImpl();
  if (!manager->Initialize()) {
    manager->Release();
    return nullptr;
  }
  instance = manager;
  return instance;
}
