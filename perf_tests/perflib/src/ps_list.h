// psList: the program's doubly linked list, used for every collection.
#ifndef PS_LIST_H
#define PS_LIST_H

#include <cstddef>
#include <iterator>

// A circular list around a sentinel node that holds no value, so T needs no default constructor
// and end() is always valid. The default constructor is constexpr: process-wide objects built on
// a list (the streams, the tracer) are constant-initialised and usable from any static
// initialiser, whatever the order of the sources.
template <class T>
class psList {
    struct Node {
        Node* prev;
        Node* next;
    };
    struct Item : Node {
        explicit Item(const T& v) : Node{nullptr, nullptr}, value(v) {}
        T value;
    };

public:
    typedef T value_type;

    class const_iterator;

    class iterator {
    public:
        typedef std::bidirectional_iterator_tag iterator_category;
        typedef T value_type;
        typedef std::ptrdiff_t difference_type;
        typedef T* pointer;
        typedef T& reference;

        iterator() : m_node(nullptr) {}
        T& operator*() const { return static_cast<Item*>(m_node)->value; }
        T* operator->() const { return &static_cast<Item*>(m_node)->value; }
        iterator& operator++()
        {
            m_node = m_node->next;
            return *this;
        }
        iterator operator++(int)
        {
            iterator old = *this;
            m_node = m_node->next;
            return old;
        }
        iterator& operator--()
        {
            m_node = m_node->prev;
            return *this;
        }
        iterator operator--(int)
        {
            iterator old = *this;
            m_node = m_node->prev;
            return old;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.m_node == b.m_node; }
        friend bool operator!=(const iterator& a, const iterator& b) { return a.m_node != b.m_node; }

    private:
        friend class psList;
        friend class const_iterator;
        explicit iterator(Node* node) : m_node(node) {}
        Node* m_node;
    };

    class const_iterator {
    public:
        typedef std::bidirectional_iterator_tag iterator_category;
        typedef T value_type;
        typedef std::ptrdiff_t difference_type;
        typedef const T* pointer;
        typedef const T& reference;

        const_iterator() : m_node(nullptr) {}
        const_iterator(const iterator& it) : m_node(it.m_node) {}
        const T& operator*() const { return static_cast<const Item*>(m_node)->value; }
        const T* operator->() const { return &static_cast<const Item*>(m_node)->value; }
        const_iterator& operator++()
        {
            m_node = m_node->next;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            m_node = m_node->next;
            return old;
        }
        const_iterator& operator--()
        {
            m_node = m_node->prev;
            return *this;
        }
        const_iterator operator--(int)
        {
            const_iterator old = *this;
            m_node = m_node->prev;
            return old;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.m_node == b.m_node; }
        friend bool operator!=(const const_iterator& a, const const_iterator& b) { return a.m_node != b.m_node; }

    private:
        friend class psList;
        explicit const_iterator(const Node* node) : m_node(const_cast<Node*>(node)) {}
        Node* m_node;
    };

