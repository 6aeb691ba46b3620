#pragma once

#include <functional>
#include <memory>

class QWidget;

namespace ulmaro {

class OverlayViewModel;

/// The notices around the search layout, each made for the place the overlay view gives it.
/// Which of them show is `OverlaySections`' rule.
namespace OverlayNotices {

/// The product name and its line, above the header on a first run.
QWidget* firstRunIntro(QWidget* parent);
/// The first build's message, the files to try ("TRY ONE OF THESE", each opened as a recent
/// file is, then `onDismiss`) and the summon line, under the results on a first run.
QWidget* firstRunCompletion(const std::shared_ptr<OverlayViewModel>& model,
                            std::function<void()> onDismiss, QWidget* parent);
/// Asks for access to the protected folders: "Open Settings" runs `onGrant`, "Skip for now"
/// `onDefer`.
QWidget* fdaPrompt(std::function<void()> onGrant, std::function<void()> onDefer, QWidget* parent);
/// The one-line reminder of the folders left out: "Grant…" runs `onGrant`; the cross only
/// hides the banner, storing nothing.
QWidget* fdaBanner(const std::shared_ptr<OverlayViewModel>& model, std::function<void()> onGrant,
                   QWidget* parent);

/// Sizes and dates are still being learnt: the sentence on an orange rounded fill, wrapping
/// as it needs, padded for its place under the list or the no-match block.
QWidget* attributeHealNotice(QWidget* parent);

} // namespace OverlayNotices
} // namespace ulmaro
