#include "string_helpers.h"
#include "vcd_containers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Item {
    Item(int k, int t, int* f) : key(k), tag(t), freed(f) {}
    ~Item() { ++*freed; }
    int key;
    int tag;
    int* freed;
};

int ByKey(const Item& a, const Item& b) {
    return a.key - b.key;
}

TEST(CVcdList, SortedInsertKeepsEqualItemsInOrder) {
    int freed = 0;
    {
        CVcdList<Item> list;
        const int keys[] = {5, 1, 5, 3, 1, 5};
        for (int i = 0; i < 6; ++i)
            list.InsertSorted(std::make_unique<Item>(keys[i], i, &freed), ByKey);
        std::vector<std::pair<int, int>> got;
        for (const Item* it = list.First(); it; it = list.Next(it))
            got.emplace_back(it->key, it->tag);
        EXPECT_EQ(got, (std::vector<std::pair<int, int>>{
                           {1, 1}, {1, 4}, {3, 3}, {5, 0}, {5, 2}, {5, 5}}));
        EXPECT_EQ(list.Last()->tag, 5);
        EXPECT_EQ(list.At(2)->key, 3);
        EXPECT_EQ(list.At(6), nullptr);
        EXPECT_EQ(list.Next(list.Last()), nullptr);
        EXPECT_EQ(list.Find([](const Item& i) { return i.key == 3; })->tag, 3);
        EXPECT_EQ(list.Find([](const Item& i) { return i.key == 4; }), nullptr);
        list.Append(std::make_unique<Item>(0, 9, &freed));
        EXPECT_EQ(list.Last()->tag, 9) << "append ignores the order";
        EXPECT_EQ(list.Size(), 7u);
        list.FreeAll();
        EXPECT_EQ(freed, 7);
        EXPECT_TRUE(list.Empty());
        EXPECT_EQ(list.First(), nullptr);
        list.Append(std::make_unique<Item>(1, 1, &freed));
    }
    EXPECT_EQ(freed, 8) << "the list frees what it holds";
}

struct Node : CVcdTreeNode<Node> {
    std::string name;
    explicit Node(std::string n) : name(std::move(n)) {}
};

TEST(CVcdTree, ParentLinksAndOwner) {
    Node root("root");
    root.isRoot = true;
    auto cmp = [](const Node& a, const Node& b) { return a.name.compare(b.name); };
    Node* b = root.InsertChild(std::make_unique<Node>("b"), cmp);
    Node* a = root.InsertChild(std::make_unique<Node>("a"), cmp);
    Node* c = a->AppendChild(std::make_unique<Node>("c"));
    EXPECT_EQ(root.Children()->First(), a);
    EXPECT_EQ(root.Children()->Next(a), b);
    EXPECT_EQ(root.Children()->Owner(), &root);
    EXPECT_EQ(a->parent, &root);
    EXPECT_EQ(c->parent, a);
    EXPECT_EQ(a->Children()->Owner(), a);
    EXPECT_EQ(b->Children(), nullptr) << "child tree made on first use";
    EXPECT_EQ(b->ChildCount(), 0u);
    EXPECT_FALSE(a->isRoot);
}

TEST(CSortedStrList, CaseInsensitiveAscendingStable) {
    CSortedStrList list;
    for (const char* s : {"beta", "Alpha", "ALPHA", "gamma", "alpha", "_x", "Beta"})
        list.Insert(s);
    std::vector<std::string> got(list.begin(), list.end());
    EXPECT_EQ(got,
              (std::vector<std::string>{"_x", "Alpha", "ALPHA", "alpha", "beta", "Beta", "gamma"}));
    EXPECT_EQ(*list.First(), "_x");
    EXPECT_EQ(*list.Last(), "gamma");
    EXPECT_EQ(*list.At(4), "beta");
    EXPECT_EQ(list.At(7), nullptr);
    list.FreeAll();
    EXPECT_EQ(list.Size(), 0u);
}

TEST(StringHelpers, SplitJoinUpper) {
    struct {
        const char* text;
        std::vector<std::string> parts;
    } cases[] = {{"A/B/C", {"A", "B", "C"}}, {"A", {"A"}},      {"", {""}},
                 {"/A", {"", "A"}},          {"A/", {"A", ""}}, {"A//B", {"A", "", "B"}}};
    for (const auto& c : cases) {
        const auto parts = StrSplit(c.text, '/');
        EXPECT_EQ(parts, c.parts) << c.text;
        EXPECT_EQ(StrCount(parts), c.parts.size());
        EXPECT_EQ(StrJoin(parts, parts.size(), '/'), c.text);
    }
    const auto parts = StrSplit("A/B/C", '/');
    EXPECT_EQ(StrJoin(parts, 2, '/'), "A/B");
    EXPECT_EQ(StrJoin(parts, 0, '/'), "");
    EXPECT_EQ(StrJoin(parts, 9, '.'), "A.B.C");
    EXPECT_EQ(StrUpper("QuvoDisc 6.0(win32)_\xe9z"), "QUVODISC 6.0(WIN32)_\xe9Z");
    EXPECT_LT(StrCaseCompare("_", "a"), 0);
    EXPECT_LT(StrCaseCompare("ab", "ABC"), 0);
    EXPECT_EQ(StrCaseCompare("AbC", "aBc"), 0);
    EXPECT_EQ(ZeroAlloc(5), std::vector<std::uint8_t>(5, 0));
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(ByteCopy(bytes, 3), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(ByteCopy(nullptr, 3).empty());
}

} // namespace
