#pragma once

#include "UlmaroAppKit/Catalogs/CatalogPromptQueue.h"
#include "UlmaroAppKit/UI/Catalogs/CatalogPromptPanel.h"

#include <QCoreApplication>
#include <QEvent>
#include <memory>
#include <string>
#include <vector>

namespace ulmaro::test {

inline MountedVolume promptDrive(const std::string& name) {
    MountedVolume v;
    v.name = name;
    v.uuid = "uuid-" + name;
    v.mountPath = "/media/me/" + name;
    return v;
}

/// The real queue over the real panel, every drive wanted, answers written down.
struct PromptUnderTest {
    std::vector<std::string> answers;
    std::shared_ptr<CatalogPromptPanel> panel = std::make_shared<CatalogPromptPanel>();
    std::shared_ptr<CatalogPromptQueue> queue = CatalogPromptQueue::create(
        panel, [this](const MountedVolume& v) { answers.push_back("catalog " + v.name); },
        [this](const MountedVolume& v) { answers.push_back("decline " + v.name); },
        [](const MountedVolume&) { return true; });

    ~PromptUnderTest() {
        panel->dismiss();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace ulmaro::test
