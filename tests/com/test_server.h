// The test server's class "LyrComTest.Adder" and its interface IAdder.
#pragma once

#include "lyr/com/com.h"

namespace lyr::test {

inline constexpr CLSID kAdderClsid = {
    0x6F1B2C3D, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
inline constexpr IID kAdderIid = {
    0x6F1B2C3E, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
inline constexpr char kAdderProgId[] = "LyrComTest.Adder";

struct IAdder : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) = 0;  // *sum = a + b
};

}  // namespace lyr::test
