#include "Printers.h"

#include "TestDaemons.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

namespace {

class PrintersTest : public testdaemons::CupsTest {
protected:
    static AnsiString CurrentDevice(TPrinter& P) {
        AnsiString device, driver, port;
        THandle mode = 1;
        P.GetPrinter(device, driver, port, mode);
        EXPECT_EQ(mode, 0u);
        return device;
    }
};

TEST_F(PrintersTest, ListsTheQueuesWithDriverAndPortAndShowsThePortInTheText) {
    TPrinter p;
    const TStrings& list = *p.GetPrinters();
    ASSERT_EQ(list.GetCount(), 2);
    const char* devices[] = {"KVTestInk", "KVTestLaser"};
    const char* files[] = {"/out/ink.prn", "/out/laser.prn"};
    for (int i = 0; i < 2; ++i) {
        auto* d = static_cast<const TPrinterDevice*>(list.GetObject(i));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Device, devices[i]);
        EXPECT_EQ(d->Driver, "Local Raw Printer");
        EXPECT_EQ(d->Port.rfind("file://", 0), 0u) << d->Port;
        EXPECT_NE(d->Port.find(files[i]), AnsiString::npos) << d->Port;
        EXPECT_EQ(list[i], d->Device + " on " + d->Port);
    }
}

TEST_F(PrintersTest, TheDefaultIsCurrentUntilAnotherIsChosenAndMinusOneReturnsToIt) {
    TPrinter p;
    EXPECT_EQ(p.GetPrinterIndex(), 1);
    EXPECT_EQ(CurrentDevice(p), "KVTestLaser");
    p.SetPrinterIndex(0);
    EXPECT_EQ(CurrentDevice(p), "KVTestInk");
    p.SetPrinterIndex(-1);
    EXPECT_EQ(p.GetPrinterIndex(), 1);
    EXPECT_EQ(CurrentDevice(p), "KVTestLaser");
}

TEST_F(PrintersTest, AnIndexOrDeviceNotInTheListRaisesAndKeepsTheCurrentPrinter) {
    TPrinter p;
    p.SetPrinter("KVTestInk", "", "", 0);
    EXPECT_EQ(p.GetPrinterIndex(), 0);
    for (int index : {2, -2})
        EXPECT_THROW(p.SetPrinterIndex(index), EPrinter) << index;
    for (const char* device : {"kvtestink", "KVTestIn", "", "NoSuchPrinter"})
        EXPECT_THROW(p.SetPrinter(device, "", "", 0), EPrinter) << device;
    EXPECT_EQ(CurrentDevice(p), "KVTestInk");
}

// Needs no daemon: a server that does not answer has no printers.
TEST(Printers, AServerThatDoesNotAnswerGivesNoPrintersAndNoDefault) {
    cupsSetServer("127.0.0.1:1");
    TPrinter p;
    EXPECT_EQ(p.GetPrinters()->GetCount(), 0);
    try {
        p.GetPrinterIndex();
        ADD_FAILURE() << "no exception";
    } catch (const EPrinter& e) {
        EXPECT_STREQ(e.what(), "There is no default printer currently selected");
    }
    EXPECT_THROW(p.SetPrinterIndex(-1), EPrinter);
    EXPECT_THROW(p.SetPrinterIndex(0), EPrinter);
    cupsSetServer(nullptr);
}

} // namespace
