#include "IniFiles.h"

#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The file as read, and the lines that a write changes or adds. Items are
// views into Data or into Added; only a value that is read is copied out,
// so reading costs one pass over the file, however long its lines.
struct TIniFile::TLines {
    TLines() = default;
    TLines(const TLines&) = delete;
    TLines& operator=(const TLines&) = delete;

    void Set(size_t At, AnsiString Line) { Items[At] = Added.emplace_back(std::move(Line)); }
    void Insert(size_t At, AnsiString Line) {
        Items.insert(Items.begin() + static_cast<std::ptrdiff_t>(At), Added.emplace_back(std::move(Line)));
    }
    void Append(AnsiString Line) { Items.push_back(Added.emplace_back(std::move(Line))); }

    AnsiString Data;
    AnsiString Target;            // the file a write replaces (read for a write only)
    std::deque<AnsiString> Added; // a deque keeps its strings in place
    std::vector<std::string_view> Items;
    bool CrLf = false;
};

namespace {

std::string_view TrimBlanks(std::string_view S) {
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

// SameText on a view: ASCII letters compare without case.
bool SameName(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(A[i]), b = static_cast<unsigned char>(B[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
        if (a != b) return false;
    }
    return true;
}

// A reader sees a line up to its first NUL byte, as the format's readers in
// C see it. A line is looked at only as far as a question needs: a long
// value is passed over, not searched, until it is read.

// For find_first_of: a character given as "c\0", and the NUL byte.
constexpr std::string_view OrNul(const char (&C)[3]) {
    return std::string_view(C, 2);
}

// The section a line opens, or false.
bool SectionOf(std::string_view Line, std::string_view& Name) {
    size_t open = Line.find_first_not_of(" \t");
    if (open == std::string_view::npos || Line[open] != '[') return false;
    size_t close = Line.find_first_of(OrNul("]\0"), open + 1);
    if (close == std::string_view::npos || Line[close] != ']') return false;
    Name = TrimBlanks(Line.substr(open + 1, close - open - 1));
    return true;
}

// The key of a line and, when asked for, its raw value; or false (comments,
// blank lines, text).
bool KeyOf(std::string_view Line, std::string_view& Key, std::string_view* Value = nullptr) {
    size_t start = Line.find_first_not_of(" \t");
    if (start == std::string_view::npos || Line[start] == ';' || Line[start] == '[' || Line[start] == '\0')
        return false;
    size_t eq = Line.find_first_of(OrNul("=\0"), start);
    if (eq == std::string_view::npos || Line[eq] != '=') return false;
    Key = TrimBlanks(Line.substr(start, eq - start));
    if (Key.empty()) return false;
    if (Value) {
        std::string_view rest = Line.substr(eq + 1);
        *Value = TrimBlanks(rest.substr(0, rest.find('\0')));
    }
    return true;
}

// Values are read without enclosing quotes; a value that would lose blanks
// or quotes that way is written inside a pair of double quotes.
std::string_view Unquoted(std::string_view Raw) {
    if (Raw.size() >= 2 && IsQuote(Raw.front()) && Raw.back() == Raw.front())
        return Raw.substr(1, Raw.size() - 2);
    return Raw;
}

AnsiString DecodeValue(std::string_view Raw) {
    return AnsiString(Unquoted(Raw));
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

// What would not read back as it was written: a line break ends the line, a
// NUL byte the text a reader sees.
bool BreaksLine(const AnsiString& S) {
    return HasLineBreak(S) || S.find('\0') != AnsiString::npos;
}

// Where a section starts (the index of its header) and ends (one past its
// last line that is not blank); -1 when the file has no such section.
struct TSpan {
    int Header = -1;
    int End = -1;
};

TSpan FindSection(const std::vector<std::string_view>& Lines, std::string_view Section) {
    TSpan span;
    std::string_view name;
    for (int i = 0; i < static_cast<int>(Lines.size()); ++i) {
        std::string_view line = Lines[static_cast<size_t>(i)];
        if (SectionOf(line, name)) {
            if (span.Header >= 0) break;
            if (SameName(name, Section)) {
                span.Header = i;
                span.End = i + 1;
            }
            continue;
        }
        if (span.Header >= 0 && !TrimBlanks(line).empty()) span.End = i + 1;
    }
    return span;
}

int FindKey(const std::vector<std::string_view>& Lines, const TSpan& Span, std::string_view Ident,
            std::string_view* Value) {
    if (Span.Header < 0) return -1;
    std::string_view key;
    for (int i = Span.Header + 1; i < Span.End; ++i)
        if (KeyOf(Lines[static_cast<size_t>(i)], key) && SameName(key, Ident)) {
            if (Value) KeyOf(Lines[static_cast<size_t>(i)], key, Value);
            return i;
        }
    return -1;
}

std::atomic<unsigned> TempCounter{0};

// Closes a descriptor on every path.
struct TFileHandle {
    int Fd;
    ~TFileHandle() {
        if (Fd >= 0) ::close(Fd);
    }
};

AnsiString LargerThanTheLimit() {
    return "larger than " + IntToStr(static_cast<int>(MaxIniFileSize >> 20)) + " MiB";
}

} // namespace

TIniFile::TIniFile(const AnsiString& FileName, mode_t CreateMode)
    : FFileName(FileName), FCreateMode(CreateMode) {}

AnsiString TIniFile::GetTargetFileName() const {
    namespace fs = std::filesystem;
    // A link counts from its own folder; the folders on the way are left to
    // the system, which resolves them for the rename as it did for the read.
    fs::path at(FFileName);
    for (int hops = 0; hops < 40; ++hops) { // the system's own limit
        std::error_code ec;
        fs::path to = fs::read_symlink(at, ec);
        if (ec) return at.string(); // no link: a file, or none yet
        at = at.parent_path() / to;
    }
    return FFileName; // a loop: the write's look at the path reports it
}

void TIniFile::Load(TLines& Lines, bool ForWrite) const {
    // Reading, a file that is missing, unreadable or no regular file gives
    // the defaults; a write must not replace a file whose contents it could
    // not see. The path is looked at before it is opened: opening a pipe or
    // a device may block or do something by itself.
    auto readable = [&](const struct stat& Info) {
        if (!S_ISREG(Info.st_mode)) {
            if (ForWrite) WriteError("not a regular file");
            return false;
        }
        if (static_cast<std::uintmax_t>(Info.st_size) > MaxIniFileSize) TooLarge(ForWrite);
        return true;
    };
    struct stat info {};
    if (::stat(FFileName.c_str(), &info) != 0) {
        if (ForWrite && errno != ENOENT) WriteError(std::strerror(errno));
        // Nothing there, or a link to nothing yet: the write makes it.
        if (ForWrite) Lines.Target = GetTargetFileName();
        return;
    }
    if (!readable(info)) return;
    TFileHandle file{::open(FFileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.Fd < 0) {
        if (ForWrite) WriteError(std::strerror(errno));
        return;
    }
    // What was opened may have been swapped in after the look.
    if (::fstat(file.Fd, &info) != 0) {
        if (ForWrite) WriteError(std::strerror(errno));
        return;
    }
    if (!readable(info)) return;
    if (ForWrite) {
        // The write replaces the file that was read, not whatever a link
        // may have been turned to since.
        Lines.Target = GetTargetFileName();
        struct stat target {};
        if (::lstat(Lines.Target.c_str(), &target) != 0 || target.st_dev != info.st_dev ||
            target.st_ino != info.st_ino)
            WriteError("the file was replaced while it was read");
    }
    AnsiString& data = Lines.Data;
    data.reserve(static_cast<size_t>(info.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(file.Fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            data.clear();
            if (ForWrite) WriteError("the file cannot be read");
            return;
        }
        if (n == 0) break;
        // The file may grow while it is read: past the bound it is refused.
        if (data.size() + static_cast<size_t>(n) > MaxIniFileSize) {
            data.clear();
            TooLarge(ForWrite);
        }
        data.append(buf, static_cast<size_t>(n));
    }
    std::string_view rest(data);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            if (Lines.Items.empty()) Lines.CrLf = true;
        }
        Lines.Items.push_back(line);
    }
}

void TIniFile::WriteError(const AnsiString& Why) const {
    throw EIniFileException("Unable to write to " + FFileName + (Why.empty() ? AnsiString() : ": " + Why));
}

void TIniFile::TooLarge(bool ForWrite) const {
    AnsiString why = "the file is " + LargerThanTheLimit();
    if (ForWrite) WriteError(why);
    throw EIniFileException("Unable to read " + FFileName + ": " + why);
}

void TIniFile::Save(const TLines& Lines) const {
    AnsiString data;
    std::string_view eol = Lines.CrLf ? "\r\n" : "\n";
    size_t size = 0;
    for (std::string_view line : Lines.Items)
        size += line.size() + eol.size();
    if (size > MaxIniFileSize) WriteError("the file would be " + LargerThanTheLimit());
    data.reserve(size);
    for (std::string_view line : Lines.Items) {
        data += line;
        data += eol;
    }

    // A new file beside the old one, renamed over it once complete; through
    // a link, beside the file it leads to, so the link stays.
    const AnsiString& target = Lines.Target;
    assert(!target.empty()); // Load(Lines, true) names it
    AnsiString temp = target + ".tmp" + IntToStr(getpid()) + "-" + IntToStr(TempCounter++);
    struct stat old {};
    bool exists = ::stat(target.c_str(), &old) == 0;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : FCreateMode);
    if (fd < 0) WriteError(std::strerror(errno));
    auto fail = [&](int Error) {
        ::close(fd);
        ::unlink(temp.c_str());
        WriteError(std::strerror(Error));
    };
    if (exists) {
        // The file keeps its mode, less what CreateMode withholds: a file
        // made private stays private when its owner had opened it up.
        mode_t mode = (old.st_mode & 07777) & ~(0666 & ~FCreateMode);
        if (::fchmod(fd, mode) != 0) fail(errno);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Another owner's file: keep its group and others out rather than widen them.
            (void)::fchmod(fd, mode & 0700);
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
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        WriteError(std::strerror(e));
    }
}

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident,
                                const AnsiString& Default) const {
    TLines lines;
    Load(lines, false);
    std::string_view value;
    if (FindKey(lines.Items, FindSection(lines.Items, Section), Ident, &value) < 0) return Default;
    value = Unquoted(value);
    if (value.size() < lines.Data.size() / 2) return AnsiString(value);
    // A value that is most of the file is cut out of the text read, in
    // place, rather than copied into as much new memory again.
    size_t at = static_cast<size_t>(value.data() - lines.Data.data()), size = value.size();
    AnsiString text = std::move(lines.Data);
    text.resize(at + size);
    text.erase(0, at);
    return text;
}

void TIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
    AnsiString section(TrimBlanks(Section)), ident(TrimBlanks(Ident));
    if (section.empty() || BreaksLine(section) || section.find(']') != AnsiString::npos)
        WriteError("invalid section name '" + Section + "'");
    if (ident.empty() || BreaksLine(ident) || ident.find('=') != AnsiString::npos || ident.front() == ';' ||
        ident.front() == '[')
        WriteError("invalid key name '" + Ident + "'");
    if (HasLineBreak(Value)) WriteError("the value of " + ident + " holds a line break");
    if (Value.find('\0') != AnsiString::npos) WriteError("the value of " + ident + " holds a NUL byte");
    // Refused before the file is read: it could never be written.
    if (Value.size() > MaxIniFileSize) WriteError("the file would be " + LargerThanTheLimit());

