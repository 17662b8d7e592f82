#pragma once
// The owned collections of the monitors: items in index order, walked by an enumerator whose
// index starts at -1 (before the first item), or by a range-for.

#include <QDateTime>
#include <memory>
#include <vector>

template <typename Item> class TItemCollection
{
public:
    using ItemType = Item;

    int Count() const { return static_cast<int>(m_items.size()); }
    // The item at `index` (0-based), nullptr outside the list.
    Item* Items(int index) const
    {
        return index >= 0 && index < Count() ? m_items[static_cast<size_t>(index)].get() : nullptr;
    }
    Item* operator[](int index) const { return Items(index); }
    // The end of the last refresh, local time; invalid before the first.
    QDateTime LastUpdate() const { return m_lastUpdate; }

    class const_iterator
    {
    public:
        using Base = typename std::vector<std::unique_ptr<Item>>::const_iterator;
        explicit const_iterator(Base it) : m_it(it) {}
        Item* operator*() const { return m_it->get(); }
        const_iterator& operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        Base m_it;
    };
    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

protected:
    TItemCollection() = default;
    ~TItemCollection() = default;
    TItemCollection(const TItemCollection&) = delete;
    TItemCollection& operator=(const TItemCollection&) = delete;

    // Replaces the items (destroying the old ones) and stamps the refresh.
    void replaceItems(std::vector<std::unique_ptr<Item>> items)
    {
        m_items = std::move(items);
        m_lastUpdate = QDateTime::currentDateTime();
    }
    template <typename Pred> Item* findFirst(Pred pred) const
    {
        for (const auto& item : m_items)
            if (pred(*item))
                return item.get();
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<Item>> m_items;
    QDateTime m_lastUpdate;
};

// Walks a collection in index order: MoveNext steps on and says whether there was an item.
template <typename Collection> class TCollectionEnumerator
{
public:
    explicit TCollectionEnumerator(const Collection& collection) : m_collection(collection) {}
    bool MoveNext()
    {
        if (m_index >= m_collection.Count() - 1)
            return false;
        ++m_index;
        return true;
    }
    typename Collection::ItemType* Current() const { return m_collection.Items(m_index); }
    int Index() const { return m_index; }

private:
    const Collection& m_collection;
    int m_index = -1;
};
