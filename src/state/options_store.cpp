#include "state/options_store.h"

#include <oleauto.h>

#include <new>

COptionsStore::COptionsStore() {
  SetBool(OPT_SILENT, false);
  SetBool(OPT_OVERWRITE, false);
}

COptionsStore::~COptionsStore() {
  for (auto& kv : values_) VariantClear(&kv.second);
}

void COptionsStore::SetOption(int id, const VARIANT& value) {
  VARIANT copy;
  VariantInit(&copy);
  if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&value)))) throw std::bad_alloc();
  tz::ScopedLock lock(lock_);
  auto it = values_.find(id);
  if (it != values_.end()) {
    VariantClear(&it->second);
    it->second = copy;
  } else {
    values_.emplace(id, copy);
  }
}

bool COptionsStore::GetOption(int id, VARIANT* out) {
  tz::ScopedLock lock(lock_);
  auto it = values_.find(id);
  if (it == values_.end()) return false;
  VariantClear(out);
  if (FAILED(VariantCopy(out, &it->second))) throw std::bad_alloc();
  return true;
}

bool COptionsStore::GetOptionText(int id, std::wstring& out) {
  tz::ScopedLock lock(lock_);
  auto it = values_.find(id);
  if (it == values_.end() || it->second.vt != VT_BSTR) return false;
  const BSTR b = it->second.bstrVal;
  out.assign(b ? b : L"", b ? SysStringLen(b) : 0);
  return true;
}

void COptionsStore::SetText(int id, const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!v.bstrVal) throw std::bad_alloc();
  SetOption(id, v);
  VariantClear(&v);
}

void COptionsStore::SetBool(int id, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  SetOption(id, v);
}

void COptionsStore::SetUInt64(int id, unsigned long long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UI8;
  v.ullVal = value;
  SetOption(id, v);
}

bool COptionsStore::IsTrue(int id) {
  tz::ScopedLock lock(lock_);
  auto it = values_.find(id);
  return it != values_.end() && it->second.vt == VT_BOOL && it->second.boolVal == VARIANT_TRUE;
}

bool COptionsStore::Has(int id) {
  tz::ScopedLock lock(lock_);
  return values_.count(id) != 0;
}
