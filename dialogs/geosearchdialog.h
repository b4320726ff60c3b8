#pragma once

#include "net/geocoding.h"

#include <QDialog>

#include <optional>

class Geocoder;
class GeoSearchPanel;

// The tools menu's "地名・住所で探す": the search on its own; choosing a place
// closes it with that place.
class GeoSearchDialog : public QDialog
{
    Q_OBJECT
public:
    GeoSearchDialog(Geocoder* geocoder, QWidget* parent = nullptr);

    GeoSearchPanel* panel() const { return search; }
    const std::optional<geocoding::Place>& chosenPlace() const { return place; }

private:
    GeoSearchPanel* search;
    std::optional<geocoding::Place> place;
};
