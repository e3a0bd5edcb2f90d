#include "finder/srcharr.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace {
constexpr const char* kNoMemory = "Not enough memory to allocate data.";
constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
}  // namespace

TSearchArray::TSearchArray(std::int32_t low, std::int32_t high, std::int32_t delta) {
    TSearchArray::SetDelta(delta);
    if (low > high) return;
    try {
        items_.resize(static_cast<std::size_t>(static_cast<std::int64_t>(high) - low + 1));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kNoMemory);
    } catch (const std::length_error&) {
        throw EOutOfMemory(kNoMemory);
    }
    low_ = low;
    high_ = high;
}

TExtSearchRec TSearchArray::GetItem(std::int32_t index) const {
    if (index < low_ || index > high_) throw ESearchOutOfRange("SearchArray index out of range on GetItem.");
    return items_[static_cast<std::size_t>(static_cast<std::int64_t>(index) - low_)];
}

void TSearchArray::SetDelta(std::int32_t value) {
    delta_ = value > 10000 ? 10000 : value;
}

bool TSearchArray::Resize(std::int32_t newLow, std::int32_t newHigh) {
    if (newHigh < newLow) return false;
    const auto count = static_cast<std::size_t>(static_cast<std::int64_t>(newHigh) - newLow + 1);
    try {
        // The block grows geometrically underneath, so growing by small
        // increments does not copy the whole block each time.
        items_.resize(count);
        if (items_.capacity() / 2 > count) items_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    low_ = newLow;
    high_ = newHigh;
    return true;
}

void TSearchArray::SetItem(std::int32_t index, const TExtSearchRec& record) {
    if (index >= low_ && index <= high_) {
        items_[static_cast<std::size_t>(static_cast<std::int64_t>(index) - low_)] = record;
        return;
    }
    if (delta_ <= 0) throw ESearchOutOfRange("SearchArray index out of range on SetItem.");
    std::int64_t newLow = low_, newHigh = high_;
    while (newHigh < index) newHigh = newHigh + delta_ > kMax ? kMax : newHigh + delta_;
    while (newLow > index) newLow = newLow - delta_ < kMin ? kMin : newLow - delta_;
    if (newHigh - newLow + 1 >= kMaxSearchRecords) return;

    const bool hadRecords = !items_.empty();
    if (newLow < low_ && hadRecords) {
        // Records already stored keep their indexes: the new ones go in front.
        try {
            items_.insert(items_.begin(), static_cast<std::size_t>(low_ - newLow), TExtSearchRec{});
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(kNoMemory);
        }
        low_ = static_cast<std::int32_t>(newLow);
    }
    if (!Resize(static_cast<std::int32_t>(newLow), static_cast<std::int32_t>(newHigh))) throw EOutOfMemory(kNoMemory);
    items_[static_cast<std::size_t>(static_cast<std::int64_t>(index) - low_)] = record;
}

void TSearchArray::Assign(const TPersistent& source) {
    const auto* other = dynamic_cast<const TSearchArray*>(&source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    try {
        items_ = other->items_;
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kNoMemory);
    }
    low_ = other->low_;
    high_ = other->high_;
    delta_ = other->delta_;
}
