// An ordered sequence of nodes with positions: a treap (a binary search tree kept balanced by
// random priorities) whose order is the sequence order itself, not a key. Each node carries a row
// id and a live flag; dead nodes keep their place but count nowhere. Inserting before a node,
// detaching a node, the rank of a node among the live ones and the k-th live node each cost
// O(log n) expected; building from a whole sequence costs O(n). Node ids never change, so callers
// may hold them while the tree changes around them.
#pragma once

#include <cstdint>
#include <vector>

namespace engine {

class OrderTree {
 public:
  OrderTree();

  // A new live node that is in no tree position yet.
  int32_t NewNode(int64_t rowid);
  // Places the detached `node` right before `before`, or at the end when `before` is -1.
  void InsertBefore(int32_t node, int32_t before);
  // Takes `node` out of the sequence; it keeps its id, row id and live flag.
  void Detach(int32_t node);
  // Makes the sequence exactly `nodes` (each id once; ids left out are detached).
  void Build(const std::vector<int32_t>& nodes);
  // Every node in the sequence, in order (dead ones too).
  std::vector<int32_t> Sequence() const;

  void SetLive(int32_t node, bool live);
  bool IsLive(int32_t node) const { return alive_[node] != 0; }
  bool InSequence(int32_t node) const { return node == root_ || parent_[node] >= 0; }
  int64_t RowId(int32_t node) const { return rowid_[node]; }
  int32_t NodeCount() const { return static_cast<int32_t>(rowid_.size()); }
  int32_t LiveCount() const { return Count(root_); }
  // Live nodes before `node` in the sequence (`node` must be in it).
  int32_t Rank(int32_t node) const;
  // The live node at 0-based `position` (0 <= position < LiveCount()).
  int32_t Select(int32_t position) const;

 private:
  int32_t Count(int32_t node) const { return node < 0 ? 0 : count_[node]; }
  void Pull(int32_t node) { count_[node] = alive_[node] + Count(left_[node]) + Count(right_[node]); }
  void RotateUp(int32_t node);
  uint32_t NextPriority();

  int32_t root_ = -1;
  std::vector<int64_t> rowid_;
  std::vector<int32_t> left_, right_, parent_;
  std::vector<uint32_t> priority_;
  std::vector<int32_t> count_;  // live nodes in the subtree
  std::vector<uint8_t> alive_;
  uint64_t random_state_;
};

}  // namespace engine
