#include "engine/order_tree.h"

#include <cassert>

namespace engine {

OrderTree::OrderTree() : random_state_(0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(this)) {}

uint32_t OrderTree::NextPriority() {
  // xorshift64*: the priorities only need to be independent of the order of insertion.
  random_state_ ^= random_state_ >> 12;
  random_state_ ^= random_state_ << 25;
  random_state_ ^= random_state_ >> 27;
  return static_cast<uint32_t>((random_state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

int32_t OrderTree::NewNode(int64_t rowid) {
  const int32_t node = NodeCount();
  rowid_.push_back(rowid);
  left_.push_back(-1);
  right_.push_back(-1);
  parent_.push_back(-1);
  priority_.push_back(NextPriority());
  count_.push_back(1);
  alive_.push_back(1);
  return node;
}

// Turns the edge between `node` and its parent around, keeping the sequence order; the subtree
// counts of both are recomputed, those above do not change.
void OrderTree::RotateUp(int32_t node) {
  const int32_t p = parent_[node];
  const int32_t g = parent_[p];
  assert(p >= 0);
  if (left_[p] == node) {
    const int32_t b = right_[node];
    left_[p] = b;
    if (b >= 0) parent_[b] = p;
    right_[node] = p;
  } else {
    const int32_t b = left_[node];
    right_[p] = b;
    if (b >= 0) parent_[b] = p;
    left_[node] = p;
  }
  parent_[p] = node;
  parent_[node] = g;
  if (g < 0)
    root_ = node;
  else if (left_[g] == p)
    left_[g] = node;
  else
    right_[g] = node;
  Pull(p);
  Pull(node);
}

void OrderTree::InsertBefore(int32_t node, int32_t before) {
  assert(!InSequence(node));
  assert(before < 0 || InSequence(before));
  left_[node] = right_[node] = parent_[node] = -1;
  count_[node] = alive_[node];
  if (root_ < 0) {
    root_ = node;
    return;
  }
  // The new node becomes the in-order predecessor of `before` (or the last node): the right
  // end of `before`'s left subtree, or its left child.
  int32_t at;
  if (before < 0) {
    at = root_;
    while (right_[at] >= 0) at = right_[at];
    right_[at] = node;
  } else if (left_[before] < 0) {
    at = before;
    left_[at] = node;
  } else {
    at = left_[before];
    while (right_[at] >= 0) at = right_[at];
    right_[at] = node;
  }
  parent_[node] = at;
  for (int32_t a = at; a >= 0; a = parent_[a]) count_[a] += alive_[node];
  while (parent_[node] >= 0 && priority_[parent_[node]] < priority_[node]) RotateUp(node);
}

void OrderTree::Detach(int32_t node) {
  assert(InSequence(node));
  // Rotate the node down to a leaf, always lifting the child of higher priority.
  while (left_[node] >= 0 || right_[node] >= 0) {
    const int32_t l = left_[node], r = right_[node];
    RotateUp(r < 0 || (l >= 0 && priority_[l] > priority_[r]) ? l : r);
  }
  const int32_t p = parent_[node];
  if (p < 0) {
    root_ = -1;
  } else {
    (left_[p] == node ? left_[p] : right_[p]) = -1;
    for (int32_t a = p; a >= 0; a = parent_[a]) count_[a] -= alive_[node];
  }
  parent_[node] = -1;
  count_[node] = alive_[node];
}

void OrderTree::Build(const std::vector<int32_t>& nodes) {
  for (int32_t n = 0; n < NodeCount(); ++n) {
    left_[n] = right_[n] = parent_[n] = -1;
    count_[n] = alive_[n];
  }
  root_ = -1;
  // A Cartesian tree over the priorities: the stack holds the right spine built so far.
  std::vector<int32_t> spine;
  for (const int32_t node : nodes) {
    int32_t last = -1;
    while (!spine.empty() && priority_[spine.back()] < priority_[node]) {
      last = spine.back();
      spine.pop_back();
    }
    left_[node] = last;
    if (last >= 0) parent_[last] = node;
    if (!spine.empty()) {
      right_[spine.back()] = node;
      parent_[node] = spine.back();
    }
    spine.push_back(node);
  }
  if (spine.empty()) return;
  root_ = spine.front();
  // Subtree counts, children before parents (an iterative post-order walk).
  std::vector<std::pair<int32_t, bool>> stack{{root_, false}};
  while (!stack.empty()) {
    auto [node, children_done] = stack.back();
    stack.pop_back();
    if (children_done) {
      Pull(node);
      continue;
    }
    stack.push_back({node, true});
    if (left_[node] >= 0) stack.push_back({left_[node], false});
    if (right_[node] >= 0) stack.push_back({right_[node], false});
  }
}

std::vector<int32_t> OrderTree::Sequence() const {
  std::vector<int32_t> out;
  std::vector<int32_t> stack;
  for (int32_t node = root_; node >= 0 || !stack.empty();) {
    while (node >= 0) {
      stack.push_back(node);
      node = left_[node];
    }
    node = stack.back();
    stack.pop_back();
    out.push_back(node);
    node = right_[node];
  }
  return out;
}

void OrderTree::SetLive(int32_t node, bool live) {
  const int delta = (live ? 1 : 0) - alive_[node];
  if (delta == 0) return;
  alive_[node] = live ? 1 : 0;
  if (!InSequence(node)) {
    count_[node] += delta;
    return;
  }
  for (int32_t a = node; a >= 0; a = parent_[a]) count_[a] += delta;
}

int32_t OrderTree::Rank(int32_t node) const {
  assert(InSequence(node));
  int32_t rank = Count(left_[node]);
  for (int32_t x = node; parent_[x] >= 0; x = parent_[x]) {
    const int32_t p = parent_[x];
    if (right_[p] == x) rank += Count(left_[p]) + alive_[p];
  }
  return rank;
}

int32_t OrderTree::Select(int32_t position) const {
  assert(position >= 0 && position < LiveCount());
  int32_t node = root_;
  for (;;) {
    const int32_t l = Count(left_[node]);
    if (position < l) {
      node = left_[node];
    } else if (position == l && alive_[node]) {
      return node;
    } else {
      position -= l + alive_[node];
      node = right_[node];
    }
  }
}

}  // namespace engine
