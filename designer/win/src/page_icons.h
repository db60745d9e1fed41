// The 16x16 pictures of the page's picture buttons, drawn here in the 16 VGA colours, and made
// into icons of any size (each picture pixel a block of whole screen pixels, so that the
// picture stays sharp: 16 at 96 DPI, 24 at 144).
#pragma once

#include <windows.h>

namespace tq::designer::win {

enum class PageIcon { FolhaEmBranco, PastaAberta, Cruz, Confirma };

// A new icon (the caller destroys it), or null when Windows refuses to make one.
HICON MakePageIcon(PageIcon which, int size = 16);

}  // namespace tq::designer::win
