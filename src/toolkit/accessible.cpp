#include "toolkit/accessible.h"

#include <oleacc.h>

#include <vector>

#include "toolkit/paint_manager.h"
#include "toolkit/system_library.h"

namespace tzui {

namespace {

bool EffectivelyVisible(const CControlUI* control) {
  for (const CControlUI* c = control; c; c = c->GetParent())
    if (!c->IsVisible()) return false;
  return true;
}

LONG RoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kStaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::kPushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::kCheckButton: return ROLE_SYSTEM_CHECKBUTTON;
    case AccessibleRole::kProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::kText: return ROLE_SYSTEM_TEXT;
    case AccessibleRole::kGraphic: return ROLE_SYSTEM_GRAPHIC;
    case AccessibleRole::kGrouping: return ROLE_SYSTEM_GROUPING;
    case AccessibleRole::kNone: break;
  }
  return ROLE_SYSTEM_CLIENT;
}

BSTR ToBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

class CAccessibleWindow final : public IAccessible {
 public:
  CAccessibleWindow(CPaintManagerUI* manager, HWND window) : manager_(manager), window_(window) {}

  void Disconnect() { manager_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: screen readers use the vtable.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  STDMETHODIMP get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!manager_) return RPC_E_DISCONNECTED;
    using CreateStd = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    auto create = SystemProc<CreateStd>(L"oleacc.dll", "CreateStdAccessibleObject");
    if (!create) return S_FALSE;
    return create(window_, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  }
  STDMETHODIMP get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    if (!manager_) return RPC_E_DISCONNECTED;
    *count = static_cast<long>(Children().size());
    return S_OK;
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!manager_) return RPC_E_DISCONNECTED;
    // Children are simple elements addressed by id.
    return Child(child) ? S_FALSE : E_INVALIDARG;
  }
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (!manager_) return RPC_E_DISCONNECTED;
    if (IsSelf(child)) {
      wchar_t title[256] = {};
      GetWindowTextW(window_, title, 256);
      *name = SysAllocString(title);
      return S_OK;
    }
    CControlUI* control = Child(child);
    if (!control) return E_INVALIDARG;
    *name = ToBstr(control->GetAccessibleName());
    return S_OK;
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!manager_) return RPC_E_DISCONNECTED;
    CControlUI* control = IsSelf(child) ? nullptr : Child(child);
    if (!control) return IsSelf(child) ? S_FALSE : E_INVALIDARG;
    const std::wstring text = control->GetAccessibleValue();
    if (text.empty()) return S_FALSE;
    *value = ToBstr(text);
    return S_OK;
  }
  STDMETHODIMP get_accDescription(VARIANT, BSTR* text) override {
    if (text) *text = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    VariantInit(role);
    if (!manager_) return RPC_E_DISCONNECTED;
    role->vt = VT_I4;
    if (IsSelf(child)) {
      role->lVal = ROLE_SYSTEM_DIALOG;
      return S_OK;
    }
    CControlUI* control = Child(child);
    if (!control) return E_INVALIDARG;
    role->lVal = RoleOf(control->GetAccessibleRole());
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    if (!manager_) return RPC_E_DISCONNECTED;
    state->vt = VT_I4;
    if (IsSelf(child)) {
      state->lVal = STATE_SYSTEM_FOCUSABLE | (GetFocus() == window_ ? STATE_SYSTEM_FOCUSED : 0);
      return S_OK;
    }
    CControlUI* control = Child(child);
    if (!control) return E_INVALIDARG;
    long s = 0;
    if (!control->IsEnabled()) s |= STATE_SYSTEM_UNAVAILABLE;
    if (control->IsKeyboardFocusable()) s |= STATE_SYSTEM_FOCUSABLE;
    if (control->IsFocused()) s |= STATE_SYSTEM_FOCUSED;
    if (control->IsChecked()) s |= STATE_SYSTEM_CHECKED;
    if (manager_->GetHot() == control) s |= STATE_SYSTEM_HOTTRACKED;
    const AccessibleRole role = control->GetAccessibleRole();
    if (role == AccessibleRole::kStaticText || role == AccessibleRole::kProgressBar || role == AccessibleRole::kText)
      s |= STATE_SYSTEM_READONLY;
    state->lVal = s;
    return S_OK;
  }
  STDMETHODIMP get_accHelp(VARIANT, BSTR* help) override {
    if (help) *help = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return S_FALSE;
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
    if (shortcut) *shortcut = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    if (!manager_) return RPC_E_DISCONNECTED;
    if (GetForegroundWindow() != window_ && GetFocus() != window_) return S_FALSE;
    focus->vt = VT_I4;
    focus->lVal = CHILDID_SELF;
    const auto children = Children();
    for (size_t i = 0; i < children.size(); ++i)
      if (children[i] == manager_->GetFocus()) focus->lVal = static_cast<long>(i + 1);
    return S_OK;
  }
  STDMETHODIMP get_accSelection(VARIANT* selection) override {
    if (selection) VariantInit(selection);
    return S_FALSE;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    if (!manager_) return RPC_E_DISCONNECTED;
    CControlUI* control = IsSelf(child) ? nullptr : Child(child);
    if (!control) return IsSelf(child) ? S_FALSE : E_INVALIDARG;
    switch (control->GetAccessibleRole()) {
      case AccessibleRole::kPushButton: *action = SysAllocString(L"Press"); return S_OK;
      case AccessibleRole::kCheckButton:
        *action = SysAllocString(control->IsChecked() ? L"Uncheck" : L"Check");
        return S_OK;
      default: return S_FALSE;
    }
  }
  STDMETHODIMP accSelect(long flags, VARIANT child) override {
    if (!manager_) return RPC_E_DISCONNECTED;
    CControlUI* control = Child(child);
    if (!control) return E_INVALIDARG;
    if (!(flags & SELFLAG_TAKEFOCUS) || !control->IsKeyboardFocusable()) return S_FALSE;
    manager_->SetFocus(control);
    return S_OK;
  }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    if (!manager_) return RPC_E_DISCONNECTED;
    RECT rc{};
    if (IsSelf(child)) {
      GetClientRect(window_, &rc);
    } else {
      CControlUI* control = Child(child);
      if (!control) return E_INVALIDARG;
      rc = control->GetPos();
    }
    POINT origin{rc.left, rc.top};
    ClientToScreen(window_, &origin);
    *left = origin.x;
    *top = origin.y;
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    return S_OK;
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    VariantInit(end);
    if (!manager_) return RPC_E_DISCONNECTED;
    const long count = static_cast<long>(Children().size());
    long target = 0;
    if (IsSelf(start)) {
      if (direction == NAVDIR_FIRSTCHILD) target = count > 0 ? 1 : 0;
      else if (direction == NAVDIR_LASTCHILD) target = count;
      else return S_FALSE;
    } else {
      if (!Child(start)) return E_INVALIDARG;
      const long at = start.lVal;
      if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) target = at + 1;
      else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) target = at - 1;
      else return S_FALSE;
    }
    if (target < 1 || target > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = target;
    return S_OK;
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    VariantInit(hit);
    if (!manager_) return RPC_E_DISCONNECTED;
    POINT pt{x, y};
    ScreenToClient(window_, &pt);
    RECT client{};
    GetClientRect(window_, &client);
    if (!PtInRect(&client, pt)) return S_FALSE;
    hit->vt = VT_I4;
    hit->lVal = CHILDID_SELF;
    const auto children = Children();
    for (size_t i = 0; i < children.size(); ++i) {
      const RECT& rc = children[i]->GetPos();
      if (PtInRect(&rc, pt)) hit->lVal = static_cast<long>(i + 1);
    }
    return S_OK;
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) override {
    if (!manager_) return RPC_E_DISCONNECTED;
    CControlUI* control = Child(child);
    if (!control) return E_INVALIDARG;
    if (!control->IsEnabled()) return S_FALSE;
    control->Activate();
    return S_OK;
  }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~CAccessibleWindow() = default;

  static bool IsSelf(const VARIANT& v) { return v.vt == VT_I4 && v.lVal == CHILDID_SELF; }

  std::vector<CControlUI*> Children() const {
    std::vector<CControlUI*> all, out;
    CControlUI* root = manager_ ? manager_->GetRoot() : nullptr;
    if (!root) return out;
    if (CContainerUI* container = root->AsContainer()) container->CollectControls(all);
    else all.push_back(root);
    for (CControlUI* c : all)
      if (c->GetAccessibleRole() != AccessibleRole::kNone && EffectivelyVisible(c)) out.push_back(c);
    return out;
  }

  CControlUI* Child(const VARIANT& v) const {
    if (v.vt != VT_I4 || v.lVal < 1) return nullptr;
    const auto children = Children();
    return static_cast<size_t>(v.lVal) <= children.size() ? children[static_cast<size_t>(v.lVal - 1)] : nullptr;
  }

  LONG refs_ = 1;
  CPaintManagerUI* manager_;
  HWND window_;
};

}  // namespace

bool AnswerGetObject(CPaintManagerUI& manager, HWND window, WPARAM wParam, LPARAM lParam, void*& holder,
                     LRESULT& result) {
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) return false;
  using FromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  auto from_object = SystemProc<FromObject>(L"oleacc.dll", "LresultFromObject");
  if (!from_object) return false;
  if (!holder) holder = new CAccessibleWindow(&manager, window);
  result = from_object(IID_IAccessible, wParam, static_cast<IAccessible*>(static_cast<CAccessibleWindow*>(holder)));
  return true;
}

void DisconnectAccessible(void* holder) {
  if (holder) static_cast<CAccessibleWindow*>(holder)->Disconnect();
}

void ReleaseAccessible(void*& holder) {
  if (holder) static_cast<CAccessibleWindow*>(holder)->Release();
  holder = nullptr;
}

}  // namespace tzui
