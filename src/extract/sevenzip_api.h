#pragma once
// The 7-Zip library as the extraction sees it. Its headers need the OLE types (BSTR, PROPVARIANT)
// that WIN32_LEAN_AND_MEAN leaves out; the library itself defines the interface ids.
#include <ole2.h>
#include <windows.h>

#include "CPP/7zip/Archive/IArchive.h"
#include "CPP/7zip/IStream.h"
#include "CPP/Common/MyCom.h"

STDAPI CreateObject(const GUID* clsid, const GUID* iid, void** outObject);
