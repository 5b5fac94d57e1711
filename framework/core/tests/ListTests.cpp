#include "Classes.h"

#include <gtest/gtest.h>

// The walk over a list whose entries may change while each is told: an entry
// removed before its turn is passed over, one added meanwhile is not reached.
// A few entries and many take different roads.
TEST(List, ForEachListedSkipsWhatLeftAndMissesWhatJoined) {
    for (int count : {3, 12}) {
        std::vector<int> values(static_cast<size_t>(count) + 1);
        TList<int> list;
        for (int i = 0; i < count; ++i)
            list.Add(&values[static_cast<size_t>(i)]);
        int* joined = &values.back();
        std::vector<int*> told;
        list.ForEachListed([&](int* Entry) {
            told.push_back(Entry);
            if (Entry == &values[0]) {
                list.Remove(&values[2]);
                list.Add(joined);
            }
        });
        std::vector<int*> expected;
        for (int i = 0; i < count; ++i)
            if (i != 2) expected.push_back(&values[static_cast<size_t>(i)]);
        EXPECT_EQ(told, expected) << count << " entries";
    }
}
