// CTdx880Error_class: the error object (ITdx880Error) that every object's LastError returns.
#pragma once

#include <cstdint>
#include <string>

#include "automation/auto_object.h"

namespace lyr::automation {

// Not creatable: handed out by LastError. prog_id is the creatable class of the object whose error
// it holds (the source of its own errors).
class CTdx880Error_class : public CAutomationObject<ITdx880Error> {
 public:
  explicit CTdx880Error_class(std::u16string prog_id)
      : CAutomationObject<ITdx880Error>(std::move(prog_id)) {}

  HRESULT STDMETHODCALLTYPE get_Code(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE put_Code(LONG Value) override;
  HRESULT STDMETHODCALLTYPE get_Message(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Message(BSTR Value) override;

  // Fields: the error's code (the OS code, -1, or 0 after success) and its message.
  int32_t Code = 0;
  std::u16string Message;
};

}  // namespace lyr::automation
