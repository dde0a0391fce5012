#include "platform/ui/user_interface.h"

namespace brevalcore::ui {

std::vector<Button> ButtonsOf(int styleCode) {
  switch (styleCode & style::kButtonsMask) {
    case style::kOkCancel: return {Button::Ok, Button::Cancel};
    case style::kAbortRetryIgnore: return {Button::Abort, Button::Retry, Button::Ignore};
    case style::kYesNoCancel: return {Button::Yes, Button::No, Button::Cancel};
    case style::kYesNo: return {Button::Yes, Button::No};
    case style::kRetryCancel: return {Button::Retry, Button::Cancel};
    default: return {Button::Ok};
  }
}

Button DefaultButtonOf(int styleCode) {
  const auto buttons = ButtonsOf(styleCode);
  size_t index = 0;
  if ((styleCode & style::kDefaultMask) == style::kDefaultButton2) index = 1;
  if ((styleCode & style::kDefaultMask) == style::kDefaultButton3) index = 2;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

String ButtonCaption(Button button) {
  switch (button) {
    case Button::Ok: return u"OK";
    case Button::Cancel: return u"Annulla";
    case Button::Abort: return u"Interrompi";
    case Button::Retry: return u"Riprova";
    case Button::Ignore: return u"Ignora";
    case Button::Yes: return u"S\u00EC";
    case Button::No: return u"No";
  }
  return u"OK";
}

}  // namespace brevalcore::ui
