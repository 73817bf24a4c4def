#pragma once
// COM for the calling thread: joins whatever apartment the thread has, and leaves only what it
// entered itself (a failed CoInitializeEx, such as a changed mode, is not balanced).
#include <objbase.h>

namespace tz {

class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace tz
