#include "state/message_box.h"

#include "state/ui_host.h"

int ShowTwoButtonPrompt(const std::wstring& text, const std::wstring& title, const std::vector<std::wstring>& buttons,
                        int primary_mask) {
  const UIHostState host = GetUIHost();
  // Before the window's Init, after its destruction and in runs without a window nobody can answer.
  if (!host.operations) return 0;
  std::vector<MessageBoxButton> entries;
  if (buttons.size() > 0) entries.push_back({buttons[0], false, primary_mask == 0 || (primary_mask & 1) != 0, 10});
  if (buttons.size() > 1) entries.push_back({buttons[1], false, (primary_mask & 2) != 0, 11});
  return host.operations->MessageBox(title, text, entries);
}

int ShowMessageBox(const std::wstring& text, const std::vector<std::wstring>& buttons) {
  return ShowTwoButtonPrompt(text, std::wstring(), buttons, 0);
}
