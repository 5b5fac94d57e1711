// Navigation through two cursors: the forward cursor reads in the current
// order, the backward cursor in the inverted order. A cursor that stands on
// the position reads on; any other is re-opened with the keyset condition and
// moved onto the position row. The current row is re-read by key. The client
// filter runs on every row delivered.
#include "IBRowvaneKVInternal.h"

#include <cstring>
#include <memory>

namespace {

// A scratch record buffer: record buffers are plain blocks of new char[]
// (AllocRecordBuffer, FreeRecordBuffer).
using TScratchBuffer = std::unique_ptr<char[]>;

} // namespace

// ---------------------------------------------------------------------------
// Cursor statements

void TIBRowvaneKV::InternalPrepareSelectQuery(TIBSQL* Query, int Mode, int Count) {
    if (!Query) return;
    Query->GetSQL()->Clear();
    Query->FreeHandle();
    if (Mode == 0) return;
    Query->GetSQL()->SetText(CursorSelectText(Mode, Count));
    Query->Prepare();
}

void TIBRowvaneKV::InternalPrepareSelectQueryFwd(int Mode, int Count) {
    if (Mode == FFwdMode && Count == FFwdCount) return;
    InternalCloseSelectQueryFwd();
    try {
        InternalPrepareSelectQuery(FQryForward, Mode, Count);
    } catch (...) {
        // Unprepared and known as such: the next request builds it again.
        FQryForward->GetSQL()->Clear();
        FFwdMode = 0;
        FFwdCount = -1;
        throw;
    }
    FFwdMode = Mode;
    FFwdCount = Count;
}

void TIBRowvaneKV::InternalPrepareSelectQueryBwd(int Mode) {
    if (Mode == FBwdMode) return;
    InternalCloseSelectQueryBwd();
    try {
        InternalPrepareSelectQuery(FQryBackward, Mode, -1);
    } catch (...) {
        FQryBackward->GetSQL()->Clear();
        FBwdMode = 0;
        throw;
    }
    FBwdMode = Mode;
}

void TIBRowvaneKV::InternalCloseSelectQueryFwd() {
    FQryForward->Close();
    SetValidRecordFlag(FForwardBuffer, TIBRVRecordBuffer::NoRow);
}

void TIBRowvaneKV::InternalCloseSelectQueryBwd() {
    FQryBackward->Close();
    SetValidRecordFlag(FBackwardBuffer, TIBRVRecordBuffer::AfterLast);
}

bool TIBRowvaneKV::LocateQueryToRecord(TIBSQL* Query, char* Position) {
    if (!Query->GetOpen()) {
        SetQryParamFromQry(FQrySelect, Query);
        Query->ExecQuery();
    }
    TScratchBuffer scratch(AllocRecordBuffer());
    for (;;) {
        TIBXSQLDA* row = Query->Next();
        if (!row) return false;
        FetchRecordToBuffer(scratch.get(), row);
        if (CompareRecordPos(scratch.get(), Position, true, -1)) return true;
        // The first row with other order values follows the position.
        if (!CompareRecordPos(scratch.get(), Position, false, -1)) return false;
    }
}

// ---------------------------------------------------------------------------
// Rows

void TIBRowvaneKV::StoreCursorRow(char* CursorBuffer, bool& CursorOnPosition, const char* Buffer) {
    // Every buffer of the open dataset has the record size of its model.
    auto size = static_cast<size_t>(TIBRVRecordBuffer::GetRecordSize(Buffer));
    std::memcpy(CursorBuffer, Buffer, size);
    std::memcpy(FPositionBuffer, Buffer, size);
    // The other cursor has left the position; this one reads on from it
    // without comparing, while nothing else moves the position.
    FForwardOnPosition = FBackwardOnPosition = false;
    CursorOnPosition = KeysComparable();
}

TGetResult TIBRowvaneKV::InternalGetNextRecord(char* Buffer) {
    int position = GetValidRecordFlag(FPositionBuffer);
    if (position == TIBRVRecordBuffer::AfterLast) return grEOF;
    bool current = false; // the row to deliver is the one the cursor stands on
    if (position == TIBRVRecordBuffer::NoRow) {
        InternalCloseSelectQueryFwd();
        InternalPrepareSelectQueryFwd(1, -1);
    } else if (!FForwardOnPosition && !CompareRecordPos(FPositionBuffer, FForwardBuffer, true, -1)) {
        InternalCloseSelectQueryFwd();
        InternalPrepareSelectQueryFwd(2, -1);
        SetQueryLocateValues(FQryForward, FPositionBuffer, false, -1);
        current = !LocateQueryToRecord(FQryForward, FPositionBuffer);
    }
    if (!FQryForward->GetOpen()) {
        SetQryParamFromQry(FQrySelect, FQryForward);
        FQryForward->ExecQuery();
    }
    if (!current && !FQryForward->GetEOF()) FQryForward->Next();
    if (FQryForward->GetEOF()) return grEOF;
    FetchRecordToBuffer(Buffer, FQryForward->Current());
    SetBookmarkFlag(Buffer, bfCurrent);
    GetCalcFields(Buffer);
    StoreCursorRow(FForwardBuffer, FForwardOnPosition, Buffer);
    return grOK;
}

