#pragma once

#include <QWidget>

class QSlider;
class QToolButton;

namespace qmapcontrol {

// "+" over a vertical slider over "−", floating in a corner of the map.
class ZoomControls : public QWidget
{
    Q_OBJECT
public:
    explicit ZoomControls(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    void setZoom(int zoom);

    QToolButton* zoomInButton() const { return m_in; }
    QToolButton* zoomOutButton() const { return m_out; }
    QSlider* slider() const { return m_slider; }

signals:
    void zoomInClicked();
    void zoomOutClicked();
    void zoomChosen(int zoom);

private:
    QToolButton* m_in;
    QToolButton* m_out;
    QSlider* m_slider;
};

} // namespace qmapcontrol