    TLines lines;
    Load(lines, true);
    TSpan span = FindSection(lines.Items, section);
    AnsiString line = ident + "=" + EncodeValue(Value);
    int at = FindKey(lines.Items, span, ident, nullptr);
    if (at >= 0) {
        // The key keeps the spelling it has in the file.
        std::string_view key;
        KeyOf(lines.Items[static_cast<size_t>(at)], key);
        line = AnsiString(key) + "=" + EncodeValue(Value);
        if (lines.Items[static_cast<size_t>(at)] == line) return;
        lines.Set(static_cast<size_t>(at), std::move(line));
    } else if (span.Header >= 0) {
        lines.Insert(static_cast<size_t>(span.End), std::move(line));
    } else {
        while (!lines.Items.empty() && TrimBlanks(lines.Items.back()).empty())
            lines.Items.pop_back();
        if (!lines.Items.empty()) lines.Append(AnsiString());
        lines.Append("[" + section + "]");
        lines.Append(std::move(line));
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
    TLines lines;
    Load(lines, false);
    return FindSection(lines.Items, Section).Header >= 0;
}

bool TIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) const {
    TLines lines;
    Load(lines, false);
    return FindKey(lines.Items, FindSection(lines.Items, Section), Ident, nullptr) >= 0;
}

void TIniFile::ReadSection(const AnsiString& Section, TStrings* Strings) const {
    Strings->BeginUpdate();
    try {
        Strings->Clear();
        TLines lines;
        Load(lines, false);
        TSpan span = FindSection(lines.Items, Section);
        std::string_view key;
        for (int i = span.Header + 1; span.Header >= 0 && i < span.End; ++i)
            if (KeyOf(lines.Items[static_cast<size_t>(i)], key)) Strings->Add(AnsiString(key));
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
        TLines lines;
        Load(lines, false);
        std::string_view name;
        for (std::string_view line : lines.Items)
            if (SectionOf(line, name)) Strings->Add(AnsiString(name));
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
        TLines lines;
        Load(lines, false);
        TSpan span = FindSection(lines.Items, Section);
        std::string_view key, value;
        for (int i = span.Header + 1; span.Header >= 0 && i < span.End; ++i)
            if (KeyOf(lines.Items[static_cast<size_t>(i)], key, &value))
                Strings->Add(AnsiString(key) + "=" + DecodeValue(value));
    } catch (...) {
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}

void TIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
    TLines lines;
    Load(lines, true);
    int at = FindKey(lines.Items, FindSection(lines.Items, Section), Ident, nullptr);
    if (at < 0) return;
    lines.Items.erase(lines.Items.begin() + at);
    Save(lines);
}

void TIniFile::EraseSection(const AnsiString& Section) {
    TLines lines;
    Load(lines, true);
    TSpan span = FindSection(lines.Items, Section);
    if (span.Header < 0) return;
    // The section's lines up to the next section, trailing blank lines included.
    int end = span.Header + 1;
    std::string_view name;
    while (end < static_cast<int>(lines.Items.size()) &&
           !SectionOf(lines.Items[static_cast<size_t>(end)], name))
        ++end;
    lines.Items.erase(lines.Items.begin() + span.Header, lines.Items.begin() + end);
    Save(lines);
}
