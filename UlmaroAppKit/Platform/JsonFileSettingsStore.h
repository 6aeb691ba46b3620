#pragma once

#include "UlmaroAppKit/Platform/SerialQueue.h"
#include "UlmaroAppKit/Platform/SettingsStore.h"

#include <filesystem>
#include <memory>

namespace ulmaro {

/// Settings kept in one JSON object in a file ("settings.json" in the config folder).
///
/// The file is read once at construction. A change applies in memory at once and is
/// written later on a utility queue, so a caller never waits on the disk; `flush()` writes
/// what is left before it returns (the app calls it at quit; destruction does too). Setting
/// the value already held is no change and writes nothing.
///
/// A write starts from a fresh read of the file and changes only the keys changed through
/// this store since the last write, so another running copy, another store over the same
/// file or a hand edit never loses a key; the config folder is locked (`flock`) meanwhile.
/// Memory then takes the file's other keys as written.
///
/// A damaged file (not JSON, not an object, not a regular file, larger than the cap,
/// unreadable) reads as empty, is reported in one stderr line and by `damage()`, and is
/// renamed to "settings.json.damaged" at once on the queue (so the next start finds none
/// and tells nothing again), or just before a later write that finds one. A failed write leaves
/// the old file whole, keeps the values in memory for this run (they go with the next
/// write) and is reported in one stderr line. Safe from any thread.
class JsonFileSettingsStore final : public SettingsStore {
public:
    JsonFileSettingsStore(std::filesystem::path file, SerialQueueFactory& queues);
    ~JsonFileSettingsStore() override;
    JsonFileSettingsStore(const JsonFileSettingsStore&) = delete;
    JsonFileSettingsStore& operator=(const JsonFileSettingsStore&) = delete;

    /// `DataLocations::configDirectory()` / "settings.json".
    static std::filesystem::path defaultPath();

    std::optional<nlohmann::json> value(std::string_view key) const override;
    void setValue(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;
    void flush() override;

    const std::filesystem::path& path() const;
    /// Why the file was set aside as damaged when it was read at construction; none when it
    /// was sound or missing. The application tells the user once.
    const std::optional<std::string>& damage() const { return damage_; }
    /// Where a damaged file is kept: the file's path with ".damaged" appended.
    std::filesystem::path damagedPath() const;

private:
    struct Core;
    void change(std::string_view key, std::optional<nlohmann::json> value);

    std::shared_ptr<Core> core_;
    std::shared_ptr<SerialQueue> queue_;
    std::optional<std::string> damage_;
};

} // namespace ulmaro
