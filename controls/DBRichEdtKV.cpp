#include "DBRichEdtKV.h"

#include "Utilskv.h"

#include <memory>

KV_METACLASS(TDBRichEdtKV, &TRichEdtKV::ClassInfo())

namespace {

WPARAM StreamFormat(const TRichEdtKV& Editor) {
    return Editor.GetPlainText() ? SF_TEXT : SF_RTF;
}

std::unique_ptr<TStream> BlobStream(TField* Field, TBlobStreamMode Mode) {
    return std::unique_ptr<TStream>(Field->GetDataSet()->CreateBlobStream(Field, Mode));
}

// Loading and saving need a field; without one nothing is touched.
void CheckField(const TField* Field, const char* Message) {
    if (!Field) throw EInvalidOperation(Message);
}

} // namespace

void TDBRichEdtKV::LoadFromDatabase(TField* Field) {
    CheckField(Field, "No field to load the text from");
    if (Field->GetIsNull()) {
        Clear();
        EdtRich->Perform(EM_EMPTYUNDOBUFFER);
    } else {
        TNotifyEvent onChange = GetOnChange();
        SetOnChange(nullptr);
        TEditStream stream;
        try {
            std::unique_ptr<TStream> blob = BlobStream(Field, bmRead);
            stream.dwCookie = reinterpret_cast<DWORD_PTR>(blob.get());
            stream.pfnCallback = RichEditStreamInCallback;
            EdtRich->Perform(EM_STREAMIN, StreamFormat(*this), reinterpret_cast<LPARAM>(&stream));
        } catch (...) {
            SetOnChange(onChange);
            throw;
        }
        SetOnChange(onChange);
        if (stream.dwError != 0) throw EOutOfResources("Das Laden des Streams ist mißlungen");
    }
    SetModified(false);
    EdtRichSelectionChange(this);
}

void TDBRichEdtKV::SaveToDatabase(TField* Field) {
    CheckField(Field, "No field to save the text to");
    if (EdtRich->GetText().empty()) {
        Field->Clear();
        return;
    }
    TEditStream stream;
    {
        // Deleting the stream completes the write into the field.
        std::unique_ptr<TStream> blob = BlobStream(Field, bmWrite);
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(blob.get());
        stream.pfnCallback = RichEditStreamOutCallback;
        EdtRich->Perform(EM_STREAMOUT, StreamFormat(*this), reinterpret_cast<LPARAM>(&stream));
    }
    if (stream.dwError != 0) throw EOutOfResources("Das Speichern des Streams ist mißlungen");
}

namespace Dbrichedtkv {

void Register() {
    RegisterComponents("KVDB", {&TDBRichEdtKV::ClassInfo()});
}

} // namespace Dbrichedtkv
