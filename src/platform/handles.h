#pragma once
// Owners for Win32 resources. Each kind names its own empty value, so a NULL handle and
// INVALID_HANDLE_VALUE are never confused. Move-only (the COM pointer counts references);
// releasing keeps the thread's last error, so a caller can still read why the step failed.
#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

#include <utility>

namespace tz {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Type value) noexcept : value_(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type Get() const noexcept { return value_; }
  bool IsValid() const noexcept { return value_ != Traits::Empty(); }
  explicit operator bool() const noexcept { return IsValid(); }

  // Gives up ownership without closing.
  Type Release() noexcept { return std::exchange(value_, Traits::Empty()); }

  void Reset(Type value = Traits::Empty()) noexcept {
    const Type old = std::exchange(value_, value);
    if (old != Traits::Empty()) {
      const DWORD error = GetLastError();
      Traits::Close(old);
      SetLastError(error);
    }
  }

  // For APIs that return the resource through a pointer: releases the current one first.
  Type* Put() noexcept {
    Reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Empty();
};

namespace handle_traits {

struct Handle {  // process, thread, token, event, mutex, file mapping: NULL when empty
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandle {  // CreateFileW, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE when empty
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct Hkey {  // only keys we opened or created, never a predefined root
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};
struct Hmodule {  // LoadLibraryW; not for GetModuleHandleW, which adds no reference
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};
struct Find {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct MapView {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static void Close(Type p) { UnmapViewOfFile(p); }
};
template <typename T>
struct CoTaskMem {
  using Type = T*;
  static Type Empty() { return nullptr; }
  static void Close(Type p) { CoTaskMemFree(p); }
};
template <typename T>
struct LocalMem {  // ConvertStringSidToSidW, FormatMessageW with ALLOCATE_BUFFER, CommandLineToArgvW
  using Type = T;
  static Type Empty() { return nullptr; }
  static void Close(Type p) { LocalFree(reinterpret_cast<HLOCAL>(p)); }
};
struct Bstr {
  using Type = BSTR;
  static Type Empty() { return nullptr; }
  static void Close(Type s) { SysFreeString(s); }
};
struct ServiceHandle {
  using Type = SC_HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { CloseServiceHandle(h); }
};

}  // namespace handle_traits

using UniqueHandle = UniqueResource<handle_traits::Handle>;
using UniqueFileHandle = UniqueResource<handle_traits::FileHandle>;
using UniqueHkey = UniqueResource<handle_traits::Hkey>;
using UniqueHmodule = UniqueResource<handle_traits::Hmodule>;
using UniqueFindHandle = UniqueResource<handle_traits::Find>;
using UniqueMapView = UniqueResource<handle_traits::MapView>;
template <typename T = void>
using UniqueCoTaskMem = UniqueResource<handle_traits::CoTaskMem<T>>;
template <typename T = HLOCAL>
using UniqueLocalMem = UniqueResource<handle_traits::LocalMem<T>>;
using UniqueBstr = UniqueResource<handle_traits::Bstr>;
using UniqueServiceHandle = UniqueResource<handle_traits::ServiceHandle>;

// Reference-counting owner of a COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  explicit ComPtr(T* p) noexcept : p_(p) {  // adds a reference; use Attach to take one over
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void Reset() noexcept {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  // Takes over a reference the caller already owns (a factory's result).
  void Attach(T* p) noexcept {
    Reset();
    p_ = p;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  // For out-parameters (CoCreateInstance, QueryInterface): releases the current pointer first.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  template <typename U>
  HRESULT As(ComPtr<U>& out) const noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(U), out.PutVoid());
  }

  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace tz
