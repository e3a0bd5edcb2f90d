// The search result store: bounds, growth, resizing and copying.
#include <gtest/gtest.h>

#include <climits>

#include "finder/srcharr.h"

namespace {

TExtSearchRec rec(const std::string& name, std::int64_t size = 1) {
    TExtSearchRec r;
    r.Attr = 0x21;
    r.Time = 0x30E96B2F;
    r.Size = size;
    r.Name = name;
    r.Path = "C:\\TEMP\\";
    return r;
}

std::string getError(const TSearchArray& a, std::int32_t index) {
    try {
        a.GetItem(index);
    } catch (const ESearchOutOfRange& e) {
        return e.Message();
    }
    return "no error";
}

TEST(SearchArray, BoundsOfANewStore) {
    TSearchArray a(0, 100, 10);
    EXPECT_EQ(a.Low(), 0);
    EXPECT_EQ(a.High(), 100);
    EXPECT_EQ(a.GetItem(100), TExtSearchRec{});
    EXPECT_EQ(getError(a, 101), "SearchArray index out of range on GetItem.");
    EXPECT_EQ(getError(a, -1), "SearchArray index out of range on GetItem.");

    TSearchArray empty(5, 4, 10);
    EXPECT_EQ(empty.Low(), -1);
    EXPECT_EQ(empty.High(), -2);
    EXPECT_EQ(getError(empty, 0), "SearchArray index out of range on GetItem.");
    // An empty store grows on the first store all the same.
    empty.SetItem(0, rec("first"));
    EXPECT_EQ(empty.GetItem(0).Name, "first");
    EXPECT_EQ(empty.High(), 8);
}

TEST(SearchArray, GrowthInWholeIncrements) {
    TSearchArray a(0, 100, 10);
    for (int i = 0; i <= 100; ++i) a.SetItem(i, rec("f" + std::to_string(i)));
    a.SetItem(101, rec("r"));
    EXPECT_EQ(a.High(), 110);
    EXPECT_EQ(a.GetItem(101).Name, "r");
    for (int i = 102; i <= 110; ++i) EXPECT_EQ(a.GetItem(i), TExtSearchRec{}) << i;
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(a.GetItem(i).Name, "f" + std::to_string(i));

    TSearchArray b(0, 100, 10);
    b.SetItem(250, rec("x"));
    EXPECT_EQ(b.High(), 250);
    b.SetItem(255, rec("y"));
    EXPECT_EQ(b.High(), 260);
    EXPECT_EQ(b.GetItem(250).Name, "x");

    // Below the lower bound the store grows downwards, and what was stored
    // keeps its index.
    TSearchArray c(0, 4, 10);
    c.SetItem(2, rec("two"));
    c.SetItem(-3, rec("minus three"));
    EXPECT_EQ(c.Low(), -10);
    EXPECT_EQ(c.High(), 4);
    EXPECT_EQ(c.GetItem(2).Name, "two");
    EXPECT_EQ(c.GetItem(-3).Name, "minus three");
    EXPECT_EQ(c.GetItem(0), TExtSearchRec{});
}

TEST(SearchArray, IncrementLimitsAndTheRecordCap) {
    TSearchArray a(0, 100, 10001);
    EXPECT_EQ(a.Delta(), 10000);
    a.SetDelta(10000);
    EXPECT_EQ(a.Delta(), 10000);
    a.SetDelta(-5);
    EXPECT_EQ(a.Delta(), -5);
    a.SetItem(100, rec("inside"));  // within the bounds growth plays no part
    for (std::int32_t delta : {0, -5}) {
        a.SetDelta(delta);
        try {
            a.SetItem(101, rec("x"));
            ADD_FAILURE() << "stored with growth off";
        } catch (const ESearchOutOfRange& e) {
            EXPECT_EQ(e.Message(), "SearchArray index out of range on SetItem.");
        }
    }
    EXPECT_EQ(a.High(), 100);

    // A store that would hold 67,108,863 records or more takes nothing,
    // silently; an index near the top of the range must not wrap around.
    a.SetDelta(10000);
    a.SetItem(67108862, rec("too far"));
    a.SetItem(INT_MAX, rec("top"));
    a.SetItem(INT_MIN, rec("bottom"));
    EXPECT_EQ(a.Low(), 0);
    EXPECT_EQ(a.High(), 100);
    EXPECT_EQ(a.GetItem(100).Name, "inside");
}

TEST(SearchArray, ResizeKeepsPositions) {
    TSearchArray a(0, 100, 10);
    for (int i = 0; i <= 110; ++i) a.SetItem(i, rec("f" + std::to_string(i)));
    ASSERT_EQ(a.High(), 110);
    EXPECT_FALSE(a.Resize(5, 1));
    EXPECT_EQ(a.High(), 110);
    EXPECT_EQ(a.GetItem(110).Name, "f110");

    EXPECT_TRUE(a.Resize(0, 2));
    EXPECT_EQ(a.High(), 2);
    EXPECT_EQ(a.GetItem(2).Name, "f2");
    EXPECT_EQ(getError(a, 3), "SearchArray index out of range on GetItem.");

    // A new lower bound renumbers: position 0 is now index 10.
    EXPECT_TRUE(a.Resize(10, 14));
    EXPECT_EQ(a.GetItem(10).Name, "f0");
    EXPECT_EQ(a.GetItem(12).Name, "f2");
    EXPECT_EQ(a.GetItem(13), TExtSearchRec{});
}

TEST(SearchArray, RecordsAreCopiesWithTheirWholeName) {
    TSearchArray a(0, 1, 10);
    const std::string longName = "A very long file name.document";
    TExtSearchRec r = rec(longName, 5'000'000'000LL);
    a.SetItem(0, r);
    r.Path = "changed";
    TExtSearchRec back = a.GetItem(0);
    EXPECT_EQ(back.Name, longName);
    EXPECT_EQ(back.Path, "C:\\TEMP\\");
    EXPECT_EQ(back.Size, 5'000'000'000LL);
    back.Name = "other";
    EXPECT_EQ(a.GetItem(0).Name, longName);
}

TEST(SearchArray, AssignCopiesEverythingOrRefuses) {
    TSearchArray source(3, 5, 7);
    source.SetItem(4, rec("middle"));
    TSearchArray copy(0, 100, 10);
    copy.SetItem(0, rec("old"));
    copy.Assign(source);
    EXPECT_EQ(copy.Low(), 3);
    EXPECT_EQ(copy.High(), 5);
    EXPECT_EQ(copy.Delta(), 7);
    EXPECT_EQ(copy.GetItem(4).Name, "middle");
    source.SetItem(4, rec("changed"));
    EXPECT_EQ(copy.GetItem(4).Name, "middle");

    // An empty source leaves an empty copy, not the old records.
    copy.Assign(TSearchArray(1, 0, 10));
    EXPECT_EQ(copy.Low(), -1);
    EXPECT_EQ(copy.High(), -2);

    class Other : public TPersistent {
    public:
        std::string ClassName() const override { return "TOther"; }
    } other;
    try {
        copy.Assign(other);
        ADD_FAILURE() << "assigned";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TOther to a TSearchArray");
    }
}

}  // namespace
