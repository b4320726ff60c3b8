#include "dialogs/geosearchdialog.h"

#include "dialogs/geosearchpanel.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

GeoSearchDialog::GeoSearchDialog(Geocoder* geocoder, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("地名・住所で探す"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    search = new GeoSearchPanel(geocoder, this);
    layout->addWidget(search);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setAutoDefault(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(search, &GeoSearchPanel::chosen, this, [this](const geocoding::Place& chosen) {
        place = chosen;
        accept();
    });
    resize(620, 360);
    search->queryEdit()->setFocus();
}
