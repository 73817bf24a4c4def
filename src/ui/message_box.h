#pragma once
#include <string>
#include <vector>

// Shows a modal message box owned by the main window. Answers the pressed button's identifier
// (10 for the first, 11 for the second), 1 for the close button or when the box cannot be
// created, and 0 when there is no window.
int ShowMessageBox(const std::wstring& text, const std::vector<std::wstring>& buttons);
