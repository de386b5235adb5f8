#include "ps_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Keyed {
    int key;
    char tag;
};

bool byKey(const Keyed& a, const Keyed& b) { return a.key < b.key; }

std::string tags(const psList<Keyed>& list)
{
    std::string text;
    for (psList<Keyed>::const_iterator it = list.begin(); it != list.end(); ++it) text += it->tag;
    return text;
}

std::vector<int> forward(const psList<int>& list)
{
    std::vector<int> values;
    for (psList<int>::const_iterator it = list.begin(); it != list.end(); it++) values.push_back(*it);
    return values;
}

std::vector<int> backward(const psList<int>& list)
{
    std::vector<int> values;
    psList<int>::const_iterator it = list.end();
    while (it != list.begin()) values.push_back(*--it);
    return values;
}

psList<int> listOf(std::initializer_list<int> values)
{
    psList<int> list;
    for (int v : values) list.push_back(v);
    return list;
}

} // namespace

TEST(PsList, IteratesBothWaysAndEditsInPlace)
{
    psList<int> list;
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.begin() == list.end());

    list.push_back(2);
    list.push_back(4);
    list.push_front(1);
    psList<int>::iterator four = list.begin();
    ++four;
    ++four;
    psList<int>::iterator three = list.insert(four, 3);
    EXPECT_EQ(3, *three);
    list.insert(list.end(), 5);
    EXPECT_EQ(5, list.size());
    EXPECT_EQ(1, list.front());
    EXPECT_EQ(5, list.back());
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), forward(list));
    EXPECT_EQ((std::vector<int>{5, 4, 3, 2, 1}), backward(list));

    psList<int>::iterator last = list.end();
    last--;
    EXPECT_EQ(5, *last);
    psList<int>::iterator afterThree = list.erase(three);
    EXPECT_EQ(4, *afterThree);
    EXPECT_TRUE(list.erase(last) == list.end());
    list.pop_front();
    EXPECT_EQ((std::vector<int>{2, 4}), forward(list));
    EXPECT_EQ((std::vector<int>{4, 2}), backward(list));
    *list.begin() = 7;
    EXPECT_EQ(7, list.front());

    list.clear();
    EXPECT_EQ(0, list.size());
    EXPECT_TRUE(list.begin() == list.end());
    list.push_back(9);
    EXPECT_EQ((std::vector<int>{9}), backward(list));
}

TEST(PsList, CopyIsDeepAndSwapExchangesContents)
{
    psList<int> a = listOf({1, 2, 3});
    psList<int> b(a);
    b.push_back(4);
    *b.begin() = 10;
    EXPECT_EQ((std::vector<int>{1, 2, 3}), forward(a));
    EXPECT_EQ((std::vector<int>{10, 2, 3, 4}), forward(b));

    psList<int> empty;
    a.swap(empty);
    EXPECT_TRUE(a.empty());
    EXPECT_EQ((std::vector<int>{1, 2, 3}), forward(empty));
    EXPECT_EQ((std::vector<int>{3, 2, 1}), backward(empty));

    empty.swap(b);
    EXPECT_EQ((std::vector<int>{10, 2, 3, 4}), forward(empty));
    EXPECT_EQ((std::vector<int>{3, 2, 1}), backward(b));
    EXPECT_EQ(4, empty.size());
    EXPECT_EQ(3, b.size());
    // Both rings still close on their own sentinels after the exchange.
    b.push_back(0);
    empty.push_front(-1);
    EXPECT_EQ((std::vector<int>{0, 3, 2, 1}), backward(b));
    EXPECT_EQ((std::vector<int>{-1, 10, 2, 3, 4}), forward(empty));

    a = b;
    b.clear();
    EXPECT_EQ((std::vector<int>{1, 2, 3, 0}), forward(a));
}

TEST(PsList, SortIsStableAndLinksBothDirections)
{
    psList<Keyed> list;
    const Keyed items[] = {{3, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}, {3, 'e'}, {2, 'f'}, {1, 'g'}, {0, 'h'}, {3, 'i'}};
    for (const Keyed& k : items) list.push_back(k);
    list.sort(byKey);
    EXPECT_EQ("hbdgcfaei", tags(list));
    std::string reversed;
    psList<Keyed>::iterator it = list.end();
    do {
        --it;
        reversed += it->tag;
    } while (it != list.begin());
    EXPECT_EQ("ieafcgdbh", reversed);
    EXPECT_EQ(9, list.size());

    psList<int> numbers;
    for (int i = 0; i < 1000; ++i) numbers.push_back((i * 7919) % 1000);
    numbers.sort([](const int& a, const int& b) { return a > b; });
    std::vector<int> sorted = forward(numbers);
    ASSERT_EQ(1000u, sorted.size());
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(999 - i, sorted[i]);

    psList<int> one = listOf({5});
    one.sort([](const int& a, const int& b) { return a < b; });
    EXPECT_EQ((std::vector<int>{5}), backward(one));
}

TEST(PsList, MergeKeepsThisListFirstAmongEquals)
{
    psList<Keyed> mine;
    psList<Keyed> theirs;
    const Keyed a[] = {{1, 'a'}, {2, 'b'}, {2, 'c'}, {5, 'd'}};
    const Keyed b[] = {{0, 'A'}, {2, 'B'}, {5, 'C'}, {7, 'D'}};
    for (const Keyed& k : a) mine.push_back(k);
    for (const Keyed& k : b) theirs.push_back(k);
    mine.merge(theirs, byKey);
    EXPECT_EQ("AabcBdCD", tags(mine));
    EXPECT_EQ(8, mine.size());
    EXPECT_TRUE(theirs.empty());
    EXPECT_EQ('D', mine.back().tag);
    psList<Keyed>::iterator last = mine.end();
    --last;
    --last;
    EXPECT_EQ('C', last->tag);

    psList<int> empty;
    psList<int> full = listOf({1, 2});
    empty.merge(full, [](const int& x, const int& y) { return x < y; });
    EXPECT_EQ((std::vector<int>{2, 1}), backward(empty));
    EXPECT_TRUE(full.empty());
}
