// The 16x16 pictures of the page's picture buttons, drawn here in the 16 VGA colours.
#pragma once

#include <windows.h>

namespace tq::designer::win {

enum class PageIcon { FolhaEmBranco, PastaAberta, Cruz, Confirma };

// A new icon (the caller destroys it), or null when Windows refuses to make one.
HICON MakePageIcon(PageIcon which);

}  // namespace tq::designer::win
