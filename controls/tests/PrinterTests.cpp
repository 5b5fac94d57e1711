#include "PrinterKV.h"

#include "Printers.h"
#include "TestDaemons.h"

#include <gtest/gtest.h>

namespace {

AnsiString CurrentDevice() {
    AnsiString device, driver, port;
    THandle mode;
    Printer()->GetPrinter(device, driver, port, mode);
    return device;
}

using PrinterListTest = testdaemons::CupsTest;

TEST_F(PrinterListTest, LoadReplacesTheLinesByTheDeviceNames) {
    TPrinterListKV list;
    list.GetStrings()->Add("stale line");
    list.Load();
    EXPECT_EQ(list.GetStrings()->GetText(), "KVTestInk\r\nKVTestLaser\r\n");
}

TEST_F(PrinterListTest, SelectsByNameAndMinusOneSelectsTheDefault) {
    TPrinterListKV list;
    list.Load();
    ASSERT_EQ(list.GetStrings()->IndexOf("KVTestInk"), 0);
    EXPECT_TRUE(list.SetPrinterA(0));
    EXPECT_EQ(CurrentDevice(), "KVTestInk");
    EXPECT_TRUE(list.SetPrinterA(-1));
    EXPECT_EQ(CurrentDevice(), "KVTestLaser");
    EXPECT_TRUE(list.SetPrinterA(0));
    EXPECT_EQ(CurrentDevice(), "KVTestInk");
}

TEST_F(PrinterListTest, ANameNoPrinterHasChangesNothing) {
    TPrinterListKV list;
    list.Load();
    ASSERT_TRUE(list.SetPrinterA(1));
    for (const char* name : {"kvtestink", "KVTestInk ", "NoSuchPrinter", ""}) {
        int index = list.GetStrings()->Add(name);
        EXPECT_FALSE(list.SetPrinterA(index)) << name;
        EXPECT_EQ(CurrentDevice(), "KVTestLaser") << name;
    }
    EXPECT_THROW(list.SetPrinterA(list.GetStrings()->GetCount()), EStringListError);
    EXPECT_THROW(list.SetPrinterA(-2), EStringListError);
}

// Tells when it is destroyed.
class WatchedStrings : public TStringList {
public:
    explicit WatchedStrings(bool& Gone) : FGone(Gone) {}
    ~WatchedStrings() override { FGone = true; }

private:
    bool& FGone;
};

TEST_F(PrinterListTest, FillsTheCallersListAndLeavesItToTheCaller) {
    bool gone = false;
    {
        WatchedStrings strings(gone);
        {
            TPrinterListKV list(strings);
            EXPECT_EQ(list.GetStrings(), &strings);
            EXPECT_FALSE(list.GetOwnsStrings());
            list.Load();
        }
        EXPECT_FALSE(gone);
        EXPECT_EQ(strings.GetCount(), 2);
    }
    EXPECT_TRUE(gone);

    TPrinterListKV own;
    EXPECT_TRUE(own.GetOwnsStrings());
    EXPECT_NE(own.GetStrings(), nullptr);
}

} // namespace
