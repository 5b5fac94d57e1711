// The field classes of the database layer: datasets over the client
// interface create these for text and fixed-point columns.
#pragma once

#include "DB.h"

// Text of CHAR and VARCHAR columns; the framework's string field with the
// layer's class name, so that datasets and form descriptions can tell it.
class TIBStringField : public TStringField {
public:
    KV_METACLASS_DECL
    explicit TIBStringField(TComponent* AOwner);
};

// NUMERIC and DECIMAL columns of any scale. The dataset holds the column's
// scaled 64-bit integer (8 bytes, the data size the field reports) and hands
// the value over exactly through the framework's whole BCD record, which
// GetFieldData delivers and SetFieldData takes, and which the BCD field's
// accessors read. Its own native form (GetData and SetData with the native
// format) is the 8-byte Currency, so a caller that sizes its buffer by
// GetDataSize never receives more bytes than that; a value beyond
// Currency's range raises there, as AsCurrency does.
class TIBBCDField : public TBCDField {
public:
    KV_METACLASS_DECL
    explicit TIBBCDField(TComponent* AOwner);

    int GetDataSize() const override { return 8; }
    bool GetData(void* Buffer, bool NativeFormat = true) override;
    void SetData(void* Buffer, bool NativeFormat = true) override;
};
