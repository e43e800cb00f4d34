// A part of a record that most records leave at its defaults, such as the
// actions a simple alarm does not use or every action of a script step but
// its own. It takes one pointer until something in it differs: a table of
// 100,000 alarms with ten steps each would otherwise carry every action of
// every alarm and step, some 650 MB.
//
// A value like any other: copies are deep, comparison compares the values,
// and a part left empty reads as the defaults. Writing through it (the
// non-const * and ->) gives it its own copy first.
#pragma once

#include <concepts>
#include <memory>

namespace ringmere {

template <class T>
class Sparse {
public:
    Sparse() = default;
    Sparse(const T& value) { *this = value; }  // NOLINT: stands for a T
    Sparse(const Sparse& other)
        : part_(other.part_ ? std::make_unique<T>(*other.part_) : nullptr) {}
    Sparse(Sparse&&) noexcept = default;
    Sparse& operator=(const Sparse& other) {
        if (this != &other) part_ = other.part_ ? std::make_unique<T>(*other.part_) : nullptr;
        return *this;
    }
    Sparse& operator=(Sparse&&) noexcept = default;
    // A template, so that `= {}` empties the part rather than being ambiguous.
    template <class U>
        requires std::same_as<U, T>
    Sparse& operator=(const U& value) {
        if (value == Defaults())
            part_.reset();
        else if (part_)
            *part_ = value;
        else
            part_ = std::make_unique<T>(value);
        return *this;
    }

    const T& operator*() const { return part_ ? *part_ : Defaults(); }
    const T* operator->() const { return &**this; }
    T& operator*() {
        if (!part_) part_ = std::make_unique<T>();
        return *part_;
    }
    T* operator->() { return &**this; }

    // Gives the memory back when the part holds only its defaults again.
    void Shrink() {
        if (part_ && *part_ == Defaults()) part_.reset();
    }

    bool operator==(const Sparse& other) const { return **this == *other; }

private:
    static const T& Defaults() {
        static const T defaults{};
        return defaults;
    }

    std::unique_ptr<T> part_;
};

}  // namespace ringmere
