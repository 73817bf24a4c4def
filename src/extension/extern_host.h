#pragma once
// The installer's host services for extension modules: the one IExternHost implementation.
// It keeps no state of its own; every operation reads or writes the run's stores (handed over by the
// composition root) and holds no lock across its calls into them.
#include "extension/sdk/tz_extension.h"

class CActionMan;
class CConditionEvaluator;
class RunContext;

class CExternHost_Impl : public IExternHost {
 public:
  // Starts with one reference, the creator's.
  CExternHost_Impl(RunContext& run, CConditionEvaluator& conditions, CActionMan& actions)
      : run_(run), conditions_(conditions), actions_(actions) {}
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
  RunContext& run_;
  CConditionEvaluator& conditions_;
  CActionMan& actions_;
  volatile LONG refs_ = 1;
};
