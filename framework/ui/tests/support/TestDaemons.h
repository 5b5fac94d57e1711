// The private daemons that scripts/test starts for the tests (scripts/cupsd,
// scripts/smbserver), found through KV_CUPS_PORT and KV_SMB_PORT. A test
// that needs one skips with the reason these helpers give when it is absent.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace testdaemons {

inline bool Accepts(int Port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(Port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

// The port from Variable when a daemon listens there, else 0 and the reason.
inline int PortOf(const char* Variable, const char* Script, std::string& Reason) {
    const char* text = std::getenv(Variable);
    int port = text ? std::atoi(text) : 0;
    if (port <= 0 || port > 65535) {
        Reason =
            std::string(Variable) + " is not set: run " + Script + " start and set it, or use scripts/test";
        return 0;
    }
    if (!Accepts(port)) {
        Reason = std::string("nothing listens on 127.0.0.1:") + text + " (" + Script + " start)";
        return 0;
    }
    return port;
}

// Points the CUPS client library at the private daemon, with its default
// printer (KVTestLaser) deciding, not the caller's LPDEST or PRINTER.
inline std::string UseTestCups() {
    std::string reason;
    int port = PortOf("KV_CUPS_PORT", "scripts/cupsd", reason);
    if (!port) return reason;
    setenv("CUPS_SERVER", ("127.0.0.1:" + std::to_string(port)).c_str(), 1);
    unsetenv("LPDEST");
    unsetenv("PRINTER");
    return {};
}

// "smb://[Logon@]127.0.0.1:port" of the private Samba server, or empty with the reason.
inline std::string SambaServerUrl(std::string& Reason, const std::string& Logon = {}) {
    int port = PortOf("KV_SMB_PORT", "scripts/smbserver", Reason);
    if (!port) return {};
    return "smb://" + (Logon.empty() ? std::string() : Logon + "@") + "127.0.0.1:" + std::to_string(port);
}

// The server's address as remote names carry it.
inline std::string SambaServerName() {
    const char* text = std::getenv("KV_SMB_PORT");
    return std::string("127.0.0.1:") + (text ? text : "");
}

// A test that lists the private Samba server; it skips when that does not run.
class SambaTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        Server = SambaServerUrl(reason);
        if (Server.empty()) GTEST_SKIP() << reason;
        Prefix = "smb://" + SambaServerName() + "/";
    }
    std::string Server; // smb://127.0.0.1:port
    std::string Prefix; // what the remote names of its shares start with
};

// A test of the printers of the private CUPS daemon; it skips when that does not run.
class CupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason = UseTestCups();
        if (!reason.empty()) GTEST_SKIP() << reason;
    }
};

} // namespace testdaemons
