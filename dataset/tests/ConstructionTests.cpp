// Construction that fails at any of its allocations frees what it made
// (LeakSanitizer checks the rest in the sanitizer build) and leaves the
// owner as it was. The allocator of this test program can be told to fail.
#include "RowvaneFixture.h"

#include <cstdlib>
#include <new>

namespace {
// Allocations until the one that fails; -1: none fails. Per thread, so the
// engine's own threads are never affected.
thread_local long AllocationsBeforeFailure = -1;
} // namespace

void* operator new(std::size_t Size) {
    if (AllocationsBeforeFailure >= 0 && AllocationsBeforeFailure-- == 0) throw std::bad_alloc();
    if (void* p = std::malloc(Size ? Size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}

TEST(Construction, AFailureAtAnyStepFreesWhatWasMadeAndPropagates) {
    TComponent owner(nullptr);
    { TIBRowvaneKV warmUp(nullptr); } // the client library is loaded once, outside the count
    int failures = 0;
    for (long n = 0;; ++n) {
        AllocationsBeforeFailure = n;
        try {
            TIBRowvaneKV ds(&owner);
            AllocationsBeforeFailure = -1;
            EXPECT_EQ(owner.GetComponentCount(), 1);
            EXPECT_EQ(ds.GetComponentCount(), 4); // the four statements it owns
            break;
        } catch (const std::bad_alloc&) {
            AllocationsBeforeFailure = -1;
            ++failures;
            ASSERT_EQ(owner.GetComponentCount(), 0) << "after failing allocation " << n;
        }
        ASSERT_LT(n, 100000);
    }
    EXPECT_GT(failures, 20);
    EXPECT_EQ(owner.GetComponentCount(), 0);
}
