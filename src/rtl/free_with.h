// The owner template for C handles: a deleter that frees a pointer with the C library's own
// function, for std::unique_ptr.
#pragma once

namespace lyr::rtl {

// using CmsPtr = std::unique_ptr<CMS_ContentInfo, rtl::FreeWith<&::CMS_ContentInfo_free>>;
template <auto F>
struct FreeWith {
  void operator()(auto* p) const noexcept { F(p); }
};

}  // namespace lyr::rtl
