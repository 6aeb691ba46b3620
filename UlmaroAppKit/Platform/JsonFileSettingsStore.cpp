#include "UlmaroAppKit/Platform/JsonFileSettingsStore.h"

#include "UlmaroAppKit/Platform/SettingsFile.h"
#include "UlmaroKit/Platform/AtomicFile.h"
#include "UlmaroKit/Platform/DataLocations.h"
#include "UlmaroKit/Platform/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace ulmaro {
namespace {

using json = nlohmann::json;
using Changes = std::map<std::string, std::optional<json>, std::less<>>;

// One line, in one write, so lines from several threads never interleave.
void logLine(const std::string& text) {
    std::string line = "Ulmaro: " + text + "\n";
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, line.data(), line.size());
}

void applyChanges(json& object, const Changes& changes) {
    for (const auto& [key, value] : changes) {
        if (value)
            object[key] = *value;
        else
            object.erase(key);
    }
}

// The damaged file goes to "settings.json.damaged", where the user can still find it.
void keepAside(const std::filesystem::path& file) {
    auto aside = file;
    aside += ".damaged";
    std::error_code ec;
    std::filesystem::rename(file, aside, ec);
    if (ec)
        logLine("could not keep the damaged settings file as " + aside.string() + ": " +
                ec.message());
}

// Serialises read-merge-write among processes (and stores) sharing the folder. Best effort:
// a holder that never lets go costs us the lock, not the write.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        fd_.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd_) return;
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    UniqueFd fd_; // closing it lets go of the lock
};

} // namespace

struct JsonFileSettingsStore::Core {
    std::filesystem::path file;

    mutable std::mutex stateMutex;
    json values = json::object();
    Changes pending; // changed here since the last write
    bool writeScheduled = false;

    std::mutex writeMutex;       // one read-merge-write at a time
    bool damageReported = false; // under writeMutex

    void writeNow();
    void setAsideIfDamaged();
};

void JsonFileSettingsStore::Core::setAsideIfDamaged() {
    std::lock_guard writing(writeMutex);
    FolderLock folderLock(file.parent_path());
    // Another copy may have written a sound file meanwhile.
    if (SettingsFile::read(file).state == SettingsFile::State::damaged) keepAside(file);
}

void JsonFileSettingsStore::Core::writeNow() {
    std::lock_guard writing(writeMutex);
    Changes changes;
    json memory;
    {
        std::lock_guard lock(stateMutex);
        changes = std::exchange(pending, {});
        writeScheduled = false;
        if (changes.empty()) return;
        memory = values;
    }

    FolderLock folderLock(file.parent_path());
    auto fresh = SettingsFile::read(file);
    json merged;
    switch (fresh.state) {
    case SettingsFile::State::valid:
        merged = std::move(fresh.object);
        break;
    case SettingsFile::State::missing:
        merged = json::object();
        break;
    case SettingsFile::State::unreadable: {
        // Writing now would replace keys we cannot see: keep the changes for a later write.
        logLine("could not read the settings file " + file.string() + " (" + fresh.problem +
                "); the change is kept for the next save");
        std::lock_guard lock(stateMutex);
        for (auto& [key, value] : changes)
            pending.try_emplace(key, std::move(value));
        return;
    }
    case SettingsFile::State::damaged: {
        if (!damageReported)
            logLine("the settings file " + file.string() + " is damaged (" + fresh.problem + ")");
        damageReported = false;
        keepAside(file);
        // What this run knows is the best base left.
        merged = std::move(memory);
        break;
    }
    }
    applyChanges(merged, changes);

    try {
        writeFileAtomically(file, SettingsFile::text(merged));
    } catch (const std::exception& e) {
        logLine("could not save settings to " + file.string() + ": " + e.what());
        std::lock_guard lock(stateMutex);
        for (auto& [key, value] : changes)
            pending.try_emplace(key, std::move(value)); // a newer change wins
        return;
    }
    std::lock_guard lock(stateMutex);
    values = std::move(merged);
    applyChanges(values, pending);
}

JsonFileSettingsStore::JsonFileSettingsStore(std::filesystem::path file, SerialQueueFactory& queues)
    : core_(std::make_shared<Core>()),
      queue_(queues.makeQueue("app.ulmaro.settings", QueueQuality::utility)) {
    core_->file = std::move(file);
    // "settings.json.tmp.…" of a write that never finished.
    removeLeftoverTemporaries(core_->file.parent_path());
    auto contents = SettingsFile::read(core_->file);
    if (contents.state == SettingsFile::State::unreadable)
        logLine("could not read the settings file " + core_->file.string() + " (" +
                contents.problem + "); using defaults until it can be read");
    if (contents.state == SettingsFile::State::damaged) {
        logLine("the settings file " + core_->file.string() + " is damaged (" + contents.problem +
                "); using defaults, and keeping it as settings.json.damaged");
        core_->damageReported = true;
        damage_ = contents.problem;
        queue_->async([weak = std::weak_ptr<Core>(core_)] {
            if (auto core = weak.lock()) core->setAsideIfDamaged();
        });
    }
    core_->values = std::move(contents.object);
}

JsonFileSettingsStore::~JsonFileSettingsStore() {
    core_->writeNow();
}

std::filesystem::path JsonFileSettingsStore::defaultPath() {
    return DataLocations::configDirectory() / "settings.json";
}

const std::filesystem::path& JsonFileSettingsStore::path() const {
    return core_->file;
}

std::filesystem::path JsonFileSettingsStore::damagedPath() const {
    auto aside = core_->file;
    aside += ".damaged";
    return aside;
}

std::optional<nlohmann::json> JsonFileSettingsStore::value(std::string_view key) const {
    std::lock_guard lock(core_->stateMutex);
    auto it = core_->values.find(key);
    if (it == core_->values.end()) return std::nullopt;
    return *it;
}

void JsonFileSettingsStore::setValue(std::string_view key, nlohmann::json value) {
    change(key, std::move(value));
}

void JsonFileSettingsStore::remove(std::string_view key) {
    change(key, std::nullopt);
}

void JsonFileSettingsStore::flush() {
    core_->writeNow();
}

void JsonFileSettingsStore::change(std::string_view key, std::optional<nlohmann::json> value) {
    bool schedule;
    {
        std::lock_guard lock(core_->stateMutex);
        // Storing what is stored writes nothing: callers that set a value on every update
        // would otherwise rewrite the file for ever. Compared as written, so 1 and 1.0 differ.
        const auto stored = core_->values.find(key);
        const bool isStored = stored != core_->values.end();
        if (value ? isStored && stored->dump() == value->dump() : !isStored) return;
        if (value)
            core_->values[std::string(key)] = *value;
        else
            core_->values.erase(std::string(key));
        core_->pending.insert_or_assign(std::string(key), std::move(value));
        schedule = !std::exchange(core_->writeScheduled, true);
    }
    // Outside the lock: a queue may run the task at once, on this thread.
    if (schedule)
        queue_->async([weak = std::weak_ptr<Core>(core_)] {
            if (auto core = weak.lock()) core->writeNow();
        });
}

} // namespace ulmaro
