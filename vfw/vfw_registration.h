// The codec's entries under HKLM\Software\Microsoft\Windows NT\CurrentVersion
// \Drivers32: "vidc.QZV2", "vidc.QZV3" and "vidc.QZV4", each naming the
// module's full path. They are written into the registry view of the
// module's own bitness, where programs of that bitness look.
#pragma once

#include <windows.h>

HRESULT RegisterVfwCodec();
// Removes only the values that still name this module: another codec
// installed for the same FourCC since is left alone.
HRESULT UnregisterVfwCodec();
