#pragma once

#include "UlmaroAppKit/Panel/RecentFileEntry.h"
#include "UlmaroAppKit/Panel/RecentSearchEntry.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;

namespace ulmaro {

class IconResolver;

/// A remembered search in the empty panel: the history symbol, its query and "1 result" /
/// "N results". A click runs `onSelect`.
class RecentSearchRowView final : public QWidget {
    Q_OBJECT
public:
    RecentSearchRowView(RecentSearchEntry entry, bool isSelected, std::function<void()> onSelect,
                        QWidget* parent = nullptr);

    const RecentSearchEntry& entry() const { return entry_; }
    bool isSelected() const { return isSelected_; }
    /// "1 result", "0 results", "12 results".
    static QString countText(std::int64_t count);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RecentSearchEntry entry_;
    bool isSelected_;
    std::function<void()> onSelect_;
};

/// A recently opened file in the empty panel: its 16 px icon (through the resolver, by the
/// one application rule; the "doc" symbol without one), its name and its folder. A click
/// runs `onSelect`.
class RecentFileRowView final : public QWidget {
    Q_OBJECT
public:
    RecentFileRowView(RecentFileEntry entry, bool isSelected, std::shared_ptr<IconResolver> icons,
                      std::function<void()> onSelect, QWidget* parent = nullptr);

    const RecentFileEntry& entry() const { return entry_; }
    bool isSelected() const { return isSelected_; }
    /// The folder line follows "app.ulmaro.showPaths"; the row keeps its height.
    void setShowsFolder(bool shows);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    RecentFileEntry entry_;
    bool isSelected_;
    std::function<void()> onSelect_;
    QLabel* folder_;
};

} // namespace ulmaro
