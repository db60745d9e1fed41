#include "tq/designer/node_tree.h"

#include <functional>
#include <string>
#include <utility>

#include "tq/designer/errors.h"
#include "tq/error.h"

namespace tq::designer {

namespace {

size_t LowBit(size_t i) {
    return i & (~i + 1);
}

[[noreturn]] void ThrowNotFound() {
    throw Error(hr::kElementNotFound, u"Element not found");
}

}  // namespace

Node* NodeTree::NewNode() {
    if (!free_) return &pool_.emplace_back(Node::Passkey());
    Node* n = free_;
    free_ = n->next_;
    n->next_ = nullptr;
    return n;
}

void NodeTree::Recycle(Node* n) {
    // Back to its first state, keeping the strings' buffers for the next node.
    n->key_.clear();
    n->text_.clear();
    n->tag_.clear();
    n->bold_ = n->checked_ = n->expanded_ = n->selected_ = false;
    n->children_ = 0;
    n->parent_ = n->first_child_ = n->last_child_ = n->prev_ = nullptr;
    n->next_ = free_;
    free_ = n;
}

Node* Node::Parent() const {
    return parent_ && !parent_->is_top_ ? parent_ : nullptr;
}

NodeTree::NodeTree() : top_(std::make_unique<Node>(Node::Passkey())) {
    top_->is_top_ = true;
    fenwick_.push_back(0);
}

NodeTree::~NodeTree() = default;

Node* NodeTree::Resolve(const Relative& relative) {
    switch (relative.kind_) {
        case Relative::Kind::None:
            return nullptr;
        case Relative::Kind::Key:
            return &Item(relative.key_);
        case Relative::Kind::Index:
            return &Item(relative.index_);
        case Relative::Kind::Node:
            return relative.node_;
    }
    return nullptr;
}

Node& NodeTree::Add(const Relative& relative, Relationship relationship, StringView key,
                    String text) {
    if (!key.empty() && Find(key))
        throw Error(hr::kKeyNotUnique, u"Key is not unique in collection");
    Node* rel = Resolve(relative);
    Node* parent = top_.get();
    Node* before = nullptr;  // null: append as last child of parent
    if (rel) {
        switch (relationship) {
            case Relationship::Child:
                parent = rel;
                break;
            case Relationship::Next:
                parent = rel->parent_;
                before = rel->next_;
                break;
            case Relationship::Previous:
                parent = rel->parent_;
                before = rel;
                break;
            case Relationship::First:
                parent = rel->parent_;
                before = parent->first_child_;
                break;
            case Relationship::Last:
                parent = rel->parent_;
                break;
            default:
                throw Error(hr::kInvalidRelationship, u"Invalid relationship");
        }
    }

    // Room first (growing geometrically), so that nothing below can fail half-way.
    const size_t i = slots_.size() + 1;
    if (slots_.capacity() < i) slots_.reserve(2 * i);
    if (fenwick_.capacity() < i + 1) fenwick_.reserve(2 * i + 1);
    Node* node = NewNode();
    node->key_.assign(key);
    node->text_ = std::move(text);
    node->slot_ = slots_.size();
    // Fenwick append: the new cell covers (i - lowbit(i), i], of which only slot i is new.
    const int32_t cell = 1 + Prefix(i - 1) - Prefix(i - LowBit(i));
    fenwick_.push_back(cell);
    slots_.push_back(node);
    ++live_;
    if (!node->key_.empty()) IndexKey(node);
    Link(node, parent, before);
    if (recorder_) recorder_->NodeAdded(*node);
    if (observer_) observer_->OnNodeAdded(*node);
    return *node;
}

Node& NodeTree::Item(StringView key) {
    Node* n = Find(key);
    if (!n) ThrowNotFound();
    return *n;
}

Node& NodeTree::Item(int32_t index) {
    if (index < 1 || index > live_) throw Error(hr::kIndexOutOfBounds, u"Index out of bounds");
    // Without dead slots the slot is the index (the common case while loading).
    if (static_cast<size_t>(live_) == slots_.size()) return *slots_[static_cast<size_t>(index - 1)];
    return *slots_[KthSlot(index)];
}

Node* NodeTree::Find(StringView key) const {
    if (key.empty() || keys_.empty()) return nullptr;
    const size_t h = HashKey(key);
    const size_t mask = keys_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const KeySlot& s = keys_[i];
        if (!s.node) return nullptr;
        if (s.hash == h && s.node->key_ == key) return s.node;
    }
}

