// MenuTree and MenuItem: the levels, the shared handle index and the per-level name index.
//
// Invariants kept by every operation below:
//  - An entry's level_ is the level whose items_ holds it, or null once that level let it go
//    (Clear, destruction).  A level's owner_ is the entry whose sub_ it is, or null for a root
//    and once that entry died.
//  - An entry is linked into level_->index_ (hnd_linked_) exactly when it has a level and a
//    non-zero HndMenu.  Within one handle's chain, entries are ordered by hnd_seq_, the moment
//    they took the handle, so the tail is the last taker.
//  - All levels reachable from a level through SubMenu share its index.  A level that is not
//    reachable from its owner's level sharing that index is an "index top": a root, or a subtree
//    that was cut off (and then has an index to itself, or shares one with other cut-off parts,
//    which the descendant check of ItemPorHnd keeps apart).
//  - When a level's names_ exists, every entry of that level is in it, linked in position order.
//
// Out of memory: operations allocate before they change anything where that matters for the
// tree's consistency.  The indices degrade safely instead of failing a call that already took
// effect: a lost name index is rebuilt on the next Find, and a cut-off subtree that could not get
// an index of its own stays in its old one, where the descendant check never answers it.
#include "tq/bib/menu_tree.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <unordered_map>

#include "tq/error.h"

