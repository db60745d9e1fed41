// The designer's working tree: a node collection with the semantics of a tree-view control's
// Nodes collection, which the page's procedures are written against.
//
//  - Keys are unique in the whole tree (compared exactly, case included); an empty key means
//    "no key".  Key lookup is a hash lookup (KeyIndex, node_index.h).
//  - Every node also has a 1-based collection index: the order in which the nodes were added.
//    A new node always takes the last position, whatever its place in the tree, and removing
//    nodes shifts the indices of the later ones down, as a tree view's collection does
//    (OrderIndex, node_index.h: O(log n) both ways).
//  - Add takes an optional relative (a node, a key or an index) and a relationship: 4 = last
//    child of the relative, 3 = just before it, 2 = just after it (0 and 1, first and last
//    sibling, are there for completeness).  No relative: the last top-level node.
//  - Removing a node removes its whole subtree.  When the selected node goes, the selection
//    moves as the Windows tree view moves it: to the next sibling, else to the parent, else
//    (a top-level node) to the previous sibling.
//
// Storage: nodes live in a pool in the order they were made, so that a freshly loaded tree is
// laid out in memory in the order it is walked; a removed node goes back to the pool and is
// reused (with its string buffers) by the next add.
//
// Node pointers stay valid until their node is removed (the observer hears of it first) or the
// tree is cleared.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tq/designer/node_index.h"
#include "tq/ustring.h"

namespace tq::designer {

enum class Relationship : int16_t { First = 0, Last = 1, Next = 2, Previous = 3, Child = 4 };

// What OnNodeChanged reports.
enum class NodeField { Text, Tag, Bold, Checked, Expanded };

class NodeTree;

class Node {
  public:
    const String& Key() const { return key_; }
    const String& Text() const { return text_; }
    const String& Tag() const { return tag_; }
    bool Bold() const { return bold_; }
    bool Checked() const { return checked_; }
    bool Expanded() const { return expanded_; }
    bool Selected() const { return selected_; }

    int32_t Children() const { return children_; }  // direct children
    Node* Child() const { return first_child_; }    // first child, or null
    Node* LastChild() const { return last_child_; }
    Node* Next() const { return next_; }      // next sibling, or null after the last
    Node* Previous() const { return prev_; }  // previous sibling, or null
    Node* Parent() const;                     // null for a top-level node

    // Only a NodeTree makes nodes.
    class Passkey {
        friend class NodeTree;
        Passkey() = default;
    };
    explicit Node(Passkey) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

  private:
    friend class NodeTree;
    friend class OrderIndex;

    String key_, text_, tag_;
    bool bold_ = false, checked_ = false, expanded_ = false, selected_ = false;
    bool is_top_ = false;  // the tree's hidden top node
    int32_t children_ = 0;
    Node* parent_ = nullptr;  // the tree's hidden top node for top-level nodes
    Node* first_child_ = nullptr;
    Node* last_child_ = nullptr;
    Node* prev_ = nullptr;
    Node* next_ = nullptr;
    size_t slot_ = 0;  // position in the add-order vector
};

// Hears every change of the tree, so that a view can mirror it.  Calls are made after the
// change, except OnNodeRemoving, which comes before the node and its subtree go (their
// pointers are still valid during the call); no separate call is made for the descendants.
class INodeTreeObserver {
  public:
    virtual void OnNodeAdded(const Node& /*node*/) {}
    virtual void OnNodeRemoving(const Node& /*node*/) {}
    virtual void OnNodeChanged(const Node& /*node*/, NodeField /*field*/) {}
    virtual void OnTreeCleared() {}
    virtual void OnSelectionChanged(const Node* /*selected*/) {}

  protected:
    ~INodeTreeObserver() = default;
};

// Hears every change of the designed content of the tree (nodes, their text, tag, Bold and
// Checked; not the selection or the expanded state), so that the changes can be taken back:
// NodeAdded after the node is linked in, NodeRemoving before the subtree goes, NodeEdited after
// the field changed, with the value it had before (a string for Text and Tag, a flag for Bold
// and Checked).  Edits that leave the value as it was are not reported.
class INodeTreeRecorder {
  public:
    virtual void NodeAdded(const Node& node) = 0;
    virtual void NodeRemoving(const Node& node) = 0;
    virtual void NodeEdited(const Node& node, NodeField field, const String& oldText,
                            bool oldFlag) = 0;
    virtual void TreeCleared() = 0;

