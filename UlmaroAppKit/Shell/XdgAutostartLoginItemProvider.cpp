#include "UlmaroAppKit/Shell/XdgAutostartLoginItemProvider.h"

#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/ProgramLocation.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace {

constexpr std::size_t maxEntryBytes = 64 * 1024;

// A hand-edited or planted file is read like any other untrusted file: regular, capped,
// never waited on.
std::optional<std::string> readEntry(const std::filesystem::path& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > maxEntryBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

struct Entry {
    bool hidden = false;
    bool disabled = false;
    std::optional<std::string> exec;
};

Entry parseEntry(std::string_view text) {
    Entry entry;
    bool inMainGroup = false;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        auto trim = [](std::string_view s) {
            while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
                s.remove_prefix(1);
            while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
                s.remove_suffix(1);
            return s;
        };
        std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        if (key == "Hidden")
            entry.hidden = value == "true";
        else if (key == "X-GNOME-Autostart-enabled")
            entry.disabled = value == "false";
        else if (key == "Exec")
            entry.exec = std::string(value);
    }
    return entry;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && path.front() == '/' && ::stat(path.c_str(), &st) == 0 &&
           S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

constexpr const char* programName = "ulmaro";

} // namespace

XdgAutostartLoginItemProvider::XdgAutostartLoginItemProvider(ExecutableLocator executable)
    : executable_(std::move(executable)) {}

std::filesystem::path XdgAutostartLoginItemProvider::entryPath() {
    // configDirectory() is the XDG config home plus our own folder.
    return DataLocations::configDirectory().parent_path() / "autostart" / "ulmaro.desktop";
}

std::filesystem::path XdgAutostartLoginItemProvider::runningExecutable() {
    return ProgramLocation::executable();
}

std::optional<std::filesystem::path>
XdgAutostartLoginItemProvider::resolveProgram(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) {
        if (isExecutableFile(program)) return std::filesystem::path(program);
        return std::nullopt;
    }
    const char* value = std::getenv("PATH");
    std::string_view path = value ? value : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = path.find(':');
        const std::string_view folder = path.substr(0, colon);
        // Only absolute folders: the session's working directory is not ours to guess.
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate(folder);
            candidate += '/';
            candidate += program;
            if (isExecutableFile(candidate)) return std::filesystem::path(candidate);
        }
        if (colon == std::string_view::npos) return std::nullopt;
        path.remove_prefix(colon + 1);
    }
}

std::filesystem::path XdgAutostartLoginItemProvider::installedExecutable() {
    if (auto installed = resolveProgram(programName)) return *installed;
    return runningExecutable();
}

std::string XdgAutostartLoginItemProvider::execValue(const std::filesystem::path& program) {
    std::string quoted = "\"";
    for (char c : program.native()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::optional<std::string>
XdgAutostartLoginItemProvider::programOfExecValue(std::string_view value) {
    // The string escapes come off first, then the argument quoting.
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        char next = value[++i];
        switch (next) {
        case 's':
            unescaped += ' ';
            break;
        case 'n':
            unescaped += '\n';
            break;
        case 't':
            unescaped += '\t';
            break;
        case 'r':
            unescaped += '\r';
            break;
        case '\\':
            unescaped += '\\';
            break;
        default:
            unescaped += '\\';
            unescaped += next;
        }
    }
    std::string program;
    std::size_t i = 0;
    while (i < unescaped.size() && (unescaped[i] == ' ' || unescaped[i] == '\t'))
        ++i;
    if (i < unescaped.size() && unescaped[i] == '"') {
        for (++i;; ++i) {
            if (i >= unescaped.size()) return std::nullopt;
            char c = unescaped[i];
            if (c == '"') break;
            if (c == '\\' && i + 1 < unescaped.size()) c = unescaped[++i];
            program += c;
        }
    } else {
        while (i < unescaped.size() && unescaped[i] != ' ' && unescaped[i] != '\t')
            program += unescaped[i++];
    }
    std::string result;
    for (std::size_t k = 0; k < program.size(); ++k) {
        result += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
    }
    if (result.empty()) return std::nullopt;
    return result;
}

LoginItemStatus XdgAutostartLoginItemProvider::status() const {
    auto text = readEntry(entryPath());
    if (!text) return LoginItemStatus::notRegistered;
    Entry entry = parseEntry(*text);
    if (entry.hidden || entry.disabled) return LoginItemStatus::notRegistered;
    if (!entry.exec) return LoginItemStatus::notFound;
    auto program = programOfExecValue(*entry.exec);
    return program && resolveProgram(*program) ? LoginItemStatus::enabled
                                               : LoginItemStatus::notFound;
}

void XdgAutostartLoginItemProvider::registerItem() {
    std::filesystem::path program = executable_();
    if (program.empty() || !program.is_absolute())
        throw std::system_error(ENOENT, std::generic_category(), "cannot find Ulmaro's program");
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Ulmaro\n"
                       "Exec=" +
                       execValue(program) +
                       "\n"
                       "X-GNOME-Autostart-enabled=true\n";
    writeFileAtomically(entryPath(), text);
}

void XdgAutostartLoginItemProvider::unregisterItem() {
    if (::unlink(entryPath().c_str()) != 0 && errno != ENOENT)
        throw std::system_error(errno, std::generic_category(), "cannot remove the login item");
}

} // namespace ulmaro
