// The rich-text editor with tool bar, loading its contents from and storing
// them into a blob field of a dataset, as plain text or RTF by PlainText.
// It has no data link: the application's code calls the two operations.
#pragma once

#include "DB.h"
#include "RichEdtKV.h"

class TDBRichEdtKV : public TRichEdtKV {
public:
    KV_METACLASS_DECL
    using TRichEdtKV::TRichEdtKV;

    // Replaces the editor's contents by the field's value; a null field
    // empties the editor and its undo history. OnChange does not fire and
    // is in place again afterwards, whatever fails. No field (null) raises
    // EInvalidOperation and leaves the editor as it is.
    void LoadFromDatabase(TField* Field);
    // Stores the editor's contents into the field (the dataset in edit or
    // insert state); an empty editor stores NULL. No field (null) raises
    // EInvalidOperation.
    void SaveToDatabase(TField* Field);
};

namespace Dbrichedtkv {

// Puts TDBRichEdtKV on the palette page "KVDB".
void Register();

} // namespace Dbrichedtkv
