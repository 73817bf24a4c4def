// TzDemoPlugin.dll: a plug-in of TzDemo; the application lists it by the name it gives.
#include "tzdemo_product.h"

extern "C" __declspec(dllexport) const wchar_t* TzPluginName() { return L"TzDemo\u793a\u4f8b\u63d2\u4ef6"; }
