// Hashing the oven's plain structs, and a table of indexes found by such
// a hash: what the exploration looks every configuration and line up in.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

// A hash over the members of a plain struct, found by the compiler from
// the struct's own definition, as its defaulted == is: a member added to the
// oven's configuration or to the tick's record cannot be left out of one
// and not the other. Members are packed into 64-bit words, and each word
// takes a multiply; splitmix64's finaliser at the end spreads the high bits
// into the low ones that the tables use. This runs several times for every
// transition.

// Converts to whatever a member asks for: how many of these a struct can be
// built from is how many members it has.
struct Any_Member {
    template <class T> operator T() const; // NOLINT(google-explicit-constructor)
};

template <class T, class... Members> constexpr std::size_t Member_Count()
{
    if constexpr (requires { T{Members{}..., Any_Member{}}; }) {
        return Member_Count<T, Members..., Any_Member>();
    } else {
        return sizeof...(Members);
    }
}

class Hasher
{
  public:
    template <class T> void Add(const T& value)
    {
        if constexpr (std::is_same_v<T, bool>) {
            Pack(value ? 1 : 0, 1);
        } else if constexpr (std::is_integral_v<T>) {
            static_assert(sizeof(T) <= sizeof(std::uint32_t));
            Pack(static_cast<std::uint32_t>(value), 32);
        } else if constexpr (std::is_floating_point_v<T>) {
            // -0.0 == 0.0: equal values hash alike.
            Pack(std::bit_cast<std::uint64_t>(value == 0 ? 0.0 : static_cast<double>(value)), 64);
        } else {
            Add_Members(value);
        }
    }
    std::uint64_t Done()
    {
        Flush();
        std::uint64_t hash = hash_;
        hash ^= hash >> 30U;
        hash *= 0xbf58476d1ce4e5b9ULL;
        hash ^= hash >> 27U;
        hash *= 0x94d049bb133111ebULL;
        return hash ^ (hash >> 31U);
    }

  private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
    std::uint64_t word_ = 0;
    unsigned used_ = 0; // bits of word_ filled

    void Pack(std::uint64_t bits, unsigned width)
    {
        if (used_ + width > 64) {
            Flush();
        }
        word_ = width == 64 ? bits : word_ | bits << used_;
        used_ += width;
    }
    void Flush()
    {
        hash_ = (hash_ ^ word_) * 0x100000001b3ULL;
        word_ = 0;
        used_ = 0;
    }

    template <class T> void Add_Members(const T& value)
    {
        constexpr std::size_t COUNT = Member_Count<T>();
        static_assert(COUNT >= 1 && COUNT <= 6, "a struct of 1 to 6 members");
        const auto add = [this](const auto&... members) { (this->Add(members), ...); };
        if constexpr (COUNT == 1) {
            const auto& [a] = value;
            add(a);
        } else if constexpr (COUNT == 2) {
            const auto& [a, b] = value;
            add(a, b);
        } else if constexpr (COUNT == 3) {
            const auto& [a, b, c] = value;
            add(a, b, c);
        } else if constexpr (COUNT == 4) {
            const auto& [a, b, c, d] = value;
            add(a, b, c, d);
        } else if constexpr (COUNT == 5) {
            const auto& [a, b, c, d, e] = value;
            add(a, b, c, d, e);
        } else {
            const auto& [a, b, c, d, e, f] = value;
            add(a, b, c, d, e, f);
        }
    }
};

template <class T> std::uint64_t Hash_Of(const T& value)
{
    Hasher hasher;
    hasher.Add(value);
    return hasher.Done();
}

// A set of indexes into a vector that the caller keeps, by open addressing:
// one flat array, so a lookup touches one or two cache lines where a chained
// table chases a pointer per entry.
class Index_Table
{
  public:
    // The index of the entry equal to `candidate` (`same(entry, candidate)`)
    // and false; or `candidate` itself, now added, and true.
    template <class Same>
    std::pair<std::uint32_t, bool> Insert(std::uint64_t hash, std::uint32_t candidate, Same same)
    {
        if (2 * (used_ + 1) > slots_.size()) {
            Grow();
        }
        const auto short_hash = static_cast<std::uint32_t>(hash);
        for (std::size_t i = short_hash & Mask();; i = (i + 1) & Mask()) {
            Slot& slot = slots_[i];
            if (slot.index == EMPTY) {
                slot = {candidate, short_hash};
                ++used_;
                return {candidate, true};
            }
            if (slot.hash == short_hash && same(slot.index, candidate)) {
                return {slot.index, false};
            }
        }
    }

  private:
    static constexpr std::uint32_t EMPTY = UINT32_MAX;
    struct Slot {
        std::uint32_t index = EMPTY;
        std::uint32_t hash = 0;
    };
    static constexpr std::size_t FIRST_SIZE = 1 << 10;
    std::vector<Slot> slots_ = std::vector<Slot>(FIRST_SIZE);
    std::size_t used_ = 0;

    std::size_t Mask() const
    {
        return slots_.size() - 1;
    }

    void Grow()
    {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.index == EMPTY) {
                continue;
            }
            std::size_t i = slot.hash & Mask();
            while (slots_[i].index != EMPTY) {
                i = (i + 1) & Mask();
            }
            slots_[i] = slot;
        }
    }
};
