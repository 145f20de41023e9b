// ComPtr, Bstr and Variant against the COM calls themselves: reference
// counts as the object reports them, strings as OLE Automation measures them.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "com_ptr.h"

namespace ssi::test {
namespace {

// The object's own count, as AddRef and Release return it.
ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// A real COM object (an IStream on memory) with one reference of the test's
// own; each owner is given a reference of its own to manage.
class ComPtrTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &raw_), S_OK); }
  void TearDown() override { EXPECT_EQ(raw_->Release(), 0u); }
  ComPtr<IStream> NewOwner() {
    raw_->AddRef();
    return ComPtr<IStream>::Adopt(raw_);
  }
  IStream* raw_ = nullptr;
};

TEST_F(ComPtrTest, AdoptTakesOverAReferenceAndReleasesItOnce) {
  {
    const ComPtr<IStream> owner = NewOwner();
    EXPECT_EQ(RefCount(raw_), 2u);  // no AddRef of its own on adoption
  }
  EXPECT_EQ(RefCount(raw_), 1u);
}

TEST_F(ComPtrTest, MoveKeepsOneReferenceAndResetReleasesTheOldOne) {
  ComPtr<IStream> first = NewOwner();
  ComPtr<IStream> second(std::move(first));
  EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the point of the test
  ComPtr<IStream> third;
  third = std::move(second);
  EXPECT_FALSE(second);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(third.get(), raw_);
  EXPECT_EQ(RefCount(raw_), 2u);
  third.Reset();
  EXPECT_FALSE(third);
  EXPECT_EQ(RefCount(raw_), 1u);
}

TEST_F(ComPtrTest, DetachHandsTheReferenceBack) {
  ComPtr<IStream> owner = NewOwner();
  IStream* back = owner.Detach();
  EXPECT_EQ(back, raw_);
  EXPECT_FALSE(owner);
  EXPECT_EQ(RefCount(raw_), 2u);
  EXPECT_EQ(back->Release(), 1u);
}

TEST_F(ComPtrTest, QueryIntoAddsTheReferenceTheQueryGave) {
  const ComPtr<IStream> owner = NewOwner();
  {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(owner.QueryInto(IID_IUnknown, unknown), S_OK);
    EXPECT_TRUE(unknown);
    EXPECT_EQ(RefCount(raw_), 3u);
    ComPtr<IPersistStream> missing;
    EXPECT_EQ(owner.QueryInto(IID_IPersistStream, missing), E_NOINTERFACE);
    EXPECT_FALSE(missing);
  }
  EXPECT_EQ(RefCount(raw_), 2u);
  const ComPtr<IStream> empty;
  ComPtr<IUnknown> out;
  EXPECT_EQ(empty.QueryInto(IID_IUnknown, out), E_POINTER);
}

TEST(Bstr, FromAnsiMatchesTheSystemConversion) {
  // Windows-1252 bytes, as the installer's texts are: e with acute, the
  // copyright sign, a plain space.
  const std::string text = "Caf\xE9 \xA9";
  const Bstr converted = Bstr::FromAnsi(text);
  wchar_t expected[16] = {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), expected, 16);
  ASSERT_EQ(SysStringLen(converted.get()), static_cast<UINT>(n));
  EXPECT_EQ(std::wstring(converted.get(), SysStringLen(converted.get())),
            std::wstring(expected, static_cast<size_t>(n)));
  EXPECT_EQ(std::wstring(converted.get()), L"Caf\u00e9 \u00a9");

  const Bstr empty = Bstr::FromAnsi("");
  ASSERT_NE(empty.get(), nullptr);  // an empty BSTR, not a null one
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(Bstr, AdoptAndMoveKeepOneOwner) {
  Bstr owner;
  owner.Adopt(SysAllocString(L"first"));
  owner.Adopt(SysAllocString(L"second"));  // frees "first"
  EXPECT_EQ(std::wstring(owner.get()), L"second");
  Bstr moved(std::move(owner));
  EXPECT_EQ(owner.get(), nullptr);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(std::wstring(moved.get()), L"second");
}

TEST(Variant, StartsEmptyAndClearsWhatItHolds) {
  Variant v;
  EXPECT_EQ(v.value().vt, VT_EMPTY);
  V_VT(v.get()) = VT_BSTR;
  V_BSTR(v.get()) = SysAllocString(L"held");
  EXPECT_EQ(SysStringLen(V_BSTR(v.get())), 4u);
  // The destructor's VariantClear frees the string; a leak would only show
  // in a heap checker, so this test keeps to the type it reports.
  EXPECT_EQ(v.value().vt, VT_BSTR);
}

}  // namespace
}  // namespace ssi::test
