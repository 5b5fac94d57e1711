// Small sets over an enumeration, the framework's "set of" types: bit i holds
// the enumerator of value i. Bits is the storage, wide enough for the values.
#pragma once

#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

template <class E, class Bits = std::uint64_t> class TSet {
    static_assert(std::is_enum_v<E>, "TSet holds enumerators");

public:
    using Element = E;
    using Storage = Bits;

    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items) {
        for (E e : Items)
            FBits |= Bit(e);
    }
    static constexpr TSet FromInt(Bits Value) {
        TSet s;
        s.FBits = Value;
        return s;
    }
    constexpr Bits ToInt() const { return FBits; }

    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E e) {
        FBits |= Bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        FBits &= static_cast<Bits>(~Bit(e));
        return *this;
    }
    constexpr TSet& operator<<(E e) { return Include(e); }
    constexpr TSet& operator>>(E e) { return Exclude(e); }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromInt(static_cast<Bits>(a.FBits | b.FBits)); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromInt(static_cast<Bits>(a.FBits & b.FBits)); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromInt(static_cast<Bits>(a.FBits & ~b.FBits)); }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr Bits Bit(E e) {
        auto v = static_cast<long long>(e);
        assert(v >= 0 && v < static_cast<long long>(sizeof(Bits) * 8));
        return static_cast<Bits>(Bits(1) << v);
    }
    Bits FBits = 0;
};

template <class T> struct IsTSet : std::false_type {};
template <class E, class B> struct IsTSet<TSet<E, B>> : std::true_type {};
