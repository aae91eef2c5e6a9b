// The builder's owning containers: an ordered list, a tree of lists, and a case-insensitively
// sorted text list. Items are held by std::unique_ptr, so freeing the list frees every item and
// whatever the item owns.
#pragma once

#include "string_helpers.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

template <class T> class CVcdList {
  public:
    using Items = std::vector<std::unique_ptr<T>>;

    CVcdList() = default;
    CVcdList(const CVcdList&) = delete;
    CVcdList& operator=(const CVcdList&) = delete;
    CVcdList(CVcdList&&) noexcept = default;
    CVcdList& operator=(CVcdList&&) noexcept = default;

    T* Append(std::unique_ptr<T> item) {
        if (!item) return nullptr;
        items_.push_back(std::move(item));
        return items_.back().get();
    }

    // Inserts before the first item for which compare(existing, new) > 0, so equal items keep
    // the order they were inserted in. `compare` returns <0, 0 or >0.
    template <class Compare> T* InsertSorted(std::unique_ptr<T> item, Compare compare) {
        if (!item) return nullptr;
        auto pos = std::find_if(items_.begin(), items_.end(), [&](const std::unique_ptr<T>& e) {
            return compare(*e, *item) > 0;
        });
        return items_.insert(pos, std::move(item))->get();
    }

    // The first item for which match(item) holds, or null.
    template <class Match> T* Find(Match match) const {
        for (const auto& e : items_)
            if (match(*e)) return e.get();
        return nullptr;
    }

    T* First() const { return items_.empty() ? nullptr : items_.front().get(); }
    T* Last() const { return items_.empty() ? nullptr : items_.back().get(); }
    // The item after `item`, or null when `item` is the last or not in this list.
    T* Next(const T* item) const {
        for (std::size_t i = 0; i + 1 < items_.size(); ++i)
            if (items_[i].get() == item) return items_[i + 1].get();
        return nullptr;
    }
    T* At(std::size_t index) const { return index < items_.size() ? items_[index].get() : nullptr; }
    std::size_t Size() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    void FreeAll() { items_.clear(); }

    typename Items::const_iterator begin() const { return items_.begin(); }
    typename Items::const_iterator end() const { return items_.end(); }

  private:
    Items items_;
};

template <class Node> class CVcdTreeNode;

// The children of one tree node; knows the node it belongs to.
template <class Node> class CVcdTree : public CVcdList<Node> {
  public:
    explicit CVcdTree(Node* owner) : owner_(owner) {}
    Node* Owner() const { return owner_; }

  private:
    Node* owner_;
};

// Base of a tree node type `Node` (which derives from CVcdTreeNode<Node> and holds the data):
// a parent link, an optional child tree created on first use, and a root flag.
template <class Node> class CVcdTreeNode {
  public:
    CVcdTreeNode() = default;
    CVcdTreeNode(const CVcdTreeNode&) = delete;
    CVcdTreeNode& operator=(const CVcdTreeNode&) = delete;
    virtual ~CVcdTreeNode() = default;

    Node* parent = nullptr;
    bool isRoot = false;

    const CVcdTree<Node>* Children() const { return children_.get(); }
    std::size_t ChildCount() const { return children_ ? children_->Size() : 0; }

    // Takes `child` into the sorted child list (see CVcdList::InsertSorted).
    template <class Compare> Node* InsertChild(std::unique_ptr<Node> child, Compare compare) {
        if (!child) return nullptr;
        child->parent = static_cast<Node*>(this);
        return Tree().InsertSorted(std::move(child), compare);
    }
    Node* AppendChild(std::unique_ptr<Node> child) {
        if (!child) return nullptr;
        child->parent = static_cast<Node*>(this);
        return Tree().Append(std::move(child));
    }

  private:
    CVcdTree<Node>& Tree() {
        if (!children_) children_ = std::make_unique<CVcdTree<Node>>(static_cast<Node*>(this));
        return *children_;
    }

    std::unique_ptr<CVcdTree<Node>> children_;
};

// Texts in case-insensitive ascending order; a new text goes before the first that compares
// greater, so equal texts keep their order.
class CSortedStrList {
  public:
    void Insert(std::string text) {
        auto pos = std::find_if(items_.begin(), items_.end(),
                                [&](const std::string& e) { return StrCaseCompare(e, text) > 0; });
        items_.insert(pos, std::move(text));
    }
    const std::string* First() const { return items_.empty() ? nullptr : &items_.front(); }
    const std::string* Last() const { return items_.empty() ? nullptr : &items_.back(); }
    const std::string* At(std::size_t index) const {
        return index < items_.size() ? &items_[index] : nullptr;
    }
    std::size_t Size() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    void FreeAll() { items_.clear(); }

    std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
    std::vector<std::string>::const_iterator end() const { return items_.end(); }

  private:
    std::vector<std::string> items_;
};
