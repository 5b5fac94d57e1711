// The fixture of the dataset tests: rows 1 .. 10 (ID, NAME) in a dataset
// with one recording link of three buffers, all owned by one owner.
#pragma once

#include "MemDataSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using Log = std::vector<std::string>;

class DataSetTest : public ::testing::Test {
protected:
    DataSetTest() {
        Table.AddRows(1, 10);
        DS = new TMemDataSet(&Owner, Table, Events);
        DS->SetName("MemData");
        Source = new TDataSource(&Owner);
        Source->SetDataSet(DS);
        Link = std::make_unique<TRecordingLink>(Events);
        Link->SetBufferCount(3);
        Link->SetDataSource(Source);
        LogDataSetEvents(*DS, Events);
    }

    // The log since the last call.
    Log Take() {
        Log taken;
        taken.swap(Events);
        return taken;
    }
    void OpenQuietly() {
        DS->Open();
        Events.clear();
    }
    int ActiveKey() { return DS->FieldByName("ID")->GetAsInteger(); }

    // Declared before the owner: the components use them until it goes.
    TEventLog Events;
    TMemTable Table{{{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}}};
    TComponent Owner{nullptr};
    TMemDataSet* DS = nullptr;
    TDataSource* Source = nullptr;
    std::unique_ptr<TRecordingLink> Link;
};

// True when the call raises EDatabaseError (or a descendant) with this message.
#define EXPECT_DB_ERROR(statement, message)                                                                  \
    do {                                                                                                     \
        try {                                                                                                \
            statement;                                                                                       \
            ADD_FAILURE() << "no error raised by " #statement;                                               \
        } catch (const EDatabaseError& e) {                                                                  \
            EXPECT_EQ(e.Message(), message);                                                                 \
        }                                                                                                    \
    } while (0)
