#pragma once
#include <string>
#include <vector>

// The engine's two-button prompt, shown through the UI host as a modal message box owned by the
// main window. At most two buttons are built from `buttons` (plain texts, further ones ignored):
// the first answers 10 and is primary when `primary_mask` is 0 or has bit 0; the second answers 11
// and is primary when the mask has bit 1. Answers the pressed button's identifier, 1 for the close
// button or when the box cannot be created, and 0 (nothing shown) when the host holds no window.
int ShowTwoButtonPrompt(const std::wstring& text, const std::wstring& title, const std::vector<std::wstring>& buttons,
                        int primary_mask);

// The prompt without title and with the default mask (the first button is primary).
int ShowMessageBox(const std::wstring& text, const std::vector<std::wstring>& buttons);
