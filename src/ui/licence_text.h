#pragma once
// The licence shown in the licence layout: the bytes of its "LANG" resource as text, split into
// a title line and a body.
#include <cstddef>
#include <string>

// UTF-16LE by code units (an odd last byte is dropped) unless the bytes begin with the UTF-8 byte
// order mark; one leading U+FEFF is dropped either way.
std::wstring DecodeLicenceText(const void* data, size_t size);

struct LicenceParts {
  std::wstring title;
  std::wstring body;
  bool has_body = false;
};
// The title is the text before the first "\r\n", the body the text after it; without one the
// whole text is the title.
LicenceParts SplitLicenceText(const std::wstring& text);

// Point sizes of the rich edit are twips; the licence is written for an unscaled screen, so the
// sizes are divided by the factor between the desktop's real and its reported resolution.
int LicenceTwips(int twips, double scale_factor);
