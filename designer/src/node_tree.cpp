#include "tq/designer/node_tree.h"

#include <string>
#include <utility>

#include "tq/designer/errors.h"
#include "tq/error.h"

namespace tq::designer {

namespace {

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

void NodeTree::Place(Node* rel, Relationship relationship, Node*& parent, Node*& before) {
    if (!rel) return;
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

Node& NodeTree::Add(const Relative& relative, Relationship relationship, StringView key,
                    String text) {
    if (!key.empty() && Find(key))
        throw Error(hr::kKeyNotUnique, u"Key is not unique in collection");
    Node* parent = top_.get();
    Node* before = nullptr;  // null: append as last child of parent
    Place(Resolve(relative), relationship, parent, before);

    // Room first, so that nothing below can fail half-way.
    order_.Reserve();
    Node* node = NewNode();
    node->key_.assign(key);
    node->text_ = std::move(text);
    order_.Append(node);
    if (!node->key_.empty()) keys_.Insert(node);
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
    if (index < 1 || index > order_.Count())
        throw Error(hr::kIndexOutOfBounds, u"Index out of bounds");
    return *order_.At(index);
}

Node* NodeTree::Find(StringView key) const {
    return keys_.Find(key);
}

int32_t NodeTree::IndexOf(const Node& node) const {
    return order_.IndexOf(node);
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
        if (!n->key_.empty()) keys_.Erase(n);
        order_.Erase(n);
        Recycle(n);
    }

    if (selection_moves) {
        selected_ = nullptr;
        if (new_selection)
            SetSelected(*new_selection, true);
        else if (observer_)
            observer_->OnSelectionChanged(nullptr);
    }
    order_.Trim();
}

void NodeTree::Clear() {
    keys_.Clear();
    order_.Clear();
    pool_.clear();
    free_ = nullptr;
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

}  // namespace tq::designer
