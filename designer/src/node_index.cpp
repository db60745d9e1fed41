#include "tq/designer/node_index.h"

#include <functional>

#include "tq/designer/node_tree.h"

namespace tq::designer {

namespace {

size_t LowBit(size_t i) {
    return i & (~i + 1);
}

}  // namespace

// ---- KeyIndex --------------------------------------------------------------------------------

size_t KeyIndex::Hash(StringView key) {
    return std::hash<StringView>()(key);
}

Node* KeyIndex::Find(StringView key) const {
    if (key.empty() || slots_.empty()) return nullptr;
    const size_t h = Hash(key);
    const size_t mask = slots_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (!s.node) return nullptr;
        if (s.hash == h && s.node->Key() == key) return s.node;
    }
}

void KeyIndex::Grow() {
    // Doubling, every key put back.
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (!s.node) continue;
        size_t i = s.hash & mask;
        while (slots_[i].node) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

void KeyIndex::Insert(Node* node) {
    if ((count_ + 1) * 8 > slots_.size() * 5) Grow();
    const size_t h = Hash(node->Key());
    const size_t mask = slots_.size() - 1;
    size_t i = h & mask;
    while (slots_[i].node) i = (i + 1) & mask;
    slots_[i] = Slot{h, node};
    ++count_;
}

void KeyIndex::Erase(const Node* node) {
    const size_t mask = slots_.size() - 1;
    size_t i = Hash(node->Key()) & mask;
    while (slots_[i].node != node) i = (i + 1) & mask;
    // Backward-shift deletion: pull later entries of the probe run into the hole, so that no
    // lookup ever has to step over a deleted slot.
    for (size_t j = (i + 1) & mask; slots_[j].node; j = (j + 1) & mask) {
        const size_t home = slots_[j].hash & mask;
        // Move j into the hole at i unless its home lies cyclically in (i, j].
        const bool stays = i <= j ? (home > i && home <= j) : (home > i || home <= j);
        if (!stays) {
            slots_[i] = slots_[j];
            i = j;
        }
    }
    slots_[i] = Slot{};
    --count_;
}

void KeyIndex::Clear() {
    slots_.clear();
    count_ = 0;
}

// ---- OrderIndex ------------------------------------------------------------------------------

void OrderIndex::Reserve() {
    // Growing geometrically.
    const size_t i = slots_.size() + 1;
    if (slots_.capacity() < i) slots_.reserve(2 * i);
    if (fenwick_.capacity() < i + 1) fenwick_.reserve(2 * i + 1);
}

void OrderIndex::Append(Node* node) noexcept {
    const size_t i = slots_.size() + 1;
    node->slot_ = slots_.size();
    // Fenwick append: the new cell covers (i - lowbit(i), i], of which only slot i is new.
    const int32_t cell = 1 + Prefix(i - 1) - Prefix(i - LowBit(i));
    fenwick_.push_back(cell);
    slots_.push_back(node);
    ++live_;
}

void OrderIndex::Erase(const Node* node) {
    Update(node->slot_ + 1, -1);
    --live_;
    slots_[node->slot_] = nullptr;
}

void OrderIndex::Trim() {
    if (slots_.size() - static_cast<size_t>(live_) > static_cast<size_t>(live_) + 1024) Compact();
}

void OrderIndex::Clear() {
    slots_.clear();
    fenwick_.assign(1, 0);
    live_ = 0;
}

Node* OrderIndex::At(int32_t index) const {
    // Without dead slots the slot is the index (the common case while loading).
    if (static_cast<size_t>(live_) == slots_.size()) return slots_[static_cast<size_t>(index - 1)];
    return slots_[KthSlot(index)];
}

int32_t OrderIndex::IndexOf(const Node& node) const {
    if (static_cast<size_t>(live_) == slots_.size()) return static_cast<int32_t>(node.slot_ + 1);
    return Prefix(node.slot_ + 1);
}

int32_t OrderIndex::Prefix(size_t i) const {
    int32_t sum = 0;
    for (; i > 0; i -= LowBit(i)) sum += fenwick_[i];
    return sum;
}

void OrderIndex::Update(size_t i, int32_t delta) {
    for (; i < fenwick_.size(); i += LowBit(i)) fenwick_[i] += delta;
}

size_t OrderIndex::KthSlot(int32_t k) const {
    const size_t n = fenwick_.size() - 1;
    size_t step = 1;
    while (step * 2 <= n) step *= 2;
    size_t pos = 0;
    for (; step > 0; step /= 2) {
        if (pos + step <= n && fenwick_[pos + step] < k) {
            pos += step;
            k -= fenwick_[pos];
        }
    }
    return pos;  // 0-based slot: Fenwick position pos + 1
}

void OrderIndex::Compact() {
    size_t out = 0;
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i]) continue;
        slots_[out] = slots_[i];
        slots_[out]->slot_ = out;
        ++out;
    }
    slots_.resize(out);
    fenwick_.assign(out + 1, 1);
    fenwick_[0] = 0;
    for (size_t i = 1; i <= out; ++i) {
        const size_t j = i + LowBit(i);
        if (j <= out) fenwick_[j] += fenwick_[i];
    }
}

}  // namespace tq::designer
