// The search result store: fixed-layout records in one contiguous block,
// addressed by an index between a lower and an upper bound, growing by a
// fixed increment when a record is stored past the upper bound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/persist.h"

struct TExtSearchRec {
    std::uint8_t Attr = 0;  // the low 8 attribute bits
    std::int32_t Time = 0;  // local last-write time, MS-DOS packed
    std::int64_t Size = 0;
    std::string Name;  // the whole name: a cut name could launch another file
    std::string Path;  // the directory, ending in the separator
    bool operator==(const TExtSearchRec&) const = default;
};

class ESearchOutOfRange : public Exception {
public:
    using Exception::Exception;
};

class TSearchArray : public TPersistent {
public:
    // Low > High makes an empty store (bounds -1 and -2). Throws
    // EOutOfMemory when the records cannot be had.
    TSearchArray(std::int32_t low, std::int32_t high, std::int32_t delta);
    ~TSearchArray() override = default;

    std::string ClassName() const override { return "TSearchArray"; }
    std::int32_t Low() const { return low_; }
    std::int32_t High() const { return high_; }
    std::int32_t Delta() const { return delta_; }

    // A copy of the record; ESearchOutOfRange outside the bounds.
    virtual TExtSearchRec GetItem(std::int32_t index) const;
    // Grows the store when `index` lies outside it (by whole increments; the
    // records already stored keep their indexes), unless growth is off
    // (ESearchOutOfRange) or the store would reach 67,108,863 records, when
    // nothing is stored.
    virtual void SetItem(std::int32_t index, const TExtSearchRec& record);
    // Above 10000 means 10000; 0 or less switches growth off.
    virtual void SetDelta(std::int32_t value);
    // Records keep their positions in the block: a new lower bound
    // renumbers them. False, with nothing changed, when NewHigh < NewLow or
    // the memory cannot be had.
    virtual bool Resize(std::int32_t newLow, std::int32_t newHigh);
    void Assign(const TPersistent& source) override;

private:
    std::vector<TExtSearchRec> items_;
    std::int32_t low_ = -1;
    std::int32_t high_ = -2;
    std::int32_t delta_ = 0;
};

constexpr std::int64_t kMaxSearchRecords = 0x3FFFFFF;
