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

// NUMERIC and DECIMAL columns with up to four decimals. The value is held as
// Currency, so the field reports a data size of 8; it reaches the dataset
// through the framework's whole BCD record, which GetFieldData delivers and
// SetFieldData takes. Its own native form (GetData and SetData with the
// native format) is the 8-byte Currency, so a caller that sizes its buffer
// by GetDataSize never receives more bytes than that.
class TIBBCDField : public TBCDField {
public:
    KV_METACLASS_DECL
    explicit TIBBCDField(TComponent* AOwner);

    int GetDataSize() const override { return 8; }
    bool GetData(void* Buffer, bool NativeFormat = true) override;
    void SetData(void* Buffer, bool NativeFormat = true) override;
};
