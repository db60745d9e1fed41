// Resource identifiers of tqMenuCtl.ocx (besides the type library and version information).
#pragma once

// The 16x15 picture a form designer shows in its toolbox (the ToolboxBitmap32 key names it).
#define IDB_TOOLBOX 1
