#pragma once
// Screen-reader access to a skinned window: its client area answers WM_GETOBJECT with an
// IAccessible whose children are the visible buttons, check boxes, labels, progress bars and text
// controls, in tree order, with name, role, state, value, location and default action.
#include <windows.h>

namespace tzui {

class CPaintManagerUI;

// Answers WM_GETOBJECT for OBJID_CLIENT, creating the object in `holder` on first use. False for
// other object ids (the window then answers as usual).
bool AnswerGetObject(CPaintManagerUI& manager, HWND window, WPARAM wParam, LPARAM lParam, void*& holder,
                     LRESULT& result);
// The window is going: the object answers "disconnected" from now on.
void DisconnectAccessible(void* holder);
// Drops the window's reference.
void ReleaseAccessible(void*& holder);

}  // namespace tzui
