#pragma once
// IUnknown for an object that implements one COM interface. The count is a plain integer: these
// objects live on the window's thread only (the animation components call back on it).
#include <windows.h>
#include <objbase.h>

template <typename Interface, typename Impl>
class TzUnknownBase : public Interface {
 public:
  TzUnknownBase(const TzUnknownBase&) = delete;
  TzUnknownBase& operator=(const TzUnknownBase&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Impl*>(this);
    return left;
  }

 protected:
  // The creator holds the first reference.
  TzUnknownBase() = default;
  ~TzUnknownBase() = default;

 private:
  ULONG references_ = 1;
};
