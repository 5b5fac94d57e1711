#include "IniFiles.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct TIniFile::TLines {
    std::vector<AnsiString> Items;
    bool CrLf = false;
};

namespace {

AnsiString TrimBlanks(const AnsiString& S) {
    size_t b = 0, e = S.size();
    while (b < e && (S[b] == ' ' || S[b] == '\t'))
        ++b;
    while (e > b && (S[e - 1] == ' ' || S[e - 1] == '\t'))
        --e;
    return S.substr(b, e - b);
}

bool IsQuote(char C) {
    return C == '"' || C == '\'';
}

// The section a line opens, or false.
bool SectionOf(const AnsiString& Line, AnsiString& Name) {
    AnsiString t = TrimBlanks(Line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == AnsiString::npos) return false;
    Name = TrimBlanks(t.substr(1, close - 1));
    return true;
}

// The key and raw value of a line, or false (comments, blank lines, text).
bool KeyOf(const AnsiString& Line, AnsiString& Key, AnsiString& Value) {
    AnsiString t = TrimBlanks(Line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return false;
    size_t eq = t.find('=');
    if (eq == AnsiString::npos) return false;
    Key = TrimBlanks(t.substr(0, eq));
    if (Key.empty()) return false;
    Value = TrimBlanks(t.substr(eq + 1));
    return true;
}

// Values are read without enclosing quotes; a value that would lose blanks
// or quotes that way is written inside a pair of double quotes.
AnsiString DecodeValue(const AnsiString& Raw) {
    if (Raw.size() >= 2 && IsQuote(Raw.front()) && Raw.back() == Raw.front())
        return Raw.substr(1, Raw.size() - 2);
    return Raw;
}

AnsiString EncodeValue(const AnsiString& Value) {
    bool blanks = !Value.empty() && (Value.front() == ' ' || Value.front() == '\t' || Value.back() == ' ' ||
                                     Value.back() == '\t');
    bool quoted = Value.size() >= 2 && IsQuote(Value.front()) && Value.back() == Value.front();
    return blanks || quoted ? "\"" + Value + "\"" : Value;
}

bool HasLineBreak(const AnsiString& S) {
    return S.find_first_of("\r\n") != AnsiString::npos;
}

// Where a section starts (the index of its header) and ends (one past its
// last line that is not blank); -1 when the file has no such section.
struct TSpan {
    int Header = -1;
    int End = -1;
};

TSpan FindSection(const std::vector<AnsiString>& Lines, const AnsiString& Section) {
    TSpan span;
    AnsiString name;
    for (int i = 0; i < static_cast<int>(Lines.size()); ++i) {
        const AnsiString& line = Lines[static_cast<size_t>(i)];
        if (SectionOf(line, name)) {
            if (span.Header >= 0) break;
            if (SameText(name, Section)) {
                span.Header = i;
                span.End = i + 1;
            }
            continue;
        }
        if (span.Header >= 0 && !TrimBlanks(line).empty()) span.End = i + 1;
    }
    return span;
}

int FindKey(const std::vector<AnsiString>& Lines, const TSpan& Span, const AnsiString& Ident,
            AnsiString* Value) {
    if (Span.Header < 0) return -1;
    AnsiString key, value;
    for (int i = Span.Header + 1; i < Span.End; ++i)
        if (KeyOf(Lines[static_cast<size_t>(i)], key, value) && SameText(key, Ident)) {
            if (Value) *Value = value;
            return i;
        }
    return -1;
}

std::atomic<unsigned> TempCounter{0};

} // namespace

TIniFile::TIniFile(const AnsiString& FileName, mode_t CreateMode)
    : FFileName(FileName), FCreateMode(CreateMode) {}

TIniFile::TLines TIniFile::Load(bool ForWrite) const {
    TLines lines;
    FILE* f = std::fopen(FFileName.c_str(), "rb");
    if (!f) {
        // Reading, a missing or unreadable file gives the defaults; a write
        // must not replace a file whose contents it could not see.
        if (ForWrite && errno != ENOENT) WriteError(std::strerror(errno));
        return lines;
    }
    AnsiString data;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        if (ForWrite) WriteError("the file cannot be read");
        return TLines();
    }
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == AnsiString::npos) end = data.size();
        AnsiString line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (lines.Items.empty()) lines.CrLf = true;
        }
        lines.Items.push_back(line);
        start = end + 1;
    }
    return lines;
}

void TIniFile::WriteError(const AnsiString& Why) const {
    throw EIniFileException("Unable to write to " + FFileName + (Why.empty() ? AnsiString() : ": " + Why));
}

