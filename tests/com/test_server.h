// The test server's class and interface: one creatable class "LyrComTest.Adder" with IAdder.
#pragma once

#include "lyr/com/com.h"

namespace lyr::test {

// {6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}
inline constexpr CLSID kAdderClsid = {
    0x6F1B2C3D, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
// {6F1B2C3E-4E5F-4A6B-8C7D-9E0F1A2B3C4D}
inline constexpr IID kAdderIid = {
    0x6F1B2C3E, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
inline constexpr char kAdderProgId[] = "LyrComTest.Adder";

struct IAdder : public IUnknown {
  // *sum = a + b.
  virtual HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) = 0;
  // *joined = a followed by b, byte for byte.
  virtual HRESULT STDMETHODCALLTYPE Concat(BSTR a, BSTR b, BSTR* joined) = 0;
};

}  // namespace lyr::test
