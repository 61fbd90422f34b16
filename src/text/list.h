// A growable array of values. Add fails, and the list stays as it was, when
// memory runs out: the program is built without exceptions. A list moves,
// but is never copied.
#pragma once

#include <new>
#include <utility>

template <typename T>
class List {
public:
    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    List(List&& other) noexcept { *this = std::move(other); }
    List& operator=(List&& other) noexcept {
        if (this != &other) {
            delete[] items_;
            items_ = other.items_;
            count_ = other.count_;
            capacity_ = other.capacity_;
            other.items_ = nullptr;
            other.count_ = other.capacity_ = 0;
        }
        return *this;
    }
    ~List() { delete[] items_; }

    bool Add(T value) {
        if (count_ == capacity_ && !Grow())
            return false;
        items_[count_++] = std::move(value);
        return true;
    }
    void Clear() { count_ = 0; }
    // Keeps the first count values.
    void Truncate(int count) {
        if (count < count_)
            count_ = count;
    }
    void RemoveLast() {
        if (count_ > 0)
            --count_;
    }
    int Count() const { return count_; }
    T& operator[](int i) { return items_[i]; }
    const T& operator[](int i) const { return items_[i]; }
    T* begin() { return items_; }
    T* end() { return items_ + count_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + count_; }

private:
    bool Grow() {
        const int capacity = capacity_ == 0 ? 8 : capacity_ * 2;
        T* grown = new (std::nothrow) T[capacity];
        if (grown == nullptr)
            return false;
        for (int i = 0; i < count_; ++i) grown[i] = std::move(items_[i]);
        delete[] items_;
        items_ = grown;
        capacity_ = capacity;
        return true;
    }

    T* items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};
