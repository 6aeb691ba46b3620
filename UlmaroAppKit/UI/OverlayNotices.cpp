#include "UlmaroAppKit/UI/OverlayNotices.h"

#include "UlmaroAppKit/Panel/OverlayViewModel.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ulmaro::OverlayNotices {
namespace {

QWidget* lines(QWidget* parent, std::initializer_list<QString> texts, QMargins margins) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    layout->setSpacing(4);
    for (const QString& text : texts) {
        auto* label = new QLabel(text, box);
        label->setWordWrap(true);
        label->setFont(Theme::font(12));
        layout->addWidget(label);
    }
    return box;
}

} // namespace

QWidget* firstRunIntro(QWidget* parent) {
    return lines(parent,
                 {QStringLiteral("Ulmaro"),
                  QStringLiteral("Every file on your computer, as fast as you type.")},
                 {16, 14, 16, 0});
}

QWidget* firstRunCompletion(const std::shared_ptr<OverlayViewModel>& model, QWidget* parent) {
    return lines(parent,
                 {QString::fromStdString(model->firstRunCompletionMessage.get().value_or("")),
                  QString::fromStdString(model->hotkeyLine.get())},
                 {16, 12, 16, 12});
}

QWidget* fdaPrompt(std::function<void()>, std::function<void()>, QWidget* parent) {
    return lines(parent, {QStringLiteral("Search your whole computer")}, {16, 12, 16, 12});
}

QWidget* fdaBanner(const std::shared_ptr<OverlayViewModel>&, std::function<void()>,
                   QWidget* parent) {
    return lines(parent,
                 {QStringLiteral("Desktop, Documents, Downloads, Pictures, Music, cloud drives "
                                 "and a few other protected folders aren't indexed.")},
                 {16, 8, 16, 8});
}

} // namespace ulmaro::OverlayNotices
