#pragma once

#include <QDialog>
#include <QSize>

class QCheckBox;
class QComboBox;
class QSpinBox;

// The choices of "画像保存": the picture's size (in screen pixels), the
// scale of its pixels and whether a legend of the colour classes goes in.
struct ExportChoice
{
    QSize size;
    int scale = 1;
    bool legend = false;

    // What is on the screen as it is: a plain grab of the map does.
    bool isScreen(const QSize& screen) const { return scale == 1 && size == screen && !legend; }
};

class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    ExportDialog(const QSize& screen, QWidget* parent = nullptr);
    ExportChoice choice() const;

private:
    void limitSize();

    QSpinBox* width;
    QSpinBox* height;
    QComboBox* scale;
    QCheckBox* legend;
};
