#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

class Geocoder;
class GeoSearchPanel;
class MivaroMapUtil;
class UserAssist;

namespace Ui {
class DataDialog;
}

// The eight values of one place, edited in a modal dialog. A right click on
// a coordinate field pastes a pair from the clipboard; on the class, layer
// and shape fields it opens their pickers. Given a geocoder, the dialog also
// searches a place by name or address; choosing one fills the coordinates.
class DataDialog : public QDialog
{
    Q_OBJECT
public:
    DataDialog(const QString& name, const QString& x, const QString& y, const QString& color,
               const QString& layer, const QString& shape, const QString& font,
               const QString& level, QWidget* parent = nullptr, Geocoder* geocoder = nullptr);
    ~DataDialog() override;

    Ui::DataDialog* form() const { return ui; }
    // The place search, null without a geocoder.
    GeoSearchPanel* searchPanel() const { return search; }
    UserAssist* openAssist() const { return assist; }

private slots:
    void on_btnOK_clicked();
    void on_btnCansel_clicked();
    void on_btnHelp_clicked();
    void onMouseRightClick(const QPoint& point);
    void onAssistClose();

private:
    void addSearch(Geocoder* geocoder);
    Ui::DataDialog* ui;
    // Reference for placing the colour palette.
    QWidget* parentWindow;
    MivaroMapUtil* util;
    // The open help, null when none is.
    UserAssist* assist = nullptr;
    GeoSearchPanel* search = nullptr;
    // The name the search put in, if it did.
    QString filledName;
};

// Runs the dialog over the eight strings; true when the user pressed OK, and
// only then are the strings replaced by what the dialog holds.
bool editPlaceInDialog(QString& name, QString& x, QString& y, QString& color, QString& layer,
                       QString& shape, QString& font, QString& level, QWidget* parent,
                       Geocoder* geocoder = nullptr);
