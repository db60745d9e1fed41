// The command identifiers of a control's menu bar: the numbers WM_COMMAND brings back when the
// user picks an entry.
//
// WM_COMMAND carries 16 bits, so every identifier stays within 1000..65535.  They are handed out
// in order, wrap from 65535 back to 1000, and skip the identifiers the current bar already uses;
// a bar that would need more than the 64,536 identifiers of the range stops with an overflow
// error.  A new bar (NovaBarra) frees the identifiers of the one it replaces.  The window
// procedure takes a command only when the current bar uses its identifier (EmUso), so an entry
// left off the bar, which keeps its old HndMenu, is never reached through it.
//
// Portable: no Windows header, so the rule is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tq::ctl {

class CommandIds {
  public:
    static constexpr int32_t kFirst = 1000;
    static constexpr int32_t kLast = 65535;
    static constexpr size_t kCount = kLast - kFirst + 1;  // 64,536

    // `ultimo` is the identifier handed out last; 0 (or any value outside the range) makes 1000
    // the next one.
    explicit CommandIds(int32_t ultimo = 0) noexcept : ultimo_(ultimo) {}

    // A new bar replaces the current one: no identifier is in use any more.  The order goes on
    // from the last identifier handed out.
    void NovaBarra() noexcept;
    // The next identifier not used by the current bar, now used by it.  Throws tq::Error
    // (overflow) when the bar already uses every identifier of the range.
    int32_t Proximo();
    // Whether the current bar uses `id`.
    bool EmUso(int64_t id) const noexcept;

    int32_t Ultimo() const noexcept { return ultimo_; }
    size_t Usados() const noexcept { return usados_; }

  private:
    int32_t ultimo_;
    std::vector<bool> em_uso_;  // by id - kFirst; allocated by the first Proximo
    size_t usados_ = 0;
};

}  // namespace tq::ctl
