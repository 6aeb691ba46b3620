#include "UlmaroApp/SettingsDamageNotice.h"

#include "UlmaroApp/TestMode.h"
#include "UlmaroAppKit/UI/Kit/PlainText.h"

#include <QMessageBox>

namespace ulmaro {

void showSettingsDamageNotice(const std::filesystem::path& keptAs, const std::string& problem,
                              QWidget* over) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ulmaro"),
                                QStringLiteral("Ulmaro’s settings could not be read, so it "
                                               "started with its default settings."),
                                QMessageBox::NoButton, over);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(QStringLiteral("The file was kept as ") +
                            PlainText::fromBytes(keptAs.native()) + QStringLiteral(" (") +
                            PlainText::fromBytes(problem) + QStringLiteral(")."));
    box->setStandardButtons(QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    TestMode::probe("notice settings damaged");
}

} // namespace ulmaro
