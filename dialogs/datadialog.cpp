#include "dialogs/datadialog.h"

#include "dialogs/geosearchpanel.h"
#include "prompts/prompts.h"
#include "records/editing.h"
#include "records/placerecord.h"
#include "settings/programdir.h"
#include "ui_datadialog.h"
#include "widgets/assist/userassist.h"
#include "widgets/mivaromaputil.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLineEdit>
#include <QTreeWidget>

DataDialog::DataDialog(const QString& name, const QString& x, const QString& y,
                       const QString& color, const QString& layer, const QString& shape,
                       const QString& font, const QString& level, QWidget* parent,
                       Geocoder* geocoder)
    : QDialog(parent), ui(new Ui::DataDialog), parentWindow(parent)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    util = new MivaroMapUtil(this);

    ui->le_name->setText(name);
    const std::pair<QLineEdit*, const QString&> fields[] = {{ui->le_coordX, x},
                                                            {ui->le_coordY, y},
                                                            {ui->le_colorno, color},
                                                            {ui->le_layerno, layer},
                                                            {ui->le_shape, shape}};
    for (const auto& [edit, text] : fields) {
        edit->setText(text);
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, SIGNAL(customContextMenuRequested(const QPoint&)), this,
                SLOT(onMouseRightClick(const QPoint&)));
    }
    // Not a number gives 0, which the spin boxes raise to their minimum.
    ui->spnPoint->setValue(toIntOrZero(font));
    ui->spnZoomLevel->setValue(toIntOrZero(level));
    if (geocoder)
        addSearch(geocoder);
}

void DataDialog::addSearch(Geocoder* geocoder)
{
    // Below the fields, above the buttons: the buttons' row moves down one.
    QGridLayout* grid = ui->gridLayout;
    const int buttonsRow = grid->rowCount() - 1;
    QLayoutItem* buttons = grid->itemAtPosition(buttonsRow, 0);
    grid->removeItem(buttons);
    search = new GeoSearchPanel(geocoder, this);
    grid->addWidget(search, buttonsRow, 0);
    grid->addItem(buttons, buttonsRow + 1, 0);
    setTabOrder(ui->spnZoomLevel, search->queryEdit());
    setTabOrder(search->queryEdit(), search->resultList());
    connect(search, &GeoSearchPanel::chosen, this, [this](const geocoding::Place& place) {
        ui->le_coordX->setText(geocoding::coordinateText(place.longitude));
        ui->le_coordY->setText(geocoding::coordinateText(place.latitude));
        // A new place found by its name is most likely called so; a name the
        // dialog filled in itself follows a later choice.
        const QString name = ui->le_name->text().trimmed();
        if (name.isEmpty() || name == filledName) {
            ui->le_name->setText(place.name);
            filledName = place.name;
        }
    });
    // Room for the found places' addresses.
    resize(qMax(width(), 680), height() + search->sizeHint().height());
}

DataDialog::~DataDialog()
{
    onAssistClose();
    delete ui;
}

void DataDialog::on_btnOK_clicked()
{
    accept();
}

void DataDialog::on_btnCansel_clicked()
{
    reject();
}

void DataDialog::on_btnHelp_clicked()
{
    if (assist) {
        onAssistClose();
        return;
    }
    assist = new UserAssist(programDir() + QStringLiteral("/help/datadialog.help"), this);
    connect(assist, SIGNAL(UserAssistClose()), this, SLOT(onAssistClose()));
}

void DataDialog::onAssistClose()
{
    UserAssist::closeSet(assist, this, SLOT(onAssistClose()));
}

void DataDialog::onMouseRightClick(const QPoint&)
{
    QObject* from = sender();
    if (from == ui->le_coordX || from == ui->le_coordY) {
        if (Prompts::instance().question(
                this, QStringLiteral("座標ペースト"),
                QStringLiteral("クリップボードから座標XYをペーストしますか？"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) != QMessageBox::Yes)
            return;
        const auto pair = editing::parseCoordinatePair(QApplication::clipboard()->text());
        if (!pair)
            return;
        ui->le_coordX->setText(pair->x.trimmed());
        ui->le_coordY->setText(pair->y.trimmed());
    } else if (from == ui->le_colorno) {
        const QRect frame = (parentWindow ? parentWindow : this)->frameGeometry();
        const int chosen =
            util->pickColorClass(frame.left(), frame.top(), frame.right(), frame.bottom());
        if (chosen >= 0)
            ui->le_colorno->setText(QString::number(chosen));
    } else if (from == ui->le_layerno) {
        const int chosen = util->pickLayer();
        if (chosen != -1)
            ui->le_layerno->setText(QString::number(chosen));
    } else if (from == ui->le_shape) {
        const QString chosen = util->pickShape();
        if (!chosen.isEmpty())
            ui->le_shape->setText(chosen);
    }
}

bool editPlaceInDialog(QString& name, QString& x, QString& y, QString& color, QString& layer,
                       QString& shape, QString& font, QString& level, QWidget* parent,
                       Geocoder* geocoder)
{
    auto* dialog = new DataDialog(name, x, y, color, layer, shape, font, level, parent, geocoder);
    const bool accepted = Prompts::instance().execDialog(dialog) == QDialog::Accepted;
    if (accepted) {
        const Ui::DataDialog* ui = dialog->form();
        name = ui->le_name->text();
        x = ui->le_coordX->text();
        y = ui->le_coordY->text();
        color = ui->le_colorno->text();
        layer = ui->le_layerno->text();
        shape = ui->le_shape->text();
        font = QStringLiteral("%1").arg(ui->spnPoint->value());
        level = QStringLiteral("%1").arg(ui->spnZoomLevel->value());
    }
    delete dialog;
    return accepted;
}
