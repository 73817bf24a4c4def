#pragma once
// Animations of one value from a start to an end on the Windows Animation Manager, delivered to a
// callback on the thread that created the manager (the window's thread). Windows 8 and later
// bring a cubic-bezier transition; Windows 7 gets our interpolator through the transition factory,
// or a cubic fitted to the curve where no factory exists. Where the components are missing (Wine
// among them) there is no manager and callers change their state at once.
#include <uianimation.h>

#include <cstdint>
#include <functional>
#include <map>

#include "platform/handles.h"
#include "ui/cubic_bezier.h"
#include "ui/unknown_base.h"

// From 0 to 1 along a cubic-bezier curve.
struct TzAnimationRequest {
  bool repeat = false;
  double duration = 1.0;  // seconds
  TzCubicBezierPoints points;
};

struct TzLinearAnimationRequest {
  bool repeat = false;
  double duration = 1.0;  // seconds
  double initial_value = 0.0;
  double final_value = 1.0;
};

// Called for every update while the animation plays, and once more with the final value when it
// has run to its end.
using TzAnimationValueCallback = void (*)(double value, void* context);

class TzAnimationManager {
 public:
  virtual ~TzAnimationManager() = default;
  // The new animation's id, or 0 when it could not be scheduled.
  virtual uint32_t Start(const TzAnimationRequest& request, TzAnimationValueCallback callback,
                         void* context) = 0;
  virtual uint32_t StartLinear(const TzLinearAnimationRequest& request,
                               TzAnimationValueCallback callback, void* context) = 0;
  // False when the id is not running (never started, stopped, or already at its end).
  virtual bool Stop(uint32_t id) = 0;
};

// The process-wide manager, created on first use on the window's thread; empty when the system
// has no usable animation components (a later call tries again).
TzAnimationManager* GetAnimationManager();

// Animation ids: 1 ... 2^32 - 2, then 1 again; 0 and 2^32 - 1 are never handed out.
class TzAnimationIdCounter {
 public:
  explicit TzAnimationIdCounter(uint32_t last = 0) : last_(last) {}
  uint32_t Next() {
    last_ = (last_ >= 0xFFFFFFFEu) ? 1u : last_ + 1u;
    return last_;
  }

 private:
  uint32_t last_;
};

// Creates a COM object by class id (an in-process server); replaceable so the manager's logic can
// run against stand-in components.
using TzComCreator = std::function<HRESULT(REFCLSID clsid, REFIID iid, void** out)>;

class TzAnimationManagerImpl final
    : public TzUnknownBase<IUIAnimationTimerEventHandler, TzAnimationManagerImpl>,
      public TzAnimationManager {
 public:
  explicit TzAnimationManagerImpl(TzComCreator create = {});

  // Creates the components and connects the timer. False when no usable set exists.
  bool Initialize();
  bool IsVersion2() const { return version2_; }
  // Disconnects the timer and abandons every animation, so the timer's reference to this object
  // goes and the object can be released.
  void Shutdown();

  uint32_t Start(const TzAnimationRequest& request, TzAnimationValueCallback callback,
                 void* context) override;
  uint32_t StartLinear(const TzLinearAnimationRequest& request, TzAnimationValueCallback callback,
                       void* context) override;
  bool Stop(uint32_t id) override;
  size_t RunningCount() const { return running_v1_.size() + running_v2_.size(); }

  HRESULT STDMETHODCALLTYPE OnPreUpdate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPostUpdate() override;
  HRESULT STDMETHODCALLTYPE OnRenderingTooSlow(UINT32) override { return S_OK; }

  template <typename Storyboard, typename Variable>
  struct Entry {
    bool repeat = false;
    void* context = nullptr;
    tz::ComPtr<Storyboard> storyboard;
    tz::ComPtr<Variable> variable;
    TzAnimationValueCallback callback = nullptr;
  };

 private:
  friend class TzUnknownBase<IUIAnimationTimerEventHandler, TzAnimationManagerImpl>;
  ~TzAnimationManagerImpl() override;

  template <typename T>
  HRESULT Create(REFCLSID clsid, tz::ComPtr<T>& out);
  bool FindComponents(tz::ComPtr<IUIAnimationTimerUpdateHandler>& update);
  void ReleaseComponents();
  tz::ComPtr<IUIAnimationTransition> MakeCubicTransitionV1(const TzAnimationRequest& request);
  template <typename Manager, typename Transition, typename Map>
  uint32_t Schedule(Manager* manager, Transition* transition, double initial_value, bool bounded,
                    bool repeat, TzAnimationValueCallback callback, void* context, Map& running);
  uint32_t TakeId();

  using EntryV1 = Entry<IUIAnimationStoryboard, IUIAnimationVariable>;
  using EntryV2 = Entry<IUIAnimationStoryboard2, IUIAnimationVariable2>;

  TzComCreator create_;
  bool version2_ = false;
  tz::ComPtr<IUIAnimationTimer> timer_;
  tz::ComPtr<IUIAnimationManager> manager_v1_;
  tz::ComPtr<IUIAnimationTransitionLibrary> library_v1_;
  tz::ComPtr<IUIAnimationTransitionFactory> factory_;
  tz::ComPtr<IUIAnimationManager2> manager_v2_;
  tz::ComPtr<IUIAnimationTransitionLibrary2> library_v2_;
  std::map<uint32_t, EntryV1> running_v1_;
  std::map<uint32_t, EntryV2> running_v2_;
  TzAnimationIdCounter next_id_;
  bool com_initialized_here_ = false;
  bool initialized_ = false;
};
