// The page's undo and redo history: every change of the designed tree (nodes added and removed,
// their text, tag, Bold and Checked), grouped into steps, kept as the edits themselves.
//
// A step holds the node edits one command made, in order.  Taking it back applies their
// inverses, last first; doing it again applies them once more, first first.  Each edit names
// its nodes by key (keys are unique in the tree, and a node made again gets its old key back),
// so an edit applies to the tree exactly as it was when the edit was made.  Nothing is
// re-read or re-drawn wholesale: taking back a step costs what the step changed, and a view
// hears of it node by node through the tree's observer.
//
//   added node     -> key, text, parent and next sibling; taken back by removing it
//   removed subtree -> every node of it (key, text, tag, Bold, Checked, expanded) and its place;
//                     taken back by adding it again
//   edited field   -> the value before and after
//
// The history hears the tree through INodeTreeRecorder.  Changes made while no step is open
// (a caller working on the tree behind the page's handlers) make the history unusable, so it
// is forgotten; so does emptying the tree (loading a page).
#pragma once

#include <cstddef>
#include <vector>

#include "tq/designer/node_tree.h"
#include "tq/ustring.h"

namespace tq::designer {

class TreeHistory final : private INodeTreeRecorder {
  public:
    explicit TreeHistory(NodeTree& tree);
    ~TreeHistory();
    TreeHistory(const TreeHistory&) = delete;
    TreeHistory& operator=(const TreeHistory&) = delete;

    // A step is what the tree records between the outermost Open and its Close; `selected` is
    // the selected node then (null when none), which Undo and Redo give back.  A step that
    // changed nothing is not kept; a new step drops the steps that were taken back.
    void Open(const Node* selected);
    void Close(const Node* selected);

    // Edits recorded so far in the open step, and dropping those after `mark` (their changes
    // already undone by the caller).
    size_t Mark() const { return current_.edits.size(); }
    void Discard(size_t mark);

    // Forgets every step, and what the open step has recorded; the rest of an open step is
    // not recorded either.
    void Clear();

    bool CanUndo() const { return position_ > 0; }
    bool CanRedo() const { return position_ < steps_.size(); }
    // Takes back (does again) one step and returns the key of the node selected before (after)
    // it; nothing happens, and "" comes back, when there is no such step.
    String Undo();
    String Redo();

    // The tree as it is now is the one last applied (or loaded); Clean tells whether it still is.
    void MarkClean() { clean_ = position_; }
    bool Clean() const { return clean_ == position_; }
    size_t Steps() const { return steps_.size(); }

  private:
    struct Saved {
        String key, text, tag;
        bool bold = false, checked = false, expanded = false;
        size_t depth = 0;  // 0 for the subtree's top node
    };
    struct Edit {
        enum class Kind { Added, Removed, Edited } kind = Kind::Added;
        String key;                  // the node (the top of a removed subtree)
        String parent, before;       // its place: parent ("" at the top) and next sibling ("" last)
        String text;                 // Added: the text it was made with
        std::vector<Saved> subtree;  // Removed, in pre-order
        NodeField field = NodeField::Text;
        String oldText, newText;
        bool oldFlag = false, newFlag = false;
    };
    struct Step {
        std::vector<Edit> edits;
        String before, after;  // keys of the selected node
    };

    // INodeTreeRecorder
    void NodeAdded(const Node& node) override;
    void NodeRemoving(const Node& node) override;
    void NodeEdited(const Node& node, NodeField field, const String& oldText,
                    bool oldFlag) override;
    void TreeCleared() override;

    // Where a change comes from: the step being made, or an unrecorded change (null).
    Step* Recording();
    void Place(const Node& node, Edit& e) const;
    Node& AddAt(const String& parent, const String& before, const String& key, String text);
    void Apply(const Edit& e, bool forward);
    void SetField(Node& n, NodeField field, const String& text, bool flag);

    NodeTree& tree_;
    std::vector<Step> steps_;
    size_t position_ = 0;  // steps before it are done, from it on taken back
    static constexpr size_t kNever = static_cast<size_t>(-1);
    size_t clean_ = 0;
    Step current_;
    int open_ = 0;
    bool void_ = false;      // the open step is not recorded
    bool applying_ = false;  // Undo or Redo at work: their own changes are not recorded
};

}  // namespace tq::designer