int32_t NodeTree::IndexOf(const Node& node) const {
    if (static_cast<size_t>(live_) == slots_.size()) return static_cast<int32_t>(node.slot_ + 1);
    return Prefix(node.slot_ + 1);
}

Node& NodeTree::Root(Node& node) const {
    Node* n = &node;
    while (n->Parent()) n = n->parent_;
    return *n;
}

void NodeTree::Link(Node* node, Node* parent, Node* before) {
    node->parent_ = parent;
    if (before) {
        node->next_ = before;
        node->prev_ = before->prev_;
        if (before->prev_)
            before->prev_->next_ = node;
        else
            parent->first_child_ = node;
        before->prev_ = node;
    } else {
        node->prev_ = parent->last_child_;
        node->next_ = nullptr;
        if (parent->last_child_)
            parent->last_child_->next_ = node;
        else
            parent->first_child_ = node;
        parent->last_child_ = node;
    }
    ++parent->children_;
}

void NodeTree::Unlink(Node* node) {
    Node* parent = node->parent_;
    if (node->prev_)
        node->prev_->next_ = node->next_;
    else
        parent->first_child_ = node->next_;
    if (node->next_)
        node->next_->prev_ = node->prev_;
    else
        parent->last_child_ = node->prev_;
    --parent->children_;
    node->prev_ = node->next_ = nullptr;
}

void NodeTree::Remove(Node& node) {
    // Where the selection goes when it is inside the removed subtree.
    Node* new_selection = nullptr;
    bool selection_moves = false;
    for (Node* s = selected_; s; s = s->Parent()) {
        if (s == &node) {
            selection_moves = true;
            if (node.next_)
                new_selection = node.next_;
            else if (node.Parent())
                new_selection = node.parent_;
            else
                new_selection = node.prev_;
            break;
        }
    }

    if (recorder_) recorder_->NodeRemoving(node);
    if (observer_) observer_->OnNodeRemoving(node);
    Unlink(&node);

    // Free the subtree, depth first, without recursion.
    std::vector<Node*> pending{&node};
    while (!pending.empty()) {
        Node* n = pending.back();
        pending.pop_back();
        for (Node* c = n->first_child_; c; c = c->next_) pending.push_back(c);
        if (!n->key_.empty()) UnindexKey(n);
        Update(n->slot_ + 1, -1);
        --live_;
        slots_[n->slot_] = nullptr;
        Recycle(n);
    }

    if (selection_moves) {
        selected_ = nullptr;
        if (new_selection)
            SetSelected(*new_selection, true);
        else if (observer_)
            observer_->OnSelectionChanged(nullptr);
    }
    if (slots_.size() - static_cast<size_t>(live_) > static_cast<size_t>(live_) + 1024) Compact();
}

void NodeTree::Clear() {
    keys_.clear();
    key_count_ = 0;
    slots_.clear();
    pool_.clear();
    free_ = nullptr;
    fenwick_.assign(1, 0);
    live_ = 0;
    selected_ = nullptr;
    top_->first_child_ = top_->last_child_ = nullptr;
    top_->children_ = 0;
    if (recorder_) recorder_->TreeCleared();
    if (observer_) observer_->OnTreeCleared();
}

