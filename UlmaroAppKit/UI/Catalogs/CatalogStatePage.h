#pragma once

#include <QWidget>
#include <functional>

class QLabel;

namespace ulmaro {

class StyledButton;

/// The catalog window's detail when there is no folder to browse, a centred stack: the
/// empty state (no catalog chosen, with "Add Folder…") or a damaged catalog's notice with
/// its reason and what to do. Texts from disk are shown verbatim.
class CatalogStatePage final : public QWidget {
    Q_OBJECT
public:
    enum class Kind { empty, damaged };

    static constexpr const char* emptyBody =
        "Add a folder, or plug in a drive \u2014 Ulmaro will ask before cataloguing it.";

    explicit CatalogStatePage(Kind kind, QWidget* parent = nullptr);

    /// The empty state's "Add Folder…".
    std::function<void()> onAddFolder;

    /// "No catalogs yet" or "Choose a catalog".
    void setTitle(const QString& title);
    /// A damaged catalog's reason and hint.
    void setDamage(const QString& reason, const QString& hint);

    Kind kind() const { return kind_; }
    QLabel& title() const { return *title_; }
    QLabel& body() const { return *body_; }
    /// The damaged state's hint; none on the empty state.
    QLabel* hint() const { return hint_; }
    /// The empty state's button; none on the damaged state.
    StyledButton* addFolderButton() const { return addFolder_; }

private:
    Kind kind_;
    QLabel* title_;
    QLabel* body_;
    QLabel* hint_ = nullptr;
    StyledButton* addFolder_ = nullptr;
};

} // namespace ulmaro