void TIniFile::Save(const TLines& Lines) const {
    AnsiString data;
    const char* eol = Lines.CrLf ? "\r\n" : "\n";
    for (const AnsiString& line : Lines.Items)
        data += line + eol;

    // A new file beside the old one, renamed over it once complete.
    AnsiString temp = FFileName + ".tmp" + IntToStr(getpid()) + "-" + IntToStr(TempCounter++);
    struct stat old {};
    bool exists = ::stat(FFileName.c_str(), &old) == 0;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : FCreateMode);
    if (fd < 0) WriteError(std::strerror(errno));
    auto fail = [&](int Error) {
        ::close(fd);
        ::unlink(temp.c_str());
        WriteError(std::strerror(Error));
    };
    if (exists) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) fail(errno);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Another owner's file: keep its group and others out rather than widen them.
            (void)::fchmod(fd, old.st_mode & 0700);
        }
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<size_t>(w);
    }
    if (::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        WriteError(std::strerror(e));
    }
    if (::rename(temp.c_str(), FFileName.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        WriteError(std::strerror(e));
    }
}

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident,
                                const AnsiString& Default) const {
    TLines lines = Load(false);
    AnsiString value;
    if (FindKey(lines.Items, FindSection(lines.Items, Section), Ident, &value) < 0) return Default;
    return DecodeValue(value);
}

void TIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
    AnsiString section = TrimBlanks(Section), ident = TrimBlanks(Ident);
    if (section.empty() || HasLineBreak(section) || section.find(']') != AnsiString::npos)
        WriteError("invalid section name '" + Section + "'");
    if (ident.empty() || HasLineBreak(ident) || ident.find('=') != AnsiString::npos || ident.front() == ';' ||
        ident.front() == '[')
        WriteError("invalid key name '" + Ident + "'");
    if (HasLineBreak(Value)) WriteError("the value of " + ident + " holds a line break");

    TLines lines = Load(true);
    TSpan span = FindSection(lines.Items, section);
    AnsiString line = ident + "=" + EncodeValue(Value);
    int at = FindKey(lines.Items, span, ident, nullptr);
    if (at >= 0) {
        // The key keeps the spelling it has in the file.
        AnsiString key, old;
        KeyOf(lines.Items[static_cast<size_t>(at)], key, old);
        line = key + "=" + EncodeValue(Value);
        if (lines.Items[static_cast<size_t>(at)] == line) return;
        lines.Items[static_cast<size_t>(at)] = line;
    } else if (span.Header >= 0) {
        lines.Items.insert(lines.Items.begin() + span.End, line);
    } else {
        while (!lines.Items.empty() && TrimBlanks(lines.Items.back()).empty())
            lines.Items.pop_back();
        if (!lines.Items.empty()) lines.Items.push_back(AnsiString());
        lines.Items.push_back("[" + section + "]");
        lines.Items.push_back(line);
    }
    Save(lines);
}

int TIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default) const {
    return StrToIntDef(ReadString(Section, Ident, AnsiString()), Default);
}

void TIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value) {
    WriteString(Section, Ident, IntToStr(Value));
}

bool TIniFile::ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) const {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

double TIniFile::ReadFloat(const AnsiString& Section, const AnsiString& Ident, double Default) const {
    double value = 0;
    return TryStrToFloat(ReadString(Section, Ident, AnsiString()), value) ? value : Default;
}

void TIniFile::WriteFloat(const AnsiString& Section, const AnsiString& Ident, double Value) {
    WriteString(Section, Ident, FloatToStr(Value));
}

bool TIniFile::SectionExists(const AnsiString& Section) const {
    TLines lines = Load(false);
    return FindSection(lines.Items, Section).Header >= 0;
}

bool TIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) const {
    TLines lines = Load(false);
    return FindKey(lines.Items, FindSection(lines.Items, Section), Ident, nullptr) >= 0;
}

void TIniFile::ReadSection(const AnsiString& Section, TStrings* Strings) const {
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        TLines lines = Load(false);
        TSpan span = FindSection(lines.Items, Section);
        AnsiString key, value;
        for (int i = span.Header + 1; span.Header >= 0 && i < span.End; ++i)
            if (KeyOf(lines.Items[static_cast<size_t>(i)], key, value)) Strings->Add(key);
    } catch (...) {
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

void TIniFile::ReadSections(TStrings* Strings) const {
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        TLines lines = Load(false);
        AnsiString name;
        for (const AnsiString& line : lines.Items)
            if (SectionOf(line, name)) Strings->Add(name);
    } catch (...) {
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

void TIniFile::ReadSectionValues(const AnsiString& Section, TStrings* Strings) const {
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        TLines lines = Load(false);
        TSpan span = FindSection(lines.Items, Section);
        AnsiString key, value;
        for (int i = span.Header + 1; span.Header >= 0 && i < span.End; ++i)
            if (KeyOf(lines.Items[static_cast<size_t>(i)], key, value))
                Strings->Add(key + "=" + DecodeValue(value));
    } catch (...) {
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

void TIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
    TLines lines = Load(true);
    int at = FindKey(lines.Items, FindSection(lines.Items, Section), Ident, nullptr);
    if (at < 0) return;
    lines.Items.erase(lines.Items.begin() + at);
    Save(lines);
}

void TIniFile::EraseSection(const AnsiString& Section) {
    TLines lines = Load(true);
    TSpan span = FindSection(lines.Items, Section);
    if (span.Header < 0) return;
    // The section's lines up to the next section, trailing blank lines included.
    int end = span.Header + 1;
    AnsiString name;
    while (end < static_cast<int>(lines.Items.size()) &&
           !SectionOf(lines.Items[static_cast<size_t>(end)], name))
        ++end;
    lines.Items.erase(lines.Items.begin() + span.Header, lines.Items.begin() + end);
    Save(lines);
}
