#include "IBTestSupport.h"

using namespace IBTest;

class Smoke : public TIBDatabaseFixture {};

TEST_F(Smoke, SelectsOne) {
    Tr->StartTransaction();
    TIBSQL* q = NewSQL("SELECT 1 AS ONE, 'x' AS S FROM RDB$DATABASE");
    q->ExecQuery();
    EXPECT_EQ(q->FieldByName("one")->GetAsLong(), 1);
    EXPECT_EQ(q->FieldByName("S")->GetAsString(), "x");
}
