#pragma once

#include "records/placelistdocument.h"

#include <QMainWindow>

class QCloseEvent;
class QResizeEvent;

// The program's one window: the place list, its tables and the map.
class MivaroMap : public QMainWindow, public PlaceListDocument
{
    Q_OBJECT
public:
    explicit MivaroMap(QWidget* parent = nullptr);
    ~MivaroMap() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QWidget* promptParent() const override;
    void showStatus(const QString& text, int timeout) override;

private:
    QString version;
    int tableWidth = 0;
};
