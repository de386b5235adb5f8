// The framework's doubly linked list: editing in place, deep copies and swaps, stable sort and merge.
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

// The tags forwards, then "/" and the tags backwards: both link directions at once.
std::string tags(const psList<Keyed>& list)
{
    std::string forward, backward;
    for (psList<Keyed>::const_iterator it = list.begin(); it != list.end(); ++it) forward += it->tag;
    for (psList<Keyed>::const_iterator it = list.end(); it != list.begin();) backward += (--it)->tag;
    return forward + "/" + backward;
}
psList<Keyed> listOf(const char* text, int key = 0)
{
    psList<Keyed> list;
    for (const char* c = text; *c; ++c) list.push_back(Keyed{key ? key : *c - '0', *c});
    return list;
}
} // namespace

TEST(PsList, EditsCopiesAndSwaps)
{
    psList<Keyed> list = listOf("24");
    list.push_front(Keyed{1, '1'});
    psList<Keyed>::iterator three = list.insert(--list.end(), Keyed{3, '3'});
    list.insert(list.end(), Keyed{5, '5'});
    EXPECT_EQ(tags(list), "12345/54321");
    EXPECT_EQ(list.erase(three)->tag, '4');
    list.pop_front();
    EXPECT_EQ(tags(list), "245/542");
    EXPECT_EQ(list.size(), 3);

    psList<Keyed> copy(list);
    copy.begin()->tag = 'x';
    psList<Keyed> other = listOf("ab");
    list.swap(other);
    other.push_back(Keyed{0, 'z'});
    list.push_front(Keyed{0, 'y'});
    EXPECT_EQ(tags(copy), "x45/54x");
    EXPECT_EQ(tags(other), "245z/z542");
    EXPECT_EQ(tags(list), "yab/bay");
    list.clear();
    EXPECT_EQ(tags(list), "/");
}

TEST(PsList, SortAndMergeKeepEqualsInOrder)
{
    psList<Keyed> list;
    for (Keyed k : {Keyed{3, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}, {3, 'e'}, {2, 'f'}, {1, 'g'}, {0, 'h'}, {3, 'i'}})
        list.push_back(k);
    list.sort(byKey);
    EXPECT_EQ(tags(list), "hbdgcfaei/ieafcgdbh");

    psList<Keyed> mine, theirs;
    for (Keyed k : {Keyed{1, 'a'}, {2, 'b'}, {2, 'c'}, {5, 'd'}}) mine.push_back(k);
    for (Keyed k : {Keyed{0, 'A'}, {2, 'B'}, {5, 'C'}, {7, 'D'}}) theirs.push_back(k);
    mine.merge(theirs, byKey);
    EXPECT_EQ(tags(mine), "AabcBdCD/DCdBcbaA");
    EXPECT_TRUE(theirs.empty());
    psList<Keyed> empty;
    empty.merge(mine, byKey);
    EXPECT_EQ(empty.size(), 8);
}
