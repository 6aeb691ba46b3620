#include "UlmaroAppKit/UI/Catalogs/CatalogPromptPanel.h"

#include "UlmaroAppKit/UI/Catalogs/CatalogPromptView.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"
#include "UlmaroAppKit/UI/X11/X11Desktop.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace ulmaro {
namespace {

class PromptWindow final : public QWidget {
public:
    explicit PromptWindow(CatalogPromptView* view)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          view_(view) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setWindowTitle(QStringLiteral("Ulmaro"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(view);
    }

    CatalogPromptView* view() const { return view_; }

protected:
    // Only an answer or a withdrawal takes the offer away.
    void closeEvent(QCloseEvent* event) override { event->ignore(); }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    CatalogPromptView* view_;
};

} // namespace

CatalogPromptPanel::~CatalogPromptPanel() {
    dismiss();
}

CatalogPromptView* CatalogPromptPanel::view() const {
    return panel_ ? static_cast<PromptWindow*>(panel_.data())->view() : nullptr;
}

void CatalogPromptPanel::present(const std::string& title, std::function<void()> onCatalog,
                                 std::function<void()> onDecline) {
    dismiss();
    auto* window = new PromptWindow(new CatalogPromptView(
        PlainText::fromBytes(title), std::move(onCatalog), std::move(onDecline)));
    window->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.x() + area.width() - rightInset, area.y() + topInset);
    }
    panel_ = window;
    if (auto desktop = X11Desktop::current())
        desktop->keepOffTaskBar(std::uint32_t(window->winId()));
    window->show();
    window->raise();
}

void CatalogPromptPanel::dismiss() {
    if (!panel_) return;
    QWidget* window = panel_;
    panel_ = nullptr;
    window->hide();
    window->deleteLater();
}

} // namespace ulmaro
