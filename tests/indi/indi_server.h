// An indiserver of the test's own: a free port, its own control socket
// (-u) and a temporary HOME for the drivers' configuration, killed when the
// test ends.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

class IndiServer {
public:
    // The reason tests are skipped when indiserver is not installed; empty
    // when it is.
    static std::string missing();

    explicit IndiServer(const std::vector<std::string>& drivers);
    ~IndiServer();
    IndiServer(const IndiServer&) = delete;
    IndiServer& operator=(const IndiServer&) = delete;

    // True once the server accepts connections.
    bool started() const { return started_; }
    int port() const { return port_; }
    // Ends the server at once, as a crash or a pulled cable would.
    void kill_now();

    // A port nothing listens on.
    static int free_port();

private:
    pid_t pid_ = -1;
    int port_ = 0;
    bool started_ = false;
    std::string dir_;
};
