#pragma once

#include "UlmaroAppKit/Platform/SerialQueue.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace ulmaro {

/// The GIO content types of files, told without waiting on the file system. A type the
/// name settles answers at once. Otherwise the name's best guess answers, and the file
/// itself (which may lie on a slow or hung mount) is examined on `queue`: later requests
/// for that path get what the examination found.
class ContentTypes final : public std::enable_shared_from_this<ContentTypes> {
public:
    /// Reads what the file system says of the file; may block.
    using Examine = std::function<std::string(const std::string& path)>;
    /// The most paths remembered; past it the memory starts afresh.
    static constexpr std::size_t capacity = 1024;

    static std::shared_ptr<ContentTypes> make(std::shared_ptr<SerialQueue> queue,
                                              Examine examine = fromFile);

    /// The path's type as far as it is known now; never touches the file.
    std::string of(const std::string& path);

    /// The type the name suggests; `settled` says whether the name alone decides it.
    static std::string fromName(const std::string& path, bool& settled);
    /// The file's own type (its kind, and its first bytes when the name does not settle
    /// it), else the name's guess.
    static std::string fromFile(const std::string& path);

    struct Passkey {
    private:
        Passkey() = default;
        friend class ContentTypes;
    };
    ContentTypes(Passkey, std::shared_ptr<SerialQueue> queue, Examine examine);

private:
    std::shared_ptr<SerialQueue> queue_;
    Examine examine_;
    std::mutex mutex_;
    /// None while the examination is under way.
    std::unordered_map<std::string, std::optional<std::string>> examined_;
};

} // namespace ulmaro
