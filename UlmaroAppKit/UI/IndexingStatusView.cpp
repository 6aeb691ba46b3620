#include "UlmaroAppKit/UI/IndexingStatusView.h"

#include "UlmaroAppKit/Indexing/IndexHealth.h"
#include "UlmaroAppKit/UI/StyledLabel.h"
#include "UlmaroAppKit/UI/Theme.h"

#include <QVBoxLayout>

namespace ulmaro {

IndexingStatusView::IndexingStatusView(std::int64_t filesSoFar,
                                       std::function<void()> onContinueInBackground,
                                       QWidget* parent)
    : QWidget(parent), filesSoFar_(filesSoFar),
      onContinueInBackground_(std::move(onContinueInBackground)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 18, 16, 18);
    layout->addWidget(
        styledLabel(QString::fromStdString("Finding your files — " +
                                           IndexHealth::count(filesSoFar) + " so far"),
                    Theme::font(13), Theme::text(Theme::Level::secondary), this));
}

} // namespace ulmaro
