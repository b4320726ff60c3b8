#pragma once

#include "net/geocoder.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "地名・住所で探す": a field that asks the place-name services when Enter is
// pressed (never while typing), the places found with their address or kind
// and position, what went wrong in words, and the credit each service asks for.
// Choosing a place (double click, Enter in the list or again in the field, or
// the button) sends chosen().
class GeoSearchPanel : public QWidget
{
    Q_OBJECT
public:
    GeoSearchPanel(Geocoder* geocoder, QWidget* parent = nullptr);
    ~GeoSearchPanel() override;

    QLineEdit* queryEdit() const { return edit; }
    QTreeWidget* resultList() const { return list; }
    QPushButton* chooseButton() const { return choose; }
    QLabel* statusLabel() const { return status; }
    QLabel* attributionLabel() const { return credit; }
    // Asks the services about the field's text (what Enter does).
    void search();
    // Questions still out.
    bool searching() const { return !tickets.isEmpty(); }

signals:
    void chosen(const geocoding::Place& place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onAnswer(int ticket, const Geocoder::Answer& answer);
    void showPlaces();
    void chooseCurrent();

    Geocoder* geocoder;
    QLineEdit* edit;
    QTreeWidget* list;
    QPushButton* choose;
    QLabel* status;
    QLabel* credit;
    QList<int> tickets;
    // The words of the last search.
    QString searched;
    // Per service, in the order shown: the places, and what went wrong.
    QVector<geocoding::Place> found[2];
    QString errors[2];
};
