// Small sets over an enumeration, the framework's "set of" types: at most 64
// members, each enumerator value 0 .. 63.
#pragma once

#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

template <class E> class TSet {
    static_assert(std::is_enum_v<E>, "TSet holds enumerators");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items) {
        for (E e : Items)
            FBits |= Bit(e);
    }

    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E e) {
        FBits |= Bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        FBits &= ~Bit(e);
        return *this;
    }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr std::uint64_t Bit(E e) {
        auto v = static_cast<long long>(e);
        assert(v >= 0 && v < 64);
        return std::uint64_t{1} << v;
    }
    static constexpr TSet FromBits(std::uint64_t Bits) {
        TSet s;
        s.FBits = Bits;
        return s;
    }
    std::uint64_t FBits = 0;
};
