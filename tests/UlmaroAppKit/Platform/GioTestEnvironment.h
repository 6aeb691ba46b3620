#pragma once

#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gio/gio.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ulmaro::test {

/// GLib reads the XDG folders once per process and keeps one session-bus connection, so
/// every test that reaches GIO shares this one environment, set up before GLib's first
/// use: temporary data and config homes (the Trash, applications and mimeapps.list live
/// there, never the user's), a recording folder handler and three text editors, and a
/// private session bus of our own when dbus-daemon is installed (else an address that
/// leads nowhere, so no test ever reaches the user's file manager).
class GioTestEnvironment {
public:
    static const GioTestEnvironment& shared() {
        static const GioTestEnvironment environment;
        return environment;
    }

    ~GioTestEnvironment() {
        if (busPid_ > 0) {
            ::kill(busPid_, SIGTERM);
            ::waitpid(busPid_, nullptr, 0);
        }
    }
    GioTestEnvironment(const GioTestEnvironment&) = delete;
    GioTestEnvironment& operator=(const GioTestEnvironment&) = delete;

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path dataHome() const { return root() / "data"; }
    std::filesystem::path trash() const { return dataHome() / "Trash"; }
    std::filesystem::path applications() const { return dataHome() / "applications"; }
    /// One line per folder URI the folder handler was started with.
    std::filesystem::path openedFolders() const { return root() / "opened-folders.txt"; }
    /// One line per launch of an editor: its name, then the URIs.
    std::filesystem::path openedDocuments() const { return root() / "opened-documents.txt"; }
    /// Empty when dbus-daemon is not installed.
    const std::string& busAddress() const { return busAddress_; }

private:
    GioTestEnvironment() {
        namespace fs = std::filesystem;
        fs::create_directories(applications());
        fs::create_directories(root() / "config");
        ::setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root() / "config").c_str(), 1);

        writeScript(root() / "open-folder",
                    "printf '%s\\n' \"$@\" >> '" + openedFolders().string() + "'\n");
        writeLauncher("ulmaro-test-folders", "open-folder %u", "inode/directory;");
        for (std::string editor : {"a", "b", "c"}) {
            writeScript(root() / ("edit-" + editor),
                        "echo " + editor + " \"$@\" >> '" + openedDocuments().string() + "'\n");
            writeLauncher("ulmaro-test-editor-" + editor, "edit-" + editor + " %U", "text/plain;");
        }
        // GIO finds the applications of a type in the cache update-desktop-database writes.
        std::ofstream(applications() / "mimeinfo.cache")
            << "[MIME Cache]\ninode/directory=ulmaro-test-folders.desktop;\n"
            << "text/plain=ulmaro-test-editor-a.desktop;ulmaro-test-editor-b.desktop;"
               "ulmaro-test-editor-c.desktop;\n";
        std::ofstream(root() / "config" / "mimeapps.list")
            << "[Default Applications]\n"
            << "inode/directory=ulmaro-test-folders.desktop\n"
            << "text/plain=ulmaro-test-editor-c.desktop\n";

        startBus();
        ::setenv("DBUS_SESSION_BUS_ADDRESS",
                 busAddress_.empty() ? ("unix:path=" + (root() / "no-bus").string()).c_str()
                                     : busAddress_.c_str(),
                 1);
        // GIO's launcher talks on the shared connection; it must outlive our bus quietly.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))
            g_dbus_connection_set_exit_on_close(bus, FALSE); // kept for the process
    }

    void writeScript(const std::filesystem::path& path, const std::string& body) const {
        std::ofstream(path) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    void writeLauncher(const std::string& id, const std::string& exec,
                       const std::string& types) const {
        std::ofstream(applications() / (id + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=" << id
            << "\nExec=" << (root() / exec).string() << "\nMimeType=" << types << "\n";
    }

    void startBus() {
        const char* daemon = "/usr/bin/dbus-daemon";
        if (::access(daemon, X_OK) != 0) return;
        const auto socket = root() / "bus";
        std::ofstream(root() / "bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\""
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:path="
            << socket.string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>\n";
        const std::string config = "--config-file=" + (root() / "bus.conf").string();
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // the bus ends with the test process
            if (::getppid() != parent) ::_exit(1);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::execl(daemon, daemon, config.c_str(), "--nofork", "--nopidfile",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0) return;
        busPid_ = pid;
        for (int i = 0; i < 5000 && !std::filesystem::exists(socket); ++i)
            ::usleep(1000);
        if (std::filesystem::exists(socket)) busAddress_ = "unix:path=" + socket.string();
    }

    TempDir dir_;
    pid_t busPid_ = -1;
    std::string busAddress_;
};

} // namespace ulmaro::test