void NodeTree::SetSelected(Node& node, bool selected) {
    if (!selected) {
        if (selected_ == &node) {
            node.selected_ = false;
            selected_ = nullptr;
            if (observer_) observer_->OnSelectionChanged(nullptr);
        }
        return;
    }
    for (Node* a = node.Parent(); a; a = a->Parent())
        if (!a->expanded_) SetExpanded(*a, true);
    if (selected_ == &node) return;
    if (selected_) selected_->selected_ = false;
    selected_ = &node;
    node.selected_ = true;
    if (observer_) observer_->OnSelectionChanged(&node);
}

void NodeTree::SetText(Node& node, String text) {
    String old = std::exchange(node.text_, std::move(text));
    if (recorder_ && old != node.text_) recorder_->NodeEdited(node, NodeField::Text, old, false);
    if (observer_) observer_->OnNodeChanged(node, NodeField::Text);
}

void NodeTree::SetTag(Node& node, String tag) {
    String old = std::exchange(node.tag_, std::move(tag));
    if (recorder_ && old != node.tag_) recorder_->NodeEdited(node, NodeField::Tag, old, false);
    if (observer_) observer_->OnNodeChanged(node, NodeField::Tag);
}

void NodeTree::SetBold(Node& node, bool bold) {
    const bool old = std::exchange(node.bold_, bold);
    if (recorder_ && old != bold) recorder_->NodeEdited(node, NodeField::Bold, String(), old);
    if (observer_) observer_->OnNodeChanged(node, NodeField::Bold);
}

void NodeTree::SetChecked(Node& node, bool checked) {
    const bool old = std::exchange(node.checked_, checked);
    if (recorder_ && old != checked) recorder_->NodeEdited(node, NodeField::Checked, String(), old);
    if (observer_) observer_->OnNodeChanged(node, NodeField::Checked);
}

void NodeTree::SetExpanded(Node& node, bool expanded) {
    node.expanded_ = expanded;
    if (observer_) observer_->OnNodeChanged(node, NodeField::Expanded);
}

size_t NodeTree::HashKey(StringView key) {
    return std::hash<StringView>()(key);
}

void NodeTree::IndexKey(Node* node) {
    if ((key_count_ + 1) * 8 > keys_.size() * 5) {
        // Grow (doubling) and put every key back.
        std::vector<KeySlot> old(keys_.empty() ? 16 : keys_.size() * 2);
        old.swap(keys_);
        const size_t mask = keys_.size() - 1;
        for (const KeySlot& s : old) {
            if (!s.node) continue;
            size_t i = s.hash & mask;
            while (keys_[i].node) i = (i + 1) & mask;
            keys_[i] = s;
        }
    }
    const size_t h = HashKey(node->key_);
    const size_t mask = keys_.size() - 1;
    size_t i = h & mask;
    while (keys_[i].node) i = (i + 1) & mask;
    keys_[i] = KeySlot{h, node};
    ++key_count_;
}

void NodeTree::UnindexKey(const Node* node) {
    const size_t mask = keys_.size() - 1;
    size_t i = HashKey(node->key_) & mask;
    while (keys_[i].node != node) i = (i + 1) & mask;
    // Backward-shift deletion: pull later entries of the probe run into the hole, so that no
    // lookup ever has to step over a deleted slot.
    for (size_t j = (i + 1) & mask; keys_[j].node; j = (j + 1) & mask) {
        const size_t home = keys_[j].hash & mask;
        // Move j into the hole at i unless its home lies cyclically in (i, j].
        const bool stays = i <= j ? (home > i && home <= j) : (home > i || home <= j);
        if (!stays) {
            keys_[i] = keys_[j];
            i = j;
        }
    }
    keys_[i] = KeySlot{};
    --key_count_;
}

int32_t NodeTree::Prefix(size_t i) const {
    int32_t sum = 0;
    for (; i > 0; i -= LowBit(i)) sum += fenwick_[i];
    return sum;
}

void NodeTree::Update(size_t i, int32_t delta) {
    for (; i < fenwick_.size(); i += LowBit(i)) fenwick_[i] += delta;
}

size_t NodeTree::KthSlot(int32_t k) const {
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

void NodeTree::Compact() {
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
