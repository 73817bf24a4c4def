// Breaking a label's text into lines that fit its width.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tzui {

// The lines of text, each at most width wide as width_of measures it (a line of one character may be
// wider). Breaks at line feeds; otherwise at the last place that fits where a break is allowed:
// between two ideographs, after a space (which is dropped), never inside a run of Latin letters or
// digits, never before closing punctuation (。，、」 and the like) nor after opening punctuation.
// Where no allowed place fits, the line breaks where it is full.
std::vector<std::wstring> BreakLines(std::wstring_view text, float width,
                                     const std::function<float(std::wstring_view)>& width_of);

}  // namespace tzui
