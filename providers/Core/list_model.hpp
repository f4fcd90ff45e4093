/// @file Ordered, shared lists of objects that signal their changes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "providers/Core/object.hpp"

namespace Ombrix::Core {

/// The type-erased face of every ListModel: what generic code (JSON, cloning) needs.
class OMBRIX_PROVIDERS_EXPORT ListModelBase : public Object {
public:
    using ItemsChangedSignal = sigc::signal<void(unsigned position, unsigned removed, unsigned added)>;

    static const TypeInfo& static_type();
    const TypeInfo& type_info() const override { return static_type(); }

    virtual std::size_t get_n_items() const = 0;
    /// The item at `position`, or null past the end.
    virtual std::shared_ptr<Object> get_object(std::size_t position) const = 0;
    /// Appends when `item` is of the element class; false otherwise.
    virtual bool append_object(std::shared_ptr<Object> item) = 0;
    virtual void clear() = 0;
    /// The registered class of the elements, when it has one.
    virtual const TypeInfo* item_type() const = 0;
    /// A new empty list of the same element class.
    virtual std::shared_ptr<ListModelBase> new_empty() const = 0;

    /// Emitted after a change: at `position`, `removed` items went and `added` came.
    ItemsChangedSignal& signal_items_changed() { return m_items_changed; }
    void items_changed(unsigned position, unsigned removed, unsigned added) {
        m_items_changed.emit(position, removed, added);
    }

protected:
    ListModelBase() = default;

private:
    ItemsChangedSignal m_items_changed;
};

/// An ordered list of shared `T`s with an items-changed signal.
template <class T>
class ListModel final : public ListModelBase {
    OMBRIX_OBJECT_FACTORY_ACCESS;

public:
    using item_class = T;
    using value_type = std::shared_ptr<T>;
    using const_iterator = typename std::vector<std::shared_ptr<T>>::const_iterator;

    static std::shared_ptr<ListModel> create() { return make_object<ListModel>(); }
    static std::shared_ptr<ListModel> create(std::vector<std::shared_ptr<T>> items) {
        auto list = create();
        list->m_items = std::move(items);
        return list;
    }

    std::size_t size() const noexcept { return m_items.size(); }
    bool empty() const noexcept { return m_items.empty(); }
    const_iterator begin() const noexcept { return m_items.begin(); }
    const_iterator end() const noexcept { return m_items.end(); }
    const std::vector<std::shared_ptr<T>>& items() const noexcept { return m_items; }
    /// The item at `position`, or null past the end.
    std::shared_ptr<T> get(std::size_t position) const {
        return position < m_items.size() ? m_items[position] : nullptr;
    }
    const std::shared_ptr<T>& operator[](std::size_t position) const { return m_items[position]; }
    void reserve(std::size_t n) { m_items.reserve(n); }

    /// Appends and returns the new index.
    std::size_t append(std::shared_ptr<T> item) {
        m_items.push_back(std::move(item));
        const auto position = m_items.size() - 1;
        items_changed(static_cast<unsigned>(position), 0, 1);
        return position;
    }
    /// Inserts at `position` (clamped to the end) and returns the index.
    std::size_t insert(std::size_t position, std::shared_ptr<T> item) {
        position = std::min(position, m_items.size());
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(position), std::move(item));
        items_changed(static_cast<unsigned>(position), 0, 1);
        return position;
    }
    /// The index of `item` (identity), if present.
    std::optional<std::size_t> find(const std::shared_ptr<T>& item) const {
        auto it = std::find(m_items.begin(), m_items.end(), item);
        if (it == m_items.end()) return std::nullopt;
        return static_cast<std::size_t>(it - m_items.begin());
    }
    bool contains(const std::shared_ptr<T>& item) const { return find(item).has_value(); }
    /// Removes the first occurrence of `item` (identity); false when absent.
    bool remove(const std::shared_ptr<T>& item) {
        auto position = find(item);
        if (!position) return false;
        remove_at(*position);
        return true;
    }
    /// Removes and returns the item at `position`; null when out of range.
    std::shared_ptr<T> remove_at(std::size_t position) {
        if (position >= m_items.size()) return nullptr;
        auto item = std::move(m_items[position]);
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(position));
        items_changed(static_cast<unsigned>(position), 1, 0);
        return item;
    }
    /// Replaces the item at `position` (in range).
    void set(std::size_t position, std::shared_ptr<T> item) {
        if (position >= m_items.size()) return;
        m_items[position] = std::move(item);
        items_changed(static_cast<unsigned>(position), 1, 1);
    }
    /// Appends many at once, with one signal.
    void append_all(std::vector<std::shared_ptr<T>> items) {
        if (items.empty()) return;
        const auto position = m_items.size();
        const auto added = items.size();
        if (m_items.empty()) {
            m_items = std::move(items);
        } else {
            m_items.insert(m_items.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
        }
        items_changed(static_cast<unsigned>(position), 0, static_cast<unsigned>(added));
    }
    /// Takes the items out (without a signal), for callers that rebuild the list.
    std::vector<std::shared_ptr<T>> take_items() { return std::exchange(m_items, {}); }

    std::size_t get_n_items() const override { return m_items.size(); }
    std::shared_ptr<Object> get_object(std::size_t position) const override {
        if constexpr (std::is_base_of_v<Object, T>)
            return position < m_items.size() ? std::static_pointer_cast<Object>(m_items[position]) : nullptr;
        else
            return std::dynamic_pointer_cast<Object>(get(position));
    }
    bool append_object(std::shared_ptr<Object> item) override {
        auto typed = std::dynamic_pointer_cast<T>(item);
        if (item && !typed) return false;
        append(std::move(typed));
        return true;
    }
    void clear() override {
        const auto removed = m_items.size();
        m_items.clear();
        if (removed) items_changed(0, static_cast<unsigned>(removed), 0);
    }
    const TypeInfo* item_type() const override {
        if constexpr (HasStaticType<T>)
            return &T::static_type();
        else
            return nullptr;
    }
    std::shared_ptr<ListModelBase> new_empty() const override { return create(); }

private:
    ListModel() = default;
    std::vector<std::shared_ptr<T>> m_items;
};

}  // namespace Ombrix::Core
