#pragma once

#include "UlmaroAppKit/Panel/PanelKeyRules.h"
#include "UlmaroAppKit/UI/Panel/OverlayPanel.h"
#include "UlmaroAppKit/UI/Panel/PreviewWindow.h"
#include "UlmaroAppKit/UI/Qt/QtPasteboard.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Stands for the overlay view model until it exists: a selection, a browsing flag and a
/// record of what the panel asked of it, wired the way the shell wires the real one.
struct FakeOverlayModel {
    std::vector<std::string> results;
    int selected = -1;
    bool browsing = false;
    std::vector<char> filterDigits;
    std::vector<std::string> calls;
    QtPasteboard pasteboard;

    std::optional<std::string> selectedPath() const {
        if (selected < 0 || selected >= int(results.size())) return std::nullopt;
        return results[std::size_t(selected)];
    }
    void install(OverlayPanel& panel, QLineEdit& field) {
        panel.previewURLProvider = [this] { return selectedPath(); };
        panel.isBrowsingResults = [this] { return browsing; };
        panel.onQuickLookMove = [this](int step) {
            selected = std::clamp(selected + step, 0, int(results.size()) - 1);
        };
        panel.onFilterDigit = [this](char digit) { filterDigits.push_back(digit); };
        panel.onReveal = [this] { calls.push_back("reveal"); };
        panel.onFindCopies = [this] { calls.push_back("copies"); };
        panel.onOpenTerminal = [this] { calls.push_back("terminal"); };
        panel.onOpenSettings = [this] { calls.push_back("settings"); };
        panel.onToggleCheatSheet = [this] { calls.push_back("cheatsheet"); };
        panel.onCopyPath = [this] {
            auto path = selectedPath();
            if (!path) return false;
            pasteboard.setText(*path);
            return true;
        };
        panel.fieldHasSelectedText = [&field] {
            return PanelKeyRules::fieldSelectionIsDeliberate(int(field.selectedText().size()),
                                                             false);
        };
    }
};

/// A panel with a search field and a line of results.
struct PanelUnderTest {
    std::shared_ptr<OverlayPanel> panel = std::make_shared<OverlayPanel>();
    QLineEdit* field;
    FakeOverlayModel model;

    PanelUnderTest() {
        auto* content = new QWidget;
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(16, 16, 16, 16);
        field = new QLineEdit(content);
        field->setPlaceholderText(QStringLiteral("Search this computer"));
        layout->addWidget(field);
        auto* results = new QLabel(QStringLiteral("notes.txt\nphoto.png\nProjects"), content);
        layout->addWidget(results, 1);
        panel->setContent(content);
        model.install(*panel, *field);
    }
};

} // namespace ulmaro::test
