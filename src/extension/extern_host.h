#pragma once
// The installer's host services for extension modules: the one IExternHost implementation.
// It keeps no state of its own; every operation reads or writes the stores that own the data and
// holds no lock across its calls into them.
#include "extension/sdk/tz_extension.h"

class CExternHost_Impl : public IExternHost {
 public:
  CExternHost_Impl() = default;  // starts with one reference, the creator's
  virtual ~CExternHost_Impl() = default;
  CExternHost_Impl(const CExternHost_Impl&) = delete;
  CExternHost_Impl& operator=(const CExternHost_Impl&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetPath(int kind, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE GetMode(int kind, int* value) override;
  HRESULT STDMETHODCALLTYPE EvaluateCondition(UINT id, BYTE* value) override;
  HRESULT STDMETHODCALLTYPE GetVariable(LPCWSTR name, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE RunAction(UINT id, int* result) override;
  HRESULT STDMETHODCALLTYPE LogMessage(int level, LPCWSTR prefix, LPCWSTR text) override;
  HRESULT STDMETHODCALLTYPE SetPath(int kind, LPCWSTR text) override;
  HRESULT STDMETHODCALLTYPE SetMode(int kind, BOOL flag) override;

 private:
  volatile LONG refs_ = 1;
};
