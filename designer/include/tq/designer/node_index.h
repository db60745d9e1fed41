// The two indexes of a NodeTree: nodes by key, and nodes by collection index (add order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tq/ustring.h"

namespace tq::designer {

class Node;

// Nodes by key: a flat open-addressing table (linear probing, the hash kept beside the node
// pointer, backward-shift deletion, a power-of-two size at most 5/8 full), so that a lookup is
// one or two cache lines, with no allocation per key.  Keys are compared exactly; the table
// reads them from the nodes, which must not change a key while it is indexed.
class KeyIndex {
  public:
    Node* Find(StringView key) const;  // null when none (and for "")
    void Insert(Node* node);           // node's key is not empty and not yet indexed
    void Erase(const Node* node);      // node is indexed
    void Clear();

  private:
    struct Slot {
        size_t hash = 0;
        Node* node = nullptr;  // null: free
    };
    static size_t Hash(StringView key);
    void Grow();

    std::vector<Slot> slots_;
    size_t count_ = 0;
};

// Nodes by collection index.  The nodes sit in a vector in the order they were added (slot =
// add sequence) and a Fenwick tree counts the live slots, so "index of a node" is a prefix sum
// and "node at index i" a k-th search, both O(log n); adding is an O(log n) append.  A removed
// node leaves a dead slot; the vector is compacted (O(n), slots renumbered) once the dead slots
// outnumber the live ones, so the cost stays amortised O(log n) per operation and the memory
// proportional to the live nodes.  A node's slot is kept in the node.
class OrderIndex {
  public:
    OrderIndex() { fenwick_.push_back(0); }

    int32_t Count() const { return live_; }
    // Room for one more node, so that the Append that follows cannot fail.
    void Reserve();
    // The node takes the last index.
    void Append(Node* node) noexcept;
    void Erase(const Node* node);
    // Compacts when the dead slots have come to outnumber the live ones.
    void Trim();
    void Clear();

    Node* At(int32_t index) const;  // 1-based, 1 <= index <= Count()
    int32_t IndexOf(const Node& node) const;

    // Calls f(Node&) for every node in collection order.
    template <class F>
    void ForEach(F&& f) const {
        for (Node* n : slots_)
            if (n) f(*n);
    }

  private:
    int32_t Prefix(size_t i) const;  // live slots among the first i
    void Update(size_t i, int32_t delta);
    size_t KthSlot(int32_t k) const;  // slot holding the k-th live node
    void Compact();

    std::vector<Node*> slots_;      // live nodes by add sequence; null for a removed one
    std::vector<int32_t> fenwick_;  // 1-based over slots_
    int32_t live_ = 0;
};

}  // namespace tq::designer
