// The codec's configuration dialog: the denoise filter and the mask display,
// the two switches the filter's property page offers too.
#pragma once

#include <windows.h>

#include "vfw_decompressor.h"

// Shows the dialog over `parent`; true when the user pressed OK, with the
// switches in `state`.
bool ShowConfigureDialog(HWND parent, VfwDecompressor::State* state);
