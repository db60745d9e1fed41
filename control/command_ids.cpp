#include "command_ids.h"

#include "tq/error.h"

namespace tq::ctl {

void CommandIds::NovaBarra() noexcept {
    if (usados_ == 0) return;
    em_uso_.assign(em_uso_.size(), false);
    usados_ = 0;
}

int32_t CommandIds::Proximo() {
    if (usados_ >= kCount)
        throw tq::Error(tq::hr::kOverflow,
                        u"Estouro: a barra de menu já usa todos os 64536 identificadores de "
                        u"comando (de 1000 a 65535)");
    if (em_uso_.empty()) em_uso_.assign(kCount, false);
    // Ends: fewer than kCount identifiers are in use.
    int32_t id = ultimo_;
    do {
        id = (id < kFirst || id >= kLast) ? kFirst : id + 1;
    } while (em_uso_[static_cast<size_t>(id - kFirst)]);
    em_uso_[static_cast<size_t>(id - kFirst)] = true;
    ++usados_;
    ultimo_ = id;
    return id;
}

bool CommandIds::EmUso(int64_t id) const noexcept {
    if (id < kFirst || id > kLast || em_uso_.empty()) return false;
    return em_uso_[static_cast<size_t>(id - kFirst)];
}

}  // namespace tq::ctl
