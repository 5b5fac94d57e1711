// The program's connection settings: server, database path, user name and
// password, and whether they are remembered between runs. One TSettings
// exists per run, reached through the global Settings; it owns its INI
// file object. Values set in this run live in memory; the file holds them
// only while its Remember flag ("Remeber") is on.
//
// The file lives beside the program. A program installed where its user
// may not write keeps it in the user's configuration folder instead: the
// file in use, for reading and for writing alike, is the program folder's
// when it exists and this user may read and write it; else the user's when
// that exists; else the program folder's when there is none there yet and
// one can be made; else the user's (its folder made when first written).
// So another user's private file beside the program is passed over, as if
// there were none. A file that is a symbolic link is judged where it leads:
// its folder is the one a write makes its new file in.
#pragma once

#include "IniFiles.h"

#include <memory>

class TSettings : public TObject {
public:
    // Raises Exception "Settings class already exists" while another lives.
    TSettings();
    ~TSettings() override;

    // "IbRowvaneDemo.ini" in the folder of the running program file.
    AnsiString GetIniFileName() const;
    // "IbRowvaneDemo.ini" in the user's configuration folder
    // ($XDG_CONFIG_HOME, else ~/.config); "" when the user has no home.
    AnsiString GetUserIniFileName() const;

    AnsiString GetServer() const { return ReadValue("Server", FServer); }
    void SetServer(const AnsiString& Value) { WriteValue("Server", FServer, Value); }
    AnsiString GetDatabase() const { return ReadValue("Database", FDatabase); }
    void SetDatabase(const AnsiString& Value) { WriteValue("Database", FDatabase, Value); }
    AnsiString GetUsername() const { return ReadValue("Username", FUsername); }
    void SetUsername(const AnsiString& Value) { WriteValue("Username", FUsername, Value); }
    AnsiString GetPassword() const { return ReadValue("Password", FPassword); }
    void SetPassword(const AnsiString& Value) { WriteValue("Password", FPassword, Value); }
    // Read from the file on every call.
    bool GetRemember() const;
    // Off removes the four values from the file; those held in memory stay.
    // Switching off cannot fail for want of a writable file: when the file
    // cannot be written but no longer remembers anything, nothing is lost.
    void SetRemember(bool Value);
    // Server + ":" + database, or the database alone without a server.
    AnsiString GetConnectString() const;

private:
    AnsiString ReadValue(const AnsiString& Key, const std::unique_ptr<AnsiString>& Held) const;
    void WriteValue(const AnsiString& Key, std::unique_ptr<AnsiString>& Field, const AnsiString& Value);
    // The file in use (see above), ready to be written when ForWrite.
    TIniFile& IniFile(bool ForWrite) const;

    mutable std::unique_ptr<TIniFile> FIniFile;
    std::unique_ptr<AnsiString> FServer;
    std::unique_ptr<AnsiString> FDatabase;
    std::unique_ptr<AnsiString> FUsername;
    std::unique_ptr<AnsiString> FPassword;
};

// The one settings object of the program, or null.
extern TSettings* Settings;

// The full path of the running program file.
AnsiString GetModuleFileName();
// Tests put the program file elsewhere (and so its INI file); an empty
// path goes back to the real one.
void SetModuleFileNameForTesting(const AnsiString& Path);
