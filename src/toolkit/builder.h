#pragma once
// Builds a control tree from an XML window description of the package. Elements: Window (size,
// caption, bktrans), Font (id, name, size, bold, default), Default (name, value), and the controls
// Control, Label, Text, Button, CheckBox, Option, ImageControl, Progress, RichEdit, Container,
// VerticalLayout, HorizontalLayout, plus any type the callback creates. An element the toolkit and
// the callback both do not know is skipped with its children.
#include <string_view>

#include "toolkit/controls.h"
#include "toolkit/paint_manager.h"
#include "toolkit/ui_types.h"

namespace tzui {

class CDialogBuilder {
 public:
  // nullptr when the entry is missing, is not well-formed XML, or has no root control. The window
  // attributes and fonts go to `manager`.
  static CControlUI* Create(std::wstring_view description, IDialogBuilderCallback* callback, CPaintManagerUI* manager);
  // The same from a text already in memory (UTF-8).
  static CControlUI* CreateFromText(std::string text, IDialogBuilderCallback* callback, CPaintManagerUI* manager);
};

}  // namespace tzui
