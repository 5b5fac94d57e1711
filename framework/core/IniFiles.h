// Profile files: "[Section]" lines, each followed by "Key=Value" lines.
//
// A TIniFile names a file and goes to the disk on every call: reads parse
// the file as it is now (a missing file or key gives the default), writes
// change the one line concerned and replace the file as a whole, so a
// failed write leaves the old file untouched. Sections and keys compare
// case-insensitively; blanks around keys and values are not part of them;
// lines the reader does not understand are kept as they stand. A line is
// read up to its first NUL byte, as the format's C readers see it.
//
// Only a regular file is read: anything else at the path (a pipe, a device,
// a folder) reads as no file and is never written. A path that is a
// symbolic link is read and written where its links lead; the links stay.
// A file larger than MaxIniFileSize is refused whole, on reading and on
// writing, before any of it is read.
#pragma once

#include "Classes.h"

#include <sys/types.h>

FRAMEWORK_EXCEPTION(EIniFileException, Exception);

// Far above what settings hold (a value of 16 MiB fits), far below what
// would make every read a wait.
inline constexpr size_t MaxIniFileSize = size_t(64) << 20;

class TIniFile : public TObject {
public:
    // CreateMode: the permission bits a file created by the first write
    // gets (less the process's umask). An existing file keeps its own, less
    // the read and write bits that CreateMode withholds: a file for secrets
    // (0600) becomes its owner's alone at its next write.
    explicit TIniFile(const AnsiString& FileName, mode_t CreateMode = 0666);

    const AnsiString& GetFileName() const { return FFileName; }
    // The file a write replaces: FileName, or, when FileName is a symbolic
    // link, the first name at the end of its links that is no link (a file,
    // or nothing yet, which the write then makes).
    AnsiString GetTargetFileName() const;
    mode_t GetCreateMode() const { return FCreateMode; }

    // Every read raises EIniFileException "Unable to read <file>" for a file
    // larger than MaxIniFileSize.
    AnsiString ReadString(const AnsiString& Section, const AnsiString& Ident,
                          const AnsiString& Default) const;
    // Raises EIniFileException "Unable to write to <file>" when the file
    // cannot be written, is no regular file or would grow past
    // MaxIniFileSize, and for names or values that do not fit on a line
    // (a line break or a NUL byte).
    void WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value);
    // Decimal, or hexadecimal after "0x" or "$"; anything else reads as Default.
    int ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default) const;
    void WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value);
    // An integer: non-zero is true. Written as "1" or "0".
    bool ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) const;
    void WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value);
    // '.' as decimal separator.
    double ReadFloat(const AnsiString& Section, const AnsiString& Ident, double Default) const;
    void WriteFloat(const AnsiString& Section, const AnsiString& Ident, double Value);

    bool SectionExists(const AnsiString& Section) const;
    bool ValueExists(const AnsiString& Section, const AnsiString& Ident) const;
    // The keys of a section / the section names / "Key=Value" lines of a section.
    void ReadSection(const AnsiString& Section, TStrings* Strings) const;
    void ReadSections(TStrings* Strings) const;
    void ReadSectionValues(const AnsiString& Section, TStrings* Strings) const;

    // Removing what is not there changes nothing and does not create the file.
    void DeleteKey(const AnsiString& Section, const AnsiString& Ident);
    void EraseSection(const AnsiString& Section);
    // Writes are on disk when they return; kept for callers that flush.
    void UpdateFile() {}

private:
    struct TLines;
    void Load(TLines& Lines, bool ForWrite) const;
    void Save(const TLines& Lines) const;
    [[noreturn]] void WriteError(const AnsiString& Why = AnsiString()) const;
    [[noreturn]] void TooLarge(bool ForWrite) const;

    AnsiString FFileName;
    mode_t FCreateMode;
};
