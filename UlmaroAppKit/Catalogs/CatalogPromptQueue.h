#pragma once

#include "UlmaroAppKit/Catalogs/CatalogPromptPresenting.h"
#include "UlmaroKit/Scanning/MountedVolume.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ulmaro {

/// Offers newly mounted drives for cataloguing, one at a time, oldest first. A drive is
/// known by its UUID while it waits and withdrawn by its mount path when it goes away; just
/// before its turn `stillWanted` may drop it. The offer leaves the screen before the
/// catalog side hears the answer. Main thread only.
class CatalogPromptQueue : public std::enable_shared_from_this<CatalogPromptQueue> {
public:
    using Answer = std::function<void(const MountedVolume&)>;
    using Wanted = std::function<bool(const MountedVolume&)>;

    /// The answer callbacks handed to the presenter hold the queue weakly, so its panel
    /// never keeps it alive.
    static std::shared_ptr<CatalogPromptQueue>
    create(std::shared_ptr<CatalogPromptPresenting> presenter, Answer onCatalog, Answer onDecline,
           Wanted stillWanted);

    /// Asks for an offer of the volume; a UUID already on screen or waiting is ignored.
    void enqueue(const MountedVolume& volume);
    /// The volume at `mountPath` was unmounted: it no longer waits, and leaves the screen.
    void withdraw(const std::string& mountPath);

    /// The volume offered on screen now.
    const std::optional<MountedVolume>& current() const { return current_; }
    const std::deque<MountedVolume>& waiting() const { return waiting_; }
    CatalogPromptPresenting& presenter() const { return *presenter_; }

    /// "Catalog “Backup”?" for a drive named Backup.
    static std::string title(const MountedVolume& volume);

private:
    CatalogPromptQueue(std::shared_ptr<CatalogPromptPresenting> presenter, Answer onCatalog,
                       Answer onDecline, Wanted stillWanted);

    void showNext();
    void answer(std::uint64_t offer, bool catalog);

    std::shared_ptr<CatalogPromptPresenting> presenter_;
    Answer onCatalog_;
    Answer onDecline_;
    Wanted stillWanted_;
    std::deque<MountedVolume> waiting_;
    std::optional<MountedVolume> current_;
    /// Counts the offers shown, so that an answer from an offer that has since left the
    /// screen cannot answer for the drive shown after it.
    std::uint64_t offer_ = 0;
};

} // namespace ulmaro
