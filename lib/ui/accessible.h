// Screen-reader support for the controls of the library's own window classes (the system's
// controls have theirs already). Such a control answers WM_GETOBJECT with an object that takes
// everything from the system's standard client object of the window but its name, role, value
// and state, which the control supplies.
#pragma once

#include <windows.h>

#include "lib/dlx_string.h"

namespace dlx {

class IDLXAccessibleSource {
 public:
  virtual String AccessibleName() = 0;
  // A ROLE_SYSTEM_* constant.
  virtual long AccessibleRole() = 0;
  virtual String AccessibleValue() { return String(); }
  // Read after the name (a page's description under its title); empty: the standard object's.
  virtual String AccessibleDescription() { return String(); }
  // STATE_SYSTEM_* flags added to the standard object's (for example STATE_SYSTEM_LINKED).
  virtual long AccessibleState() { return 0; }
  // The default action's name ("Jump" for a link) and the action itself; an empty name leaves
  // both to the standard object.
  virtual String AccessibleDefaultAction() { return String(); }
  virtual void AccessibleDoDefaultAction() {}

 protected:
  ~IDLXAccessibleSource() = default;
};

// A caption as a screen reader says it: mnemonic ampersands removed, "&&" read as "&".
String StripMnemonic(const String& caption);

// The answer to WM_GETOBJECT for the window's client object; 0 (let the system answer) for other
// object ids or when the accessibility library cannot be loaded. The source must outlive the
// window; the object holds no reference to it after the window is gone.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, IDLXAccessibleSource& source);

}  // namespace dlx
