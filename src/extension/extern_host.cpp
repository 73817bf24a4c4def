// Host services handed to every extension module call.
#include "extension/extern_host.h"

#include <string>

#include "actions/action_man.h"
#include "diag/install_log.h"
#include "script/run_context.h"

namespace {

// Strings go out as BSTRs the module frees. A failed allocation is reported as E_OUTOFMEMORY
// rather than thrown: an exception must not unwind through the module's frames.
HRESULT CopyOut(const std::wstring& text, BSTR* out) {
  BSTR copy = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
  if (!copy) return E_OUTOFMEMORY;
  *out = copy;
  return S_OK;
}

int OptionOfMode(int kind) {
  switch (kind) {
    case TZ_HOST_SILENT:
      return OPT_SILENT;
    case TZ_HOST_OVERWRITE:
      return OPT_OVERWRITE;
    default:
      return -1;
  }
}

}  // namespace

HRESULT STDMETHODCALLTYPE CExternHost_Impl::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IExternHost)) {
    *object = static_cast<IExternHost*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CExternHost_Impl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG STDMETHODCALLTYPE CExternHost_Impl::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::GetPath(int kind, BSTR* value) {
  if (!value) return E_INVALIDARG;
  if (kind == TZ_HOST_INSTDIR) {
    VARIANT v;
    VariantInit(&v);
    if (!run_.options.GetOption(OPT_INSTDIR, &v)) return E_FAIL;
    std::wstring text;
    if (v.vt == VT_BSTR && v.bstrVal) text = v.bstrVal;
    const bool null_string = v.vt == VT_BSTR && !v.bstrVal;
    VariantClear(&v);
    if (null_string) {
      *value = nullptr;
      return S_OK;
    }
    return CopyOut(text, value);
  }
  if (kind == TZ_HOST_INSTALLER_PATH) {
    std::wstring path;
    if (!run_.info.GetInfoText(II_PATH, path) || path.empty()) return E_FAIL;
    return CopyOut(path, value);
  }
  return E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::GetMode(int kind, int* value) {
  if (!value) return E_INVALIDARG;
  const int option = OptionOfMode(kind);
  if (option < 0) return E_INVALIDARG;
  if (!run_.options.Has(option)) return E_FAIL;
  *value = run_.options.IsTrue(option) ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::EvaluateCondition(UINT id, BYTE* value) {
  const bool outcome = conditions_.Evaluate(id);
  if (value) *value = outcome ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::GetVariable(LPCWSTR name, BSTR* value) {
  std::wstring found;
  if (!name || !run_.variables.GetVariable(name, found)) return E_FAIL;
  if (!value) return S_OK;
  return CopyOut(found, value);
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::RunAction(UINT id, int* result) {
  const int outcome = actions_.Execute(id);
  if (result) *result = outcome;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::LogMessage(int level, LPCWSTR prefix, LPCWSTR text) {
  // Levels are 0 to 3; a negative one is as invalid as 4.
  if (level < TZ_LOG_INFO || level > TZ_LOG_ERROR_ALT) return E_INVALIDARG;
  std::wstring entry;
  if (prefix) entry += prefix;
  if (text) entry += text;
  const int log_level = level == TZ_LOG_INFO ? LOG_INFO : level == TZ_LOG_WARNING ? LOG_WARNING : LOG_ERROR;
  GetLog().Write(log_level, entry);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::SetPath(int kind, LPCWSTR text) {
  if (kind != TZ_HOST_INSTDIR || !text || !*text) return E_FAIL;
  GetLog().Info(L"[ext]Set inst dir to %s", text);
  run_.options.SetText(OPT_INSTDIR, text);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CExternHost_Impl::SetMode(int kind, BOOL flag) {
  const int option = OptionOfMode(kind);
  if (option < 0) return E_FAIL;
  run_.options.SetBool(option, flag != FALSE);
  return S_OK;
}
