// Bookmarks (the key values of a row, found again by re-reading the row by
// key) and the key search through the set-key state.
#include "IBRowvaneKVInternal.h"

#include <memory>

#include <algorithm>
#include <cstring>

namespace {

using RB = TIBRVRecordBuffer;

// A record buffer for one operation: record buffers are plain blocks of
// new char[] (AllocRecordBuffer, FreeRecordBuffer).
using TScratchBuffer = std::unique_ptr<char[]>;

// Where a bookmark's values begin: right after its FieldHdr entries.
int BookmarkDataStart(int KeyCount) {
    return RB::HeaderSize + KeyCount * PFieldHdr::Size;
}

} // namespace

// ---------------------------------------------------------------------------
// The framework's bookmark protocol

void TIBRowvaneKV::GetBookmarkData(char* Buffer, void* Data) {
    // Too small a block (no layout yet) is left alone rather than overrun.
    if (!Data || GetBookmarkSize() < RB::HeaderSize) return;
    auto* bookmark = static_cast<char*>(Data);
    RB::SetRecordSize(bookmark, GetBookmarkSize());
    if (!GetActive() || !Buffer) {
        RB::SetValidFlag(bookmark, RB::NoRow);
        return;
    }
    int count = FKeyColumns->GetCount();
    RB::SetFieldCount(bookmark, count);
    if (IsEmpty()) {
        RB::SetValidFlag(bookmark, RB::NoRow);
        return;
    }
    RB::SetBookmarkFlag(bookmark, RB::GetBookmarkFlag(Buffer));
    int place = BookmarkDataStart(count);
    for (int i = 0; i < count; ++i) {
        TIBRVColumn* column = FKeyColumns->GetItem(i);
        PFieldHdr hdr = GetFieldHeader(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
        if (!hdr) throw EIBRVError(rveFieldNotFound, {column->GetFullColumnNameEx()});
        PFieldHdr mark = RB::FieldHdr(bookmark, i);
        std::memcpy(mark.Address(), hdr.Address(), PFieldHdr::Size);
        std::memcpy(bookmark + place, Buffer + hdr.GetOffset(), static_cast<size_t>(hdr.GetDataSize()));
        mark.SetOffset(place);
        place += hdr.GetDataSize();
    }
    RB::SetValidFlag(bookmark, RB::OnRow);
}

void TIBRowvaneKV::SetBookmarkData(char* Buffer, void* Data) {
    if (!BookmarkValid(Buffer, Data)) throw EIBRVError(rveBmRecMismatch);
}

bool TIBRowvaneKV::BookmarkValid(TBookmark Bookmark) {
    return BookmarkValid(FModelBuffer.get(), Bookmark);
}

bool TIBRowvaneKV::BookmarkValid(char* Buffer, TBookmark Bookmark) {
    if (!GetActive() || !Buffer || !Bookmark) return false;
    auto* bookmark = static_cast<char*>(Bookmark);
    int count = FKeyColumns->GetCount();
    if (RB::GetFieldCount(bookmark) != count) return false;
    // A bookmark says how large it is; no value may lie outside it, so a
    // foreign or damaged block is refused instead of read beyond its end.
    int size = RB::GetRecordSize(bookmark);
    int start = BookmarkDataStart(count);
    if (size < start) return false;
    for (int i = 0; i < count; ++i) {
        TIBRVColumn* column = FKeyColumns->GetItem(i);
        PFieldHdr hdr = GetFieldHeader(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
        if (!hdr) return false;
        PFieldHdr mark = RB::FieldHdr(bookmark, i);
        if (mark.GetFieldType() != hdr.GetFieldType()) return false;
        int offset = mark.GetOffset(), dataSize = mark.GetDataSize();
        if (dataSize < 0 || offset < start || offset > size - dataSize) return false;
    }
    return true;
}

void TIBRowvaneKV::SetBufferValuesFromBookmark(char* Buffer, void* Bookmark) {
    if (!BookmarkValid(Buffer, Bookmark)) throw EIBRVError(rveBmRecMismatch);
    auto* bookmark = static_cast<char*>(Bookmark);
    int count = RB::GetFieldCount(bookmark);
    for (int i = 0; i < count; ++i) {
        TIBRVColumn* column = FKeyColumns->GetItem(i);
        PFieldHdr hdr = GetFieldHeader(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
        if (!hdr) throw EIBRVError(rveFieldNotFound, {column->GetFullColumnNameEx()});
        PFieldHdr mark = RB::FieldHdr(bookmark, i);
        char* data = Buffer + hdr.GetOffset();
        if (mark.GetIsNull()) {
            // A null key value ends the copy: no row has it anyway.
            std::memset(data, 0, static_cast<size_t>(hdr.GetDataSize()));
            hdr.SetIsNull(true);
            return;
        }
        int n = std::min(hdr.GetDataSize(), mark.GetDataSize());
        std::memcpy(data, bookmark + mark.GetOffset(), static_cast<size_t>(n));
        std::memset(data + n, 0, static_cast<size_t>(hdr.GetDataSize() - n));
        hdr.SetIsNull(false);
        hdr.SetActualLength(std::min(mark.GetActualLength(), n));
    }
}

void TIBRowvaneKV::InternalGotoBookmark(void* Bookmark) {
    TScratchBuffer owned(AllocRecordBuffer());
    char* buffer = owned.get();
    SetBufferValuesFromBookmark(buffer, Bookmark);
    if (!InternalGetRecordFromBuf(buffer, buffer)) throw EIBRVError(rveRecordNotFound);
    SetBookmarkFlag(buffer, bfCurrent);
    GetCalcFields(buffer);
    InternalSetToRecord(buffer);
}

void TIBRowvaneKV::GotoBookmark(TBookmark Bookmark) {
    GotoBookmark(Bookmark, true);
}

void TIBRowvaneKV::GotoBookmark(TBookmark Bookmark, bool Centre) {
    if (!Bookmark) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(Bookmark);
    TResyncMode mode{rmExact};
    if (Centre) mode.Include(rmCenter);
    FPositionSet = true;
    try {
        Resync(mode);
    } catch (...) {
        FPositionSet = false;
        throw;
    }
    FPositionSet = false;
    DoAfterScroll();
}

// ---------------------------------------------------------------------------
// Key search

void TIBRowvaneKV::SetKey(bool Clear) {
    CheckBrowseMode();
    if (Clear)
        InternalInitRecord(FKeyBuffer);
    else
        SaveRecord(FKeyBuffer, GetActiveBuf());
    SetState(dsSetKey);
    DataEvent(deDataSetChange, 0);
}

bool TIBRowvaneKV::GotoKey(bool Exact, bool ByPrimaryKey, int ColumnCount, bool Centre) {
    if (ByPrimaryKey && !Exact) throw EIBRVError(rveExactPkeySearch);
    if (ByPrimaryKey && ColumnCount >= 0 && ColumnCount != FKeyColumns->GetCount())
        throw EIBRVError(rvePartialPkeySearch);
    CheckSetKeyMode();
    SetState(dsBrowse); // the set-key state ends here, whatever the search finds
    DoBeforeScroll();
    bool found = false;
    try {
        TScratchBuffer owned(AllocRecordBuffer());
        char* buffer = owned.get();
        if (ByPrimaryKey) {
            found = InternalGetRecordFromBuf(buffer, FKeyBuffer);
        } else {
            // "All" are the order columns as written: the key columns that
            // make the order total are not part of what the user searches.
            int count = ColumnCount == -1 && FTieBreakCount > 0 ? GetOrderColumnCount() : ColumnCount;
            // An exact search reads the rows equal to the key, as the
            // engine compares them (trailing blanks, its collation): the
            // first is the one. Otherwise the first row at or after the key.
            InternalCloseSelectQueryFwd();
            InternalPrepareSelectQueryFwd(Exact ? 5 : 2, count);
            SetQueryLocateValues(FQryForward, FKeyBuffer, false, count);
            SetQryParamFromQry(FQrySelect, FQryForward);
            FQryForward->ExecQuery();
            if (FQryForward->Next()) {
                FetchRecordToBuffer(buffer, FQryForward->Current());
                found = true;
            }
        }
        if (found) {
            SetBookmarkFlag(buffer, bfCurrent);
            GetCalcFields(buffer);
            InternalSetToRecord(buffer);
            // The position moved behind the framework's back: should the
            // search fail from here, its idea of where the position stands is void.
            CursorPosChanged();
            if (!FilterRecord(buffer)) {
                if (Exact) throw EIBRVError(rveRecordNotFound);
                if (GetRecord(buffer, gmNext, false) != grOK) throw EIBRVError(rveRecordNotFound);
            }
            TResyncMode mode{rmExact};
            if (Centre) mode.Include(rmCenter);
            FPositionSet = true;
            Resync(mode);
        }
    } catch (...) {
        FPositionSet = false;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FPositionSet = false;
    DataEvent(deDataSetChange, 0);
    if (found) DoAfterScroll();
    return found;
}
