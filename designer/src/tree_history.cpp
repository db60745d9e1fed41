#include "tq/designer/tree_history.h"

#include <utility>

namespace tq::designer {

namespace {

// Resets a flag when the scope ends, however it ends.
struct Flag {
    bool& f;
    explicit Flag(bool& flag) : f(flag) { f = true; }
    ~Flag() { f = false; }
};

const String& KeyOf(const Node* n) {
    static const String none;
    return n ? n->Key() : none;
}

}  // namespace

TreeHistory::TreeHistory(NodeTree& tree) : tree_(tree) {
    tree_.SetRecorder(this);
}

TreeHistory::~TreeHistory() {
    tree_.SetRecorder(nullptr);
}

void TreeHistory::Open(const Node* selected) {
    if (open_++ > 0) return;
    current_ = Step{};
    current_.before = KeyOf(selected);
    void_ = false;
}

void TreeHistory::Close(const Node* selected) {
    if (open_ == 0 || --open_ > 0) return;
    if (!void_ && !current_.edits.empty()) {
        current_.after = KeyOf(selected);
        steps_.resize(position_);
        if (clean_ != kNever && clean_ > position_) clean_ = kNever;  // that tree is gone
        steps_.push_back(std::move(current_));
        ++position_;
    }
    current_ = Step{};
    void_ = false;
}

void TreeHistory::Discard(size_t mark) {
    if (mark < current_.edits.size())
        current_.edits.erase(current_.edits.begin() + static_cast<std::ptrdiff_t>(mark),
                             current_.edits.end());
}

void TreeHistory::Clear() {
    steps_.clear();
    position_ = 0;
    clean_ = 0;
    current_.edits.clear();
    if (open_ > 0) void_ = true;
}

// ---- Recording -------------------------------------------------------------------------------

TreeHistory::Step* TreeHistory::Recording() {
    if (applying_) return nullptr;
    if (open_ == 0) {
        // A change behind the page's back: the steps no longer fit the tree.
        Clear();
        return nullptr;
    }
    return void_ ? nullptr : &current_;
}

void TreeHistory::Place(const Node& node, Edit& e) const {
    e.parent = KeyOf(node.Parent());
    e.before = KeyOf(node.Next());
}

void TreeHistory::NodeAdded(const Node& node) {
    Step* s = Recording();
    if (!s) return;
    Edit e;
    e.kind = Edit::Kind::Added;
    e.key = node.Key();
    e.text = node.Text();
    Place(node, e);
    // A node without a key cannot be found again: nothing of this step can be taken back.
    if (e.key.empty() || (node.Parent() && e.parent.empty()) || (node.Next() && e.before.empty()))
        return Clear();
    s->edits.push_back(std::move(e));
}

void TreeHistory::NodeRemoving(const Node& node) {
    Step* s = Recording();
    if (!s) return;
    Edit e;
    e.kind = Edit::Kind::Removed;
    e.key = node.Key();
    Place(node, e);
    // The subtree in pre-order, without recursion.
    std::vector<std::pair<const Node*, size_t>> pending{{&node, 0}};
    while (!pending.empty()) {
        const auto [n, depth] = pending.back();
        pending.pop_back();
        if (n->Key().empty()) return Clear();
        e.subtree.push_back(
            Saved{n->Key(), n->Text(), n->Tag(), n->Bold(), n->Checked(), n->Expanded(), depth});
        for (const Node* c = n->LastChild(); c; c = c->Previous())
            pending.emplace_back(c, depth + 1);
    }
    if ((node.Parent() && e.parent.empty()) || (node.Next() && e.before.empty())) return Clear();
    s->edits.push_back(std::move(e));
}

void TreeHistory::NodeEdited(const Node& node, NodeField field, const String& oldText,
                             bool oldFlag) {
    Step* s = Recording();
    if (!s) return;
    if (node.Key().empty()) return Clear();
    Edit e;
    e.kind = Edit::Kind::Edited;
    e.key = node.Key();
    e.field = field;
    switch (field) {
        case NodeField::Text:
            e.oldText = oldText;
            e.newText = node.Text();
            break;
        case NodeField::Tag:
            e.oldText = oldText;
            e.newText = node.Tag();
            break;
        case NodeField::Bold:
            e.oldFlag = oldFlag;
            e.newFlag = node.Bold();
            break;
        case NodeField::Checked:
            e.oldFlag = oldFlag;
            e.newFlag = node.Checked();
            break;
        case NodeField::Expanded:
            return;  // how the tree shows, not what it holds
    }
    s->edits.push_back(std::move(e));
}

void TreeHistory::TreeCleared() {
    if (!applying_) Clear();
}

// ---- Undo and redo ---------------------------------------------------------------------------

Node& TreeHistory::AddAt(const String& parent, const String& before, const String& key,
                         String text) {
    if (!before.empty())
        return tree_.Add(NodeTree::Relative::Of(tree_.Item(before)), Relationship::Previous, key,
                         std::move(text));
    if (!parent.empty())
        return tree_.Add(NodeTree::Relative::Of(tree_.Item(parent)), Relationship::Child, key,
                         std::move(text));
    return tree_.Add(NodeTree::Relative::None(), Relationship::Next, key, std::move(text));
}

void TreeHistory::SetField(Node& n, NodeField field, const String& text, bool flag) {
    switch (field) {
        case NodeField::Text:
            tree_.SetText(n, text);
            break;
        case NodeField::Tag:
            tree_.SetTag(n, text);
            break;
        case NodeField::Bold:
            tree_.SetBold(n, flag);
            break;
        case NodeField::Checked:
            tree_.SetChecked(n, flag);
            break;
        case NodeField::Expanded:
            break;
    }
}

void TreeHistory::Apply(const Edit& e, bool forward) {
    const bool add = (e.kind == Edit::Kind::Added) == forward;
    switch (e.kind) {
        case Edit::Kind::Added:
        case Edit::Kind::Removed:
            if (!add) {
                tree_.Remove(tree_.Item(e.key));
            } else if (e.kind == Edit::Kind::Added) {
                AddAt(e.parent, e.before, e.key, e.text);
            } else {
                // The subtree again, parents before children, then opened as it was.
                std::vector<Node*> path;
                std::vector<Node*> made;
                made.reserve(e.subtree.size());
                for (const Saved& s : e.subtree) {
                    path.resize(s.depth);
                    Node& n = s.depth == 0 ? AddAt(e.parent, e.before, s.key, s.text)
                                           : tree_.Add(NodeTree::Relative::Of(*path.back()),
                                                       Relationship::Child, s.key, s.text);
                    if (!s.tag.empty()) tree_.SetTag(n, s.tag);
                    if (s.bold) tree_.SetBold(n, true);
                    if (s.checked) tree_.SetChecked(n, true);
                    path.push_back(&n);
                    made.push_back(&n);
                }
                for (size_t i = 0; i < made.size(); ++i)
                    if (e.subtree[i].expanded) tree_.SetExpanded(*made[i], true);
            }
            break;
        case Edit::Kind::Edited:
            SetField(tree_.Item(e.key), e.field, forward ? e.newText : e.oldText,
                     forward ? e.newFlag : e.oldFlag);
            break;
    }
}

String TreeHistory::Undo() {
    if (!CanUndo()) return String();
    Flag applying(applying_);
    const Step& s = steps_[position_ - 1];
    try {
        for (auto e = s.edits.rbegin(); e != s.edits.rend(); ++e) Apply(*e, false);
    } catch (...) {
        Clear();  // the tree no longer matches the steps
        throw;
    }
    --position_;
    return s.before;
}

String TreeHistory::Redo() {
    if (!CanRedo()) return String();
    Flag applying(applying_);
    const Step& s = steps_[position_];
    try {
        for (const Edit& e : s.edits) Apply(e, true);
    } catch (...) {
        Clear();
        throw;
    }
    ++position_;
    return s.after;
}

}  // namespace tq::designer
