#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"

#include <algorithm>

namespace ulmaro {

std::shared_ptr<CatalogPromptQueue>
CatalogPromptQueue::create(std::shared_ptr<CatalogPromptPresenting> presenter, Answer onCatalog,
                           Answer onDecline, Wanted stillWanted) {
    return std::shared_ptr<CatalogPromptQueue>(new CatalogPromptQueue(
        std::move(presenter), std::move(onCatalog), std::move(onDecline), std::move(stillWanted)));
}

CatalogPromptQueue::CatalogPromptQueue(std::shared_ptr<CatalogPromptPresenting> presenter,
                                       Answer onCatalog, Answer onDecline, Wanted stillWanted)
    : presenter_(std::move(presenter)), onCatalog_(std::move(onCatalog)),
      onDecline_(std::move(onDecline)), stillWanted_(std::move(stillWanted)) {}

std::string CatalogPromptQueue::title(const MountedVolume& volume) {
    return "Catalog \u201C" + volume.name + "\u201D?";
}

void CatalogPromptQueue::enqueue(const MountedVolume& volume) {
    if (current_ && current_->uuid == volume.uuid) return;
    if (std::ranges::any_of(waiting_, [&](const auto& v) { return v.uuid == volume.uuid; })) return;
    waiting_.push_back(volume);
    showNext();
}

void CatalogPromptQueue::withdraw(const std::string& mountPath) {
    std::erase_if(waiting_, [&](const auto& v) { return v.mountPath == mountPath; });
    if (!current_ || current_->mountPath != mountPath) return;
    current_.reset();
    presenter_->dismiss();
    showNext();
}

void CatalogPromptQueue::showNext() {
    if (current_) return;
    std::optional<MountedVolume> next;
    while (!next && !waiting_.empty()) {
        MountedVolume volume = std::move(waiting_.front());
        waiting_.pop_front();
        if (!stillWanted_ || stillWanted_(volume)) next = std::move(volume);
    }
    if (!next) return;
    current_ = std::move(next);
    const std::uint64_t offer = ++offer_;
    std::weak_ptr<CatalogPromptQueue> weak = weak_from_this();
    presenter_->present(
        title(*current_),
        [weak, offer] {
            if (auto queue = weak.lock()) queue->answer(offer, true);
        },
        [weak, offer] {
            if (auto queue = weak.lock()) queue->answer(offer, false);
        });
}

void CatalogPromptQueue::answer(std::uint64_t offer, bool catalog) {
    if (!current_ || offer != offer_) return;
    MountedVolume volume = std::move(*current_);
    current_.reset();
    presenter_->dismiss();
    if (catalog) {
        if (onCatalog_) onCatalog_(volume);
    } else if (onDecline_) {
        onDecline_(volume);
    }
    showNext();
}

} // namespace ulmaro
