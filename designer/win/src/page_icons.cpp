#include "page_icons.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace tq::designer::win {

namespace {

// One character per pixel: '.' is transparent, every other letter one of the 16 VGA colours.
struct PaletteEntry {
    char key;
    COLORREF color;
};
constexpr PaletteEntry kPalette[] = {
    {'k', RGB(0, 0, 0)},       {'r', RGB(128, 0, 0)},     {'G', RGB(0, 128, 0)},
    {'o', RGB(128, 128, 0)},   {'b', RGB(0, 0, 128)},     {'p', RGB(128, 0, 128)},
    {'t', RGB(0, 128, 128)},   {'s', RGB(192, 192, 192)}, {'g', RGB(128, 128, 128)},
    {'R', RGB(255, 0, 0)},     {'L', RGB(0, 255, 0)},     {'y', RGB(255, 255, 0)},
    {'B', RGB(0, 0, 255)},     {'m', RGB(255, 0, 255)},   {'c', RGB(0, 255, 255)},
    {'w', RGB(255, 255, 255)},
};

using Picture = const char* const[16];

// A blank sheet of paper with its corner folded.
constexpr Picture kFolha = {
    "................", "...kkkkkkkk.....", "...kwwwwwwkk....", "...kwwwwwwkwk...",
    "...kwwwwwwkkkk..", "...kwwwwwwwwwk..", "...kwwwwwwwwwk..", "...kwwwwwwwwwk..",
    "...kwwwwwwwwwk..", "...kwwwwwwwwwk..", "...kwwwwwwwwwk..", "...kwwwwwwwwwk..",
    "...kwwwwwwwwwk..", "...kwwwwwwwwwk..", "...kkkkkkkkkkk..", "................",
};
// An open folder with an arrow coming out of it.
constexpr Picture kPasta = {
    "................", "...........kkk..", "..........k...k.", "..............k.",
    "............kkkk", ".kkkk.........kk", "kyyyykkkkkk...k.", "kyyyyyyyyyk.....",
    "kyyykkkkkkkkkk..", "kyykoooooooook..", "kyykooooooook...", "kykooooooook....",
    "kykooooooook....", "kkooooooook.....", "kkkkkkkkkkk.....", "................",
};
// A black cross.
constexpr Picture kCruz = {
    "................", "................", "..kk........kk..", "..kkk......kkk..",
    "...kkk....kkk...", "....kkk..kkk....", ".....kkkkkk.....", "......kkkk......",
    "......kkkk......", ".....kkkkkk.....", "....kkk..kkk....", "...kkk....kkk...",
    "..kkk......kkk..", "..kk........kk..", "................", "................",
};
// A green check mark.
constexpr Picture kConfirma = {
    "................", "................", "..............G.", ".............GG.",
    "............GGG.", "...........GGG..", "..........GGG...", "..G......GGG....",
    "..GG....GGG.....", "..GGG..GGG......", "...GGGGGG.......", "....GGGG........",
    ".....GG.........", "................", "................", "................",
};

bool ColorOf(char c, COLORREF* out) {
    for (const auto& p : kPalette)
        if (p.key == c) {
            *out = p.color;
            return true;
        }
    return false;
}

}  // namespace

HICON MakePageIcon(PageIcon which, int size) {
    const char* const* rows = which == PageIcon::FolhaEmBranco ? kFolha
                              : which == PageIcon::PastaAberta ? kPasta
                              : which == PageIcon::Cruz        ? kCruz
                                                               : kConfirma;
    constexpr int kPicture = 16;
    if (size < 1) size = kPicture;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color) return nullptr;
    // The mask: one bit per pixel, rows padded to 16 bits; 1 = transparent.
    const int stride = (size + 15) / 16 * 2;
    std::vector<uint8_t> mask(static_cast<size_t>(stride * size), 0);
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < size; ++y) {
        const char* row = rows[y * kPicture / size];
        const size_t len = std::strlen(row);
        for (int x = 0; x < size; ++x) {
            const int from = x * kPicture / size;
            COLORREF c = 0;
            const bool opaque = static_cast<size_t>(from) < len && ColorOf(row[from], &c);
            px[y * size + x] = opaque
                                   ? (static_cast<uint32_t>(GetRValue(c)) << 16) |
                                         (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c)
                                   : 0;
            if (!opaque)
                mask[static_cast<size_t>(y * stride + x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    HBITMAP mono = CreateBitmap(size, size, 1, 1, mask.data());
    HICON icon = nullptr;
    if (mono) {
        ICONINFO ii{};
        ii.fIcon = TRUE;
        ii.hbmMask = mono;
        ii.hbmColor = color;
        icon = CreateIconIndirect(&ii);
        DeleteObject(mono);
    }
    DeleteObject(color);
    return icon;
}

}  // namespace tq::designer::win
