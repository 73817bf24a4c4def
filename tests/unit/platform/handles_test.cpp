// Resource owners: each closes exactly once, a move hands ownership over, closing keeps the last error.
#include "platform/handles.h"

#include <objidl.h>

#include <gtest/gtest.h>

namespace tz {
namespace {

bool IsOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

TEST(HandlesTest, OwnerClosesOnceAndKeepsLastError) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    UniqueHandle third;
    third = std::move(second);
    EXPECT_TRUE(IsOpen(raw));
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(IsOpen(raw));
  // A failed CreateFileW gives INVALID_HANDLE_VALUE: the file owner is empty, not holding it.
  EXPECT_FALSE(UniqueFileHandle(CreateFileW(L"Z:\\tz\\none", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_EQ(UniqueFileHandle().Get(), INVALID_HANDLE_VALUE);
}

TEST(HandlesTest, ComPtrCountsReferences) {
  IStream* raw = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &raw), S_OK);
  ComPtr<IStream> owner;
  owner.Attach(raw);  // takes over the creation reference
  {
    ComPtr<IStream> copy = owner;
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(owner.As(unknown), S_OK);
    EXPECT_EQ(raw->AddRef(), 4u);
    raw->Release();
  }
  ComPtr<IStream> moved(std::move(owner));
  EXPECT_FALSE(owner);
  EXPECT_EQ(raw->AddRef(), 2u);
  raw->Release();
}

}  // namespace
}  // namespace tz
