// NMURL: TNMURL, the encoder of form data sent in request bodies. Letters and digits
// stay, a space becomes "+", every other byte becomes "%" and two upper-case hex digits.
#pragma once

#include "framework/component.h"
#include "framework/events.h"
#include "framework/text.h"

namespace vrk {

using TOnErrorEvent = TEvent<void(TComponent* Sender, Text Operation, Text ErrMsg)>;

class TNMURL : public TComponent {
 public:
  explicit TNMURL(TComponent* owner);
  ~TNMURL() override;

  // Published, in this order.
  Text InputString;
  TOnErrorEvent OnError;

  // The encoding of `text`. A framework Exception while building it is reported through
  // OnError ("Error during encode", its message) and the unchanged text is returned.
  Text EncodeString(const Text& text);
  // Read-only property: EncodeString(InputString); InputString keeps its value.
  Text Encode() { return EncodeString(InputString); }
};

}  // namespace vrk