TGetResult TIBRowvaneKV::InternalGetPrevRecord(char* Buffer) {
    int position = GetValidRecordFlag(FPositionBuffer);
    if (position == TIBRVRecordBuffer::NoRow) return grBOF;
    bool current = false;
    if (position == TIBRVRecordBuffer::AfterLast) {
        InternalCloseSelectQueryBwd();
        InternalPrepareSelectQueryBwd(3);
    } else if (!FBackwardOnPosition && !CompareRecordPos(FPositionBuffer, FBackwardBuffer, true, -1)) {
        InternalCloseSelectQueryBwd();
        InternalPrepareSelectQueryBwd(4);
        SetQueryLocateValues(FQryBackward, FPositionBuffer, false, -1);
        current = !LocateQueryToRecord(FQryBackward, FPositionBuffer);
    }
    if (!FQryBackward->GetOpen()) {
        SetQryParamFromQry(FQrySelect, FQryBackward);
        FQryBackward->ExecQuery();
    }
    if (!current && !FQryBackward->GetEOF()) FQryBackward->Next();
    if (FQryBackward->GetEOF()) return grBOF;
    FetchRecordToBuffer(Buffer, FQryBackward->Current());
    SetBookmarkFlag(Buffer, bfCurrent);
    GetCalcFields(Buffer);
    StoreCursorRow(FBackwardBuffer, FBackwardOnPosition, Buffer);
    return grOK;
}

TGetResult TIBRowvaneKV::InternalGetCurrRecord(char* Buffer) {
    // Before the first or after the last row there is no row to re-read
    // (the buffer may still hold the values of an earlier one).
    if (GetValidRecordFlag(FPositionBuffer) != TIBRVRecordBuffer::OnRow) return grError;
    if (!InternalGetRecordFromBuf(Buffer, FPositionBuffer)) return grError;
    SetBookmarkFlag(Buffer, bfCurrent);
    GetCalcFields(Buffer);
    SaveRecord(FPositionBuffer, Buffer);
    return grOK;
}

bool TIBRowvaneKV::InternalGetRecordFromBuf(char* Target, char* KeyBuffer) {
    FQryRefresh->Close();
    InternalPrepareRefreshQuery();
    SetQueryLocateValues(FQryRefresh, KeyBuffer, true, -1);
    SetQryParamFromQry(FQrySelect, FQryRefresh);
    FQryRefresh->ExecQuery(); // fetches the row
    if (FQryRefresh->GetEOF()) {
        FQryRefresh->Close();
        return false;
    }
    FetchRecordToBuffer(Target, FQryRefresh->Current());
    FQryRefresh->Close();
    return true;
}

TGetResult TIBRowvaneKV::GetRecordUnfiltered(char* Buffer, TGetMode GetMode) {
    switch (GetMode) {
    case gmNext:
        return InternalGetNextRecord(Buffer);
    case gmPrior:
        return InternalGetPrevRecord(Buffer);
    case gmCurrent:
        if (FPositionSet) {
            SaveRecord(Buffer, FPositionBuffer);
            FPositionSet = false;
            return grOK;
        }
        return InternalGetCurrRecord(Buffer);
    }
    return grError;
}

TGetResult TIBRowvaneKV::GetRecord(char* Buffer, TGetMode GetMode, bool) {
    return GetFiltered() ? GetRecordFiltered(Buffer, GetMode) : GetRecordUnfiltered(Buffer, GetMode);
}

TGetResult TIBRowvaneKV::GetRecordFiltered(char* Buffer, TGetMode GetMode) {
    // A request that accepts no row leaves the position where it was.
    TScratchBuffer saved(AllocRecordBuffer());
    SaveRecord(saved.get(), FPositionBuffer);
    TGetResult result;
    bool accepted = true;
    do {
        result = GetRecordUnfiltered(Buffer, GetMode);
        if (result == grOK) accepted = FilterRecord(Buffer);
        // A rejected row has become the position: the next pass reads on behind it.
        if (GetMode == gmCurrent && result == grOK && !accepted) result = grError;
    } while (result == grOK && !accepted);
    if (result != grOK) SaveRecord(FPositionBuffer, saved.get());
    return result;
}

bool TIBRowvaneKV::FilterRecord(char* Buffer) {
    if (!GetFiltered() || !GetOnFilterRecord()) return true;
    TDataSetState saved = SetTempState(dsFilter);
    FFilterBuffer = Buffer;
    bool accept = true;
    try {
        GetOnFilterRecord()(this, accept);
    } catch (...) {
        if (FBlobStreams) FBlobStreams->Clear();
        FFilterBuffer = nullptr;
        RestoreState(saved);
        throw;
    }
    if (FBlobStreams) FBlobStreams->Clear();
    FFilterBuffer = nullptr;
    RestoreState(saved);
    return accept;
}

// ---------------------------------------------------------------------------
// The framework's moves

void TIBRowvaneKV::InternalFirst() {
    SetValidRecordFlag(FPositionBuffer, TIBRVRecordBuffer::NoRow);
}

void TIBRowvaneKV::InternalLast() {
    SetValidRecordFlag(FPositionBuffer, TIBRVRecordBuffer::AfterLast);
}

void TIBRowvaneKV::InternalRefresh() {
    InternalCloseSelectQueryFwd();
    InternalCloseSelectQueryBwd();
}

void TIBRowvaneKV::InternalSetToRecord(char* Buffer) {
    SaveRecord(FPositionBuffer, Buffer);
}
