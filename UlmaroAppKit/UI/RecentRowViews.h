#pragma once

#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace ulmaro {

class IconResolver;

/// A remembered search in the empty panel: its query and how many results it had. A click
/// runs `onSelect`.
class RecentSearchRowView final : public QWidget {
    Q_OBJECT
public:
    RecentSearchRowView(RecentSearchEntry entry, bool isSelected, std::function<void()> onSelect,
                        QWidget* parent = nullptr);

    const RecentSearchEntry& entry() const { return entry_; }
    bool isSelected() const { return isSelected_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RecentSearchEntry entry_;
    bool isSelected_;
    std::function<void()> onSelect_;
};

/// A recently opened file in the empty panel: its name and folder. A click runs `onSelect`.
class RecentFileRowView final : public QWidget {
    Q_OBJECT
public:
    RecentFileRowView(RecentFileEntry entry, bool isSelected, std::shared_ptr<IconResolver> icons,
                      std::function<void()> onSelect, QWidget* parent = nullptr);

    const RecentFileEntry& entry() const { return entry_; }
    bool isSelected() const { return isSelected_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RecentFileEntry entry_;
    bool isSelected_;
    std::function<void()> onSelect_;
};

} // namespace ulmaro
