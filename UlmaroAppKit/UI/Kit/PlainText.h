#pragma once

#include <QString>
#include <string_view>

class QAbstractButton;
class QLabel;
class QMessageBox;
class QWidget;

namespace ulmaro {

/// Names, labels, paths and error texts come from disk and are shown exactly as they are.
/// Qt guesses rich text in labels, message boxes and tooltips (a catalog named
/// `<img src=…>` would load a file) and reads "&" in a button title as a mnemonic; every
/// text of the catalog window, onboarding and settings goes through here. GUI thread only.
struct PlainText {
    /// Display text of raw bytes: invalid UTF-8 becomes U+FFFD.
    static QString fromBytes(std::string_view bytes);

    static void setText(QLabel& label, const QString& text);
    /// A new label showing `text` as plain text.
    static QLabel* label(const QString& text, QWidget* parent = nullptr);
    /// A button or check box title with "&" shown, not taken as a mnemonic.
    static void setText(QAbstractButton& button, const QString& text);
    static QString buttonTitle(const QString& text);
    /// Sets a tooltip that shows `text` as it is; an empty text removes the tooltip.
    static void setToolTip(QWidget& widget, const QString& text);
    static QString toolTip(const QString& text);
    /// Makes the box's text and informative text plain; call after setting them.
    static void setPlain(QMessageBox& box);
};

} // namespace ulmaro
