#include "core/lighting/key_buttons.h"

namespace vantrel::lighting {

int ButtonIndex(int controlId) {
  const keys::LayoutKey* key = keys::LayoutKeyOfControl(controlId);
  return key ? static_cast<int>(keys::LayoutPosition(*key)) : -1;
}

int LedSlot(int controlId) {
  const keys::LayoutKey* key = keys::LayoutKeyOfControl(controlId);
  return key ? key->ledSlot : 0;
}

int OrdinaryKeyPosition(int controlId) {
  const keys::LayoutKey* key = keys::LayoutKeyOfControl(controlId);
  return key && key->kind == keys::LayoutKind::Ordinary ? static_cast<int>(keys::LayoutPosition(*key)) : -1;
}

}  // namespace vantrel::lighting
