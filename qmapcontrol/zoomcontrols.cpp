#include "qmapcontrol/zoomcontrols.h"

#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace qmapcontrol {

ZoomControls::ZoomControls(QWidget* parent)
    : QWidget(parent), m_in(new QToolButton(this)), m_out(new QToolButton(this)),
      m_slider(new QSlider(Qt::Vertical, this))
{
    m_in->setText(QStringLiteral("+"));
    m_out->setText(QStringLiteral("\u2212"));
    for (QToolButton* button : {m_in, m_out}) {
        button->setFixedSize(28, 28);
        // Keys belong to the map, not to its buttons.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setStyleSheet(QStringLiteral(
            "QToolButton { background: rgba(255, 255, 255, 235); color: #333; border: 1px solid "
            "#9a9a9a; border-radius: 4px; font-size: 18px; font-weight: bold; }"
            "QToolButton:hover { background: white; border-color: #555; }"
            "QToolButton:pressed { background: #dcdcdc; }"));
    }
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_slider->setFixedHeight(130);
    m_slider->setTickPosition(QSlider::TicksBothSides);
    m_slider->setTickInterval(1);
    m_slider->setPageStep(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_in, 0, Qt::AlignHCenter);
    layout->addWidget(m_slider, 0, Qt::AlignHCenter);
    layout->addWidget(m_out, 0, Qt::AlignHCenter);
    adjustSize();

    connect(m_in, &QToolButton::clicked, this, &ZoomControls::zoomInClicked);
    connect(m_out, &QToolButton::clicked, this, &ZoomControls::zoomOutClicked);
    connect(m_slider, &QSlider::valueChanged, this, &ZoomControls::zoomChosen);
}

void ZoomControls::setRange(int minimum, int maximum)
{
    const QSignalBlocker block(m_slider);
    m_slider->setRange(minimum, maximum);
}

void ZoomControls::setZoom(int zoom)
{
    const QSignalBlocker block(m_slider);
    m_slider->setValue(zoom);
}

} // namespace qmapcontrol
