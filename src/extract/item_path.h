#pragma once
// Hygiene of the item names an archive carries: an item may only land inside the target directory.
#include <string_view>

// False for a path that is empty, absolute (leading separator, so also UNC and "\\?\"), carries a
// drive or a stream (any ':'), has a component of dots only beyond a single "." (".." and the
// forms Windows trims to it), or names a device (CON, NUL, COM1... with or without an extension).
bool IsSafeItemPath(std::wstring_view path);
