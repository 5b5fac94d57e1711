// The framework's text form format: parsing, reading into components and
// writing components back.
//
//   object FrmMain: TFrmMain
//     Caption = 'Open'#13#10 + 'more'
//     Anchors = [akLeft, akTop]
//     Lines.Strings = ( 'a' 'b' )
//     OnClick = BtnOpenClick
//     object BtnOpen: TButton
//       ...
//     end
//   end
//
// Reading creates each nested object by class name (the class registry),
// owned by the root; sets published properties through the property tables;
// places a nested object in the object around it through the parent hook;
// fills the root's published fields; resolves references to other
// components by name once everything is read; binds event properties to the
// root's published handlers. Anything unknown is an error naming the line.
#pragma once

#include "TypInfo.h"

FRAMEWORK_EXCEPTION(EParserError, EConvertError); // the text is not well formed
FRAMEWORK_EXCEPTION(EFilerError, EStreamError);
FRAMEWORK_EXCEPTION(EReadError, EFilerError); // well formed, but does not fit the classes
FRAMEWORK_EXCEPTION(EWriteError, EFilerError);

struct TFormObject {
    AnsiString Name; // may be empty
    AnsiString ClassName;
    int Line = 0;
    std::vector<TFormProperty> Props;
    std::vector<TFormObject> Children;
};

// Parses one top-level object; EParserError "... on line N" on bad syntax.
TFormObject ParseFormText(const AnsiString& Text);

// Reads Text into Root, whose class is RootClass (the text's class name must
// be RootClass's). On failure everything the reader created is freed again
// and the root's fields are cleared before the error passes on.
void ReadComponentFromText(const AnsiString& Text, TComponent* Root, const TMetaClass& RootClass);

// Text form of Root: properties that differ from their defaults, the
// components Root owns, each nested in the one its class's parent getter
// names (the root when none), references by name, events bound by name.
AnsiString WriteComponentToText(const TComponent* Root, const TMetaClass& RootClass);

// Embedded form descriptions by resource name (the class name in capitals by
// convention, e.g. "TFRMMAIN"). The text must outlive its registration.
void RegisterFormResource(const AnsiString& Name, const char* Text);
const char* FindFormResource(const AnsiString& Name); // nullptr when unknown (case-insensitive)
// Reads the resource named after RootClass (upper-cased class name);
// EResNotFound when there is none.
FRAMEWORK_EXCEPTION(EResNotFound, Exception);
void ReadComponentRes(TComponent* Root, const TMetaClass& RootClass);

// Registers a form resource at program start:
//   KV_FORM_RESOURCE(TFRMMAIN, R"(object FrmMain: TFrmMain ... end)")
#define KV_FORM_RESOURCE(Name, Text)                                                                         \
    static const bool kv_form_resource_##Name = (RegisterFormResource(#Name, Text), true);