    constexpr psList() : m_head{&m_head, &m_head}, m_size(0) {}
    psList(const psList& other) : psList()
    {
        for (const_iterator it = other.begin(); it != other.end(); ++it) push_back(*it);
    }
    psList(psList&& other) noexcept : psList() { swap(other); }
    psList& operator=(const psList& other)
    {
        if (this != &other) {
            psList copy(other);
            swap(copy);
        }
        return *this;
    }
    psList& operator=(psList&& other) noexcept
    {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    // Leaves an empty, self-linked list behind, so a late use during exit finds no dangling nodes.
    virtual ~psList() { clear(); }

    iterator begin() { return iterator(m_head.next); }
    iterator end() { return iterator(&m_head); }
    const_iterator begin() const { return const_iterator(m_head.next); }
    const_iterator end() const { return const_iterator(&m_head); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // Callers keep these to non-empty lists.
    T& front() { return static_cast<Item*>(m_head.next)->value; }
    const T& front() const { return static_cast<const Item*>(m_head.next)->value; }
    T& back() { return static_cast<Item*>(m_head.prev)->value; }
    const T& back() const { return static_cast<const Item*>(m_head.prev)->value; }

    // Inserts before pos; returns the new element.
    iterator insert(const_iterator pos, const T& value)
    {
        Item* item = new Item(value);
        link(pos.m_node, item);
        return iterator(item);
    }
    // Returns the element after the erased one.
    iterator erase(const_iterator pos)
    {
        Node* node = pos.m_node;
        Node* next = node->next;
        node->prev->next = next;
        next->prev = node->prev;
        --m_size;
        delete static_cast<Item*>(node);
        return iterator(next);
    }
    void clear()
    {
        Node* node = m_head.next;
        while (node != &m_head) {
            Node* next = node->next;
            delete static_cast<Item*>(node);
            node = next;
        }
        m_head.prev = m_head.next = &m_head;
        m_size = 0;
    }
    void push_back(const T& value) { insert(end(), value); }
    void push_front(const T& value) { insert(begin(), value); }
    void pop_front() { erase(begin()); }
    void pop_back() { erase(iterator(m_head.prev)); }

    void swap(psList& other)
    {
        if (this == &other) return;
        Node* first = m_head.next;
        Node* last = m_head.prev;
        bool wasEmpty = empty();
        adopt(other.m_head.next, other.m_head.prev, other.empty());
        other.adopt(first, last, wasEmpty);
        int size = m_size;
        m_size = other.m_size;
        other.m_size = size;
    }

    // Stable merge sort: elements that compare equal keep their order. less(a, b) is true when a
    // must come before b.
    template <class Less>
    void sort(Less less)
    {
        if (m_size < 2) return;
        m_head.prev->next = nullptr;
        Node* chain = sortChain(m_head.next, m_size, less);
        relink(chain);
    }

    // Merges the sorted list other into this sorted list; other ends empty. Of equal elements,
    // those of this list come first, each list's keeping its order.
    template <class Less>
    void merge(psList& other, Less less)
    {
        if (this == &other || other.empty()) return;
        Node* mine = nullptr;
        if (!empty()) {
            m_head.prev->next = nullptr;
            mine = m_head.next;
        }
        other.m_head.prev->next = nullptr;
        Node* chain = mergeChains(mine, other.m_head.next, less);
        m_size += other.m_size;
        other.m_head.prev = other.m_head.next = &other.m_head;
        other.m_size = 0;
        relink(chain);
    }

private:
    void link(Node* before, Node* node)
    {
        node->next = before;
        node->prev = before->prev;
        before->prev->next = node;
        before->prev = node;
        ++m_size;
    }
    void adopt(Node* first, Node* last, bool none)
    {
        if (none) {
            m_head.prev = m_head.next = &m_head;
            return;
        }
        m_head.next = first;
        m_head.prev = last;
        first->prev = &m_head;
        last->next = &m_head;
    }
    // Rebuilds the ring from a null-terminated chain linked through next.
    void relink(Node* chain)
    {
        Node* prev = &m_head;
        for (Node* node = chain; node; node = node->next) {
            prev->next = node;
            node->prev = prev;
            prev = node;
        }
        prev->next = &m_head;
        m_head.prev = prev;
    }
    static const T& valueOf(const Node* node) { return static_cast<const Item*>(node)->value; }
    // Takes from b only when b's head is strictly less, which keeps the merge stable.
    template <class Less>
    static Node* mergeChains(Node* a, Node* b, Less& less)
    {
        Node start{nullptr, nullptr};
        Node* tail = &start;
        while (a && b) {
            if (less(valueOf(b), valueOf(a))) {
                tail->next = b;
                b = b->next;
            } else {
                tail->next = a;
                a = a->next;
            }
            tail = tail->next;
        }
        tail->next = a ? a : b;
        return start.next;
    }
    template <class Less>
    static Node* sortChain(Node* chain, int count, Less& less)
    {
        if (count < 2) {
            chain->next = nullptr;
            return chain;
        }
        int half = count / 2;
        Node* mid = chain;
        for (int i = 1; i < half; ++i) mid = mid->next;
        Node* second = mid->next;
        mid->next = nullptr;
        Node* left = sortChain(chain, half, less);
        Node* right = sortChain(second, count - half, less);
        return mergeChains(left, right, less);
    }

    Node m_head;
    int m_size;
};

#endif
