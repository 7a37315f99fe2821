#include "diff/key_interner.h"

#include <limits>
#include <stdexcept>

namespace stepcount::diff {

namespace {

constexpr std::size_t kFirstCapacity = 1024;

}  // namespace

// The slot that holds `key`, or the empty slot where it would go.
std::size_t KeyInterner::findSlot(const StepKey& key) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t tag = tagOf(key);
    for (std::size_t at = static_cast<std::size_t>(key.low) & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.idPlusOne == 0 || (slot.tag == tag && keys_[slot.idPlusOne - 1] == key)) return at;
    }
}

std::uint32_t KeyInterner::intern(const StepKey& key) {
    if ((keys_.size() + 1) * 2 > slots_.size()) grow();
    const std::size_t at = findSlot(key);
    Slot& slot = slots_[at];
    if (slot.idPlusOne != 0) return slot.idPlusOne - 1;
    const auto id = static_cast<std::uint32_t>(keys_.size());
    slot = Slot{id + 1, tagOf(key)};
    keys_.push_back(key);
    slotOf_.push_back(static_cast<std::uint32_t>(at));
    return id;
}

void KeyInterner::internAll(std::span<const StepKey> keys, std::vector<std::uint32_t>& ids) {
    ids.reserve(ids.size() + keys.size());
    for (const StepKey& key : keys) ids.push_back(intern(key));
}

void KeyInterner::clear() {
    for (const std::uint32_t at : slotOf_) slots_[at] = Slot{};
    keys_.clear();
    slotOf_.clear();
}

void KeyInterner::grow() {
    const std::size_t capacity = slots_.empty() ? kFirstCapacity : slots_.size() * 2;
    // Slot positions are kept in 32 bits.
    if (capacity - 1 > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("More distinct steps in a pair of files than can be numbered");
    }
    slots_.assign(capacity, Slot{});
    for (std::size_t id = 0; id < keys_.size(); ++id) {
        const std::size_t at = findSlot(keys_[id]);
        slots_[at] = Slot{static_cast<std::uint32_t>(id + 1), tagOf(keys_[id])};
        slotOf_[id] = static_cast<std::uint32_t>(at);
    }
}

}  // namespace stepcount::diff