namespace tq::bib {

namespace {

// The order in which entries take handles, across all hierarchies (so that two subtrees joined
// by SwapContents still agree on who took a value last).
std::atomic<uint64_t> g_take_clock{0};

uint64_t NextTake() {
    return g_take_clock.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Change stamps, across all hierarchies, so that no two states ever share one.
std::atomic<uint64_t> g_change_clock{0};

uint64_t NextChange() {
    return g_change_clock.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

// Entries by HndMenu.  Each value maps to a doubly linked chain through the entries themselves,
// oldest take first, so that taking, giving up and moving a handle never allocate per entry
// beyond the map node of a value.  The index is shared by every level of one hierarchy, so it
// also carries the hierarchy's change stamp: a new index is a new state.
struct HndIndex {
    struct Chain {
        MenuItem* head = nullptr;
        MenuItem* tail = nullptr;
    };
    std::unordered_map<int32_t, Chain> chains;
    uint64_t stamp = NextChange();

    void Changed() noexcept { stamp = NextChange(); }
};

// Entries of one level by Nome.  The key views the Nome of the chain's head entry, whose string
// lives as long as the entry stays in the level; the chain runs in position order.
struct NameIndex {
    struct Chain {
        MenuItem* head = nullptr;
        MenuItem* tail = nullptr;
    };
    std::unordered_map<StringView, Chain> chains;
};

struct TreeImpl {
    // ---- handle index ----

    static void LinkInto(HndIndex::Chain& c, MenuItem& e) noexcept {
        MenuItem* after = c.tail;
        while (after && after->hnd_seq_ > e.hnd_seq_) after = after->hnd_prev_;
        e.hnd_prev_ = after;
        e.hnd_next_ = after ? after->hnd_next_ : c.head;
        if (e.hnd_next_)
            e.hnd_next_->hnd_prev_ = &e;
        else
            c.tail = &e;
        if (after)
            after->hnd_next_ = &e;
        else
            c.head = &e;
        e.hnd_linked_ = true;
    }

    static void UnlinkFrom(HndIndex::Chain& c, MenuItem& e) noexcept {
        if (e.hnd_prev_)
            e.hnd_prev_->hnd_next_ = e.hnd_next_;
        else
            c.head = e.hnd_next_;
        if (e.hnd_next_)
            e.hnd_next_->hnd_prev_ = e.hnd_prev_;
        else
            c.tail = e.hnd_prev_;
        e.hnd_prev_ = e.hnd_next_ = nullptr;
        e.hnd_linked_ = false;
    }

    // Takes a linked entry out of `index`, dropping its value's chain when it empties.
    static void Unlink(HndIndex& index, MenuItem& e) noexcept {
        auto it = index.chains.find(e.hnd_);
        UnlinkFrom(it->second, e);
        if (!it->second.head) index.chains.erase(it);
    }

    // ---- name index ----

    static void NameInsert(NameIndex& names, MenuItem& e) {
        auto it = names.chains.find(e.nome_);
        if (it == names.chains.end()) {
            e.name_prev_ = e.name_next_ = nullptr;
            names.chains.emplace(StringView(e.nome_), NameIndex::Chain{&e, &e});
            return;
        }
        NameIndex::Chain& c = it->second;
        MenuItem* after = c.tail;
        while (after && after->pos_ > e.pos_) after = after->name_prev_;
        e.name_prev_ = after;
        e.name_next_ = after ? after->name_next_ : c.head;
        if (e.name_next_)
            e.name_next_->name_prev_ = &e;
        else
            c.tail = &e;
        if (after) {
            after->name_next_ = &e;
        } else {
            c.head = &e;
            Rekey(names, it);
        }
    }

    static void NameRemove(NameIndex& names, MenuItem& e) noexcept {
        auto it = names.chains.find(e.nome_);
        NameIndex::Chain& c = it->second;
        const bool was_head = c.head == &e;
        if (e.name_prev_)
            e.name_prev_->name_next_ = e.name_next_;
        else
            c.head = e.name_next_;
        if (e.name_next_)
            e.name_next_->name_prev_ = e.name_prev_;
        else
            c.tail = e.name_prev_;
        e.name_prev_ = e.name_next_ = nullptr;
        if (!c.head)
            names.chains.erase(it);
        else if (was_head)
            Rekey(names, it);
    }

    // Points the key of a chain at its (new) head's own string.  Re-inserting the node the map
    // just gave up cannot grow the table, so this does not allocate.
    static void Rekey(NameIndex& names,
                      std::unordered_map<StringView, NameIndex::Chain>::iterator it) {
        auto node = names.chains.extract(it);
        node.key() = StringView(node.mapped().head->nome_);
        names.chains.insert(std::move(node));
    }

    static NameIndex& Names(const MenuTree& t) {
        if (!t.names_) {
            auto names = std::make_unique<NameIndex>();
            names->chains.reserve(t.items_.size());
            for (const auto& e : t.items_) NameInsert(*names, *e);
            t.names_ = std::move(names);
        }
        return *t.names_;
    }

    // ---- structure ----

    static bool IsIndexTop(const MenuTree& t) noexcept {
        return !t.owner_ || !t.owner_->level_ || t.owner_->level_->index_ != t.index_;
    }

    // True when `t` is `ancestor` or lies below it.  O(depth).
    static bool IsWithin(const MenuTree& t, const MenuTree& ancestor) noexcept {
        for (const MenuTree* l = &t; l; l = l->owner_ ? l->owner_->level_ : nullptr)
            if (l == &ancestor) return true;
        return false;
    }

    // The level lets go of `e`: out of the handle index and no longer its parent.
    static void Detach(MenuItem& e) noexcept {
        if (e.hnd_linked_) Unlink(*e.level_->index_, e);
        e.level_ = nullptr;
    }

    // Gives a cut-off subtree (still linked in the index of the hierarchy it left) the index
    // `fresh` (made on first use), so that handles put on it later stay out of that hierarchy.
    static void Rehome(MenuTree& top, std::shared_ptr<HndIndex>& fresh) noexcept {
        HndIndex* from = top.index_.get();
        try {
            if (!fresh) fresh = std::make_shared<HndIndex>();
            std::vector<MenuTree*> levels{&top};
            std::vector<MenuItem*> linked;
            for (size_t i = 0; i < levels.size(); ++i) {
                for (const auto& e : levels[i]->items_) {
                    if (e->hnd_linked_) {
                        linked.push_back(e.get());
                        fresh->chains.try_emplace(e->hnd_);
                    }
                    if (e->sub_) levels.push_back(e->sub_.get());
                }
            }
            // Nothing below allocates.
            for (MenuItem* e : linked) Unlink(*from, *e);
            for (MenuTree* l : levels) l->index_ = fresh;
            std::sort(linked.begin(), linked.end(), [](const MenuItem* a, const MenuItem* b) {
                return a->hnd_seq_ < b->hnd_seq_;
            });
            for (MenuItem* e : linked) LinkInto(fresh->chains.find(e->hnd_)->second, *e);
        } catch (const std::bad_alloc&) {
            // The subtree stays in the old index; it is below no level of that hierarchy, so it is
            // never answered there.  Only lookups inside the cut-off subtree itself miss.
        }
    }

    // Lets go of `items`, already detached from their level.  What nobody else holds dies here,
    // taken apart from an explicit stack so that no destructor recurses along the tree; a part
    // somebody still holds survives intact, and with `rehome_from` set it moves out of that index.
    static void Release(std::vector<std::shared_ptr<MenuItem>>&& items,
                        const HndIndex* rehome_from) noexcept {
        std::vector<std::shared_ptr<MenuItem>> stack = std::move(items);
        std::shared_ptr<HndIndex> fresh;
        while (!stack.empty()) {
            std::shared_ptr<MenuItem> x = std::move(stack.back());
            stack.pop_back();
            if (!x->sub_) continue;  // a leaf that never had a level: nothing below it
            MenuTree& sub = *x->sub_;
            if (x.use_count() == 1 && x->sub_.use_count() == 1) {
                if (sub.items_.empty()) continue;
                const size_t need = stack.size() + sub.items_.size();
                if (need > stack.capacity()) {
                    try {
                        stack.reserve(std::max(need, 2 * stack.capacity()));
                    } catch (const std::bad_alloc&) {
                        continue;  // out of memory: this one subtree is destroyed recursively
                    }
                }
                for (auto& c : sub.items_) {
                    Detach(*c);
                    stack.push_back(std::move(c));
                }
                sub.items_.clear();
                sub.names_.reset();
            } else if (rehome_from && sub.index_.get() == rehome_from) {
                Rehome(sub, fresh);
            }
        }
    }

    static void FixLevels(MenuTree& t) noexcept {
        for (auto& e : t.items_) e->level_ = &t;
    }

    // One side of SwapAcrossIndices.
    struct SwapSide {
        MenuTree* level;
        std::vector<MenuTree*> below;  // every level under `level`, not `level` itself
        std::vector<MenuItem*> linked;
    };

    // Fills each side's levels below and linked entries, and makes in the other side's index the
    // chains those entries move into; on failure the chains made are dropped again.
    static void PrepareSwap(SwapSide (&sides)[2]) {
        std::vector<std::pair<HndIndex*, int32_t>> made;  // chains created for the move
        try {
            for (int s = 0; s < 2; ++s) {
                SwapSide& side = sides[s];
                HndIndex& target = *sides[1 - s].level->index_;
                std::vector<MenuTree*> todo{side.level};
                while (!todo.empty()) {
                    MenuTree* l = todo.back();
                    todo.pop_back();
                    for (const auto& e : l->items_) {
                        if (e->hnd_linked_) {
                            side.linked.push_back(e.get());
                            if (target.chains.try_emplace(e->hnd_).second)
                                made.emplace_back(&target, e->hnd_);
                        }
                        if (!e->sub_) continue;
                        side.below.push_back(e->sub_.get());
                        todo.push_back(e->sub_.get());
                    }
                }
            }
        } catch (...) {
            for (auto& [index, hnd] : made) {
                auto it = index->chains.find(hnd);
                if (it != index->chains.end() && !it->second.head) index->chains.erase(it);
            }
            throw;
        }
    }

    // SwapContents between levels of different indices where one is not an index top: every
    // handle below each level moves to the index of the level it ends up under.
    static void SwapAcrossIndices(MenuTree& a, MenuTree& b) {
        SwapSide sides[2] = {{&a, {}, {}}, {&b, {}, {}}};
        PrepareSwap(sides);
        // Nothing below allocates.  Each side leaves its level's index (which the level keeps)
        // for the other level's; chains emptied here may be the very ones the other side moves
        // into, so they are dropped only at the end.
        for (SwapSide& side : sides) {
            HndIndex& from = *side.level->index_;
            for (MenuItem* e : side.linked) UnlinkFrom(from.chains.find(e->hnd_)->second, *e);
        }
        a.items_.swap(b.items_);
        a.names_.swap(b.names_);
        FixLevels(a);
        FixLevels(b);
        for (int s = 0; s < 2; ++s) {
            const std::shared_ptr<HndIndex>& target = sides[1 - s].level->index_;
            for (MenuTree* l : sides[s].below) l->index_ = target;
        }
        for (int s = 0; s < 2; ++s) {
            auto& linked = sides[s].linked;
            std::sort(linked.begin(), linked.end(), [](const MenuItem* x, const MenuItem* y) {
                return x->hnd_seq_ < y->hnd_seq_;
            });
            for (MenuItem* e : linked)
                LinkInto(e->level_->index_->chains.find(e->hnd_)->second, *e);
        }
        for (SwapSide& side : sides) {
            HndIndex& from = *side.level->index_;
            for (MenuItem* e : side.linked) {
                auto it = from.chains.find(e->hnd_);
                if (it != from.chains.end() && !it->second.head) from.chains.erase(it);
            }
        }
    }
};

// ---- MenuItem ----

MenuItem::~MenuItem() {
    // A level detaches its entries before letting go of them, so nothing here is indexed.  A
    // child level that somebody still holds outlives this entry and becomes a root.
    if (sub_) sub_->owner_ = nullptr;
}

const std::shared_ptr<MenuTree>& MenuItem::SubMenu() const {
    if (!sub_) {
        // The level joins the hierarchy of the entry's level; an entry no level holds any more
        // heads a hierarchy of its own.
        auto sub = std::make_shared<MenuTree>(MenuTree::Private{});
        sub->index_ = level_ ? level_->index_ : std::make_shared<HndIndex>();
        sub->owner_ = const_cast<MenuItem*>(this);
        sub_ = std::move(sub);
    }
    return sub_;
}

void MenuItem::Changed() noexcept {
    if (level_) level_->index_->Changed();
}

void MenuItem::Put(String& field, String v) {
    if (field == v) return;
    field = std::move(v);
    Changed();
}

void MenuItem::Put(bool& field, bool v) {
    if (field == v) return;
    field = v;
    Changed();
}

void MenuItem::SetTextoMenu(String v) {
    if (texto_set_ && texto_ == v) return;
    texto_ = std::move(v);
    texto_set_ = true;
    Changed();
}

void MenuItem::SetNome(String v) {
    if (nome_ == v) return;
    Changed();
    if (!level_ || !level_->names_) {
        nome_ = std::move(v);
        return;
    }
    NameIndex& names = *level_->names_;
    TreeImpl::NameRemove(names, *this);
    nome_ = std::move(v);
    try {
        TreeImpl::NameInsert(names, *this);
    } catch (const std::bad_alloc&) {
        level_->names_.reset();  // the name is set; the index is rebuilt by the next Find
    }
}

void MenuItem::SetHndMenu(int32_t v) {
    HndIndex* index = level_ ? level_->index_.get() : nullptr;
    if (!index || v == 0) {
        if (hnd_linked_) TreeImpl::Unlink(*index, *this);
        hnd_ = v;
        return;
    }
    auto it = index->chains.try_emplace(v).first;  // the only step that can fail
    if (hnd_linked_) {
        if (hnd_ == v)
            TreeImpl::UnlinkFrom(it->second, *this);
        else
            TreeImpl::Unlink(*index, *this);  // erasing another value's chain keeps `it` valid
    }
    hnd_ = v;
    hnd_seq_ = NextTake();
    TreeImpl::LinkInto(it->second, *this);
}

std::shared_ptr<MenuTree> MenuItem::Parent() const {
    return level_ ? level_->weak_from_this().lock() : nullptr;
}

// ---- MenuTree ----

MenuTree::MenuTree(Private) {}

MenuTree::~MenuTree() {
    for (auto& e : items_) TreeImpl::Detach(*e);
    TreeImpl::Release(std::move(items_), nullptr);
}

std::shared_ptr<MenuTree> MenuTree::Create() {
    auto tree = std::make_shared<MenuTree>(Private{});
    tree->index_ = std::make_shared<HndIndex>();
    return tree;
}

std::shared_ptr<MenuItem> MenuTree::At(size_t position) const {
    if (position == 0 || position > items_.size()) return nullptr;
    return items_[position - 1];
}

std::shared_ptr<MenuItem> MenuTree::Find(StringView nome) const {
    if (items_.empty()) return nullptr;
    const NameIndex& names = TreeImpl::Names(*this);
    auto it = names.chains.find(nome);
    if (it == names.chains.end()) return nullptr;
    return it->second.head->weak_from_this().lock();
}

std::shared_ptr<MenuItem> MenuTree::Add(String caption, String nome) {
    auto item = std::make_shared<MenuItem>(MenuItem::Private{});
    item->caption_ = std::move(caption);
    item->nome_ = std::move(nome);
    item->pos_ = items_.size();
    items_.push_back(item);  // on failure nothing changed
    item->level_ = this;
    index_->Changed();
    if (names_) {
        try {
            TreeImpl::NameInsert(*names_, *item);
        } catch (const std::bad_alloc&) {
            names_.reset();  // rebuilt by the next Find
        }
    }
    return item;
}

void MenuTree::Clear() {
    if (items_.empty()) return;
    const bool top = TreeImpl::IsIndexTop(*this);
    // A top level simply starts a new index and leaves the old one to what it removes; a level
    // inside a hierarchy keeps the shared index and moves surviving removed parts out of it.
    std::shared_ptr<HndIndex> fresh = top ? std::make_shared<HndIndex>() : nullptr;
    for (auto& e : items_) TreeImpl::Detach(*e);
    names_.reset();
    std::vector<std::shared_ptr<MenuItem>> removed;
    removed.swap(items_);
    if (top) {
        index_.swap(fresh);  // a new index: a new state
        TreeImpl::Release(std::move(removed), nullptr);
    } else {
        index_->Changed();
        TreeImpl::Release(std::move(removed), index_.get());
    }
}

std::shared_ptr<MenuItem> MenuTree::ItemPorHnd(int32_t hnd) const {
    if (hnd == 0) return nullptr;
    auto it = index_->chains.find(hnd);
    if (it == index_->chains.end()) return nullptr;
    for (const MenuItem* e = it->second.tail; e; e = e->hnd_prev_)
        if (e->level_ && TreeImpl::IsWithin(*e->level_, *this))
            return std::const_pointer_cast<MenuItem>(e->shared_from_this());
    return nullptr;
}

size_t MenuTree::TotalCount() const {
    size_t n = 0;
    std::vector<const MenuTree*> todo{this};
    while (!todo.empty()) {
        const MenuTree* l = todo.back();
        todo.pop_back();
        n += l->items_.size();
        for (const auto& e : l->items_)
            if (e->sub_ && !e->sub_->items_.empty()) todo.push_back(e->sub_.get());
    }
    return n;
}

void MenuTree::SwapContents(MenuTree& other) {
    if (&other == this) return;
    if (TreeImpl::IsWithin(*this, other) || TreeImpl::IsWithin(other, *this))
        throw Error(hr::kInvalidArg,
                    u"Não é possível trocar o conteúdo de um menu com o de um submenu dele.");
    if (index_ == other.index_) {
        // One index on both sides: every handle stays where it is.
        items_.swap(other.items_);
        names_.swap(other.names_);
    } else if (TreeImpl::IsIndexTop(*this) && TreeImpl::IsIndexTop(other)) {
        // Two tops: each index follows its entries.
        items_.swap(other.items_);
        names_.swap(other.names_);
        index_.swap(other.index_);
    } else {
        TreeImpl::SwapAcrossIndices(*this, other);
        index_->Changed();
        other.index_->Changed();
        return;
    }
    TreeImpl::FixLevels(*this);
    TreeImpl::FixLevels(other);
    index_->Changed();
    other.index_->Changed();
}

uint64_t MenuTree::ChangeStamp() const {
    return index_->stamp;
}

}  // namespace tq::bib
