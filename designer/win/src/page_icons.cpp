#include "page_icons.h"

#include <cstdint>
#include <cstring>

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

HICON MakePageIcon(PageIcon which) {
    const char* const* rows = which == PageIcon::FolhaEmBranco ? kFolha
                              : which == PageIcon::PastaAberta ? kPasta
                              : which == PageIcon::Cruz        ? kCruz
                                                               : kConfirma;
    constexpr int kSize = 16;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kSize;
    bi.bmiHeader.biHeight = -kSize;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color) return nullptr;
    // The mask: one bit per pixel, rows padded to 16 bits; 1 = transparent.
    uint8_t mask[kSize * 2];
    std::memset(mask, 0, sizeof mask);
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < kSize; ++y) {
        const char* row = rows[y];
        const size_t len = std::strlen(row);
        for (int x = 0; x < kSize; ++x) {
            COLORREF c = 0;
            const bool opaque = static_cast<size_t>(x) < len && ColorOf(row[x], &c);
            px[y * kSize + x] = opaque
                                    ? (static_cast<uint32_t>(GetRValue(c)) << 16) |
                                          (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c)
                                    : 0;
            if (!opaque) mask[y * 2 + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    HBITMAP mono = CreateBitmap(kSize, kSize, 1, 1, mask);
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