  protected:
    ~INodeTreeRecorder() = default;
};

class NodeTree {
  public:
    // Where Add puts a node: relative to a node given by pointer, key or index, or nowhere.
    class Relative {
      public:
        static Relative None() { return Relative(); }
        static Relative ByKey(String key) {
            Relative r;
            r.kind_ = Kind::Key;
            r.key_ = std::move(key);
            return r;
        }
        static Relative ByIndex(int32_t index) {
            Relative r;
            r.kind_ = Kind::Index;
            r.index_ = index;
            return r;
        }
        static Relative Of(Node& node) {
            Relative r;
            r.kind_ = Kind::Node;
            r.node_ = &node;
            return r;
        }

      private:
        friend class NodeTree;
        enum class Kind { None, Key, Index, Node } kind_ = Kind::None;
        String key_;
        int32_t index_ = 0;
        Node* node_ = nullptr;
    };

    NodeTree();
    ~NodeTree();
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;

    void SetObserver(INodeTreeObserver* observer) { observer_ = observer; }
    void SetRecorder(INodeTreeRecorder* recorder) { recorder_ = recorder; }

    // Adds a node and returns it; it takes the last collection index.  Errors (tq::Error):
    // key already used (kKeyNotUnique), relative not found (kElementNotFound /
    // kIndexOutOfBounds), relationship out of 0..4 (kInvalidRelationship).
    Node& Add(const Relative& relative, Relationship relationship, StringView key, String text);
    Node& Add(StringView key, String text) {
        return Add(Relative::None(), Relationship::Next, key, std::move(text));
    }

    int32_t Count() const { return order_.Count(); }

    Node& Item(StringView key);        // kElementNotFound when no node has the key
    Node& Item(int32_t index);         // 1-based; kIndexOutOfBounds
    Node* Find(StringView key) const;  // null when none (and for "")
    int32_t IndexOf(const Node& node) const;

    // Removes the node and its subtree.
    void Remove(Node& node);
    void Remove(StringView key) { Remove(Item(key)); }
    void Remove(int32_t index) { Remove(Item(index)); }
    void Clear();

    Node* FirstTop() const { return top_->first_child_; }  // first top-level node
    // The top-level ancestor of the node (the node itself at the top).
    Node& Root(Node& node) const;

    Node* SelectedItem() const { return selected_; }
    // Selected = true selects the node (the only selected one) and expands its ancestors so
    // that it shows, as selecting an item of a tree view does; false deselects it.
    void SetSelected(Node& node, bool selected);
    void SetText(Node& node, String text);
    void SetTag(Node& node, String tag);
    void SetBold(Node& node, bool bold);
    void SetChecked(Node& node, bool checked);
    void SetExpanded(Node& node, bool expanded);

    // Calls f(Node&) for every node in collection order.
    template <class F>
    void ForEach(F&& f) const {
        order_.ForEach(std::forward<F>(f));
    }

  private:
    Node* NewNode();
    void Recycle(Node* node);
    Node* Resolve(const Relative& relative);
    // Where a node added next to `rel` (null: none) goes: under `parent`, before `before`
    // (null: last).  Throws kInvalidRelationship for a relationship out of 0..4.
    static void Place(Node* rel, Relationship relationship, Node*& parent, Node*& before);
    void Link(Node* node, Node* parent, Node* before);  // before == null: append
    void Unlink(Node* node);

    std::unique_ptr<Node> top_;  // hidden parent of the top-level nodes
    std::deque<Node> pool_;      // every node ever made; removed ones are chained in free_
    Node* free_ = nullptr;
    KeyIndex keys_;
    OrderIndex order_;
    Node* selected_ = nullptr;
    INodeTreeObserver* observer_ = nullptr;
    INodeTreeRecorder* recorder_ = nullptr;
};

}  // namespace tq::designer
