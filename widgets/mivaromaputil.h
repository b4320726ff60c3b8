#pragma once

#include <QImage>
#include <QObject>
#include <QString>

class QDialog;
class QTabWidget;

// Helpers of the main window (and of each record dialog): the marker pictures,
// the colour label palette and the layer and shape pickers.
class MivaroMapUtil : public QObject
{
    Q_OBJECT
public:
    // The palette's answers besides a class number 0..199.
    enum PaletteAnswer
    {
        NoChoice = -1,
        Escaped = -2,
        ClickedOutside = -3,
        AlreadyOpen = -4
    };

    explicit MivaroMapUtil(QObject* parent = nullptr);
    ~MivaroMapUtil() override;

    // Shows every named class as a label in its own colours, on pages of twenty,
    // and waits for a choice: the class number, or a PaletteAnswer. Only the
    // bottom edge of the caller's window frame is used, to keep the popup above it.
    int pickColorClass(int left, int top, int right, int bottom);
    // A menu of Layer1..Layer9: the chosen layer, or -1.
    int pickLayer();
    // A menu of the three marker shapes: "Image", "Scaled", "Circle", or empty.
    QString pickShape();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Draws the label of a place (the name on a box in the colours of class c,
    // in the marker font at pointSize), writes it into the picture folder and
    // returns the file's path. `drawn`, when given, receives the picture, so
    // that the caller need not read the file back.
    static QString makeLabelImage(const QString& name, int c, int pointSize,
                                  QImage* drawn = nullptr);
    // Draws the circle marker of a place (a soft disc of class c's back colour
    // with `radius`, the castle icon when the settings ask for it, the name
    // underneath), writes it and returns the file's path.
    static QString makeCircleImage(const QString& name, int c, int radius, int pointSize,
                                   QImage* drawn = nullptr);
    // Writes a picture as image/<name>.png (only when the file does not hold
    // these bytes already) and returns the path. `written`, when given, tells
    // whether the file now holds the picture.
    static QString saveMarkerImage(const QImage& image, const QString& name,
                                   bool* written = nullptr);

private slots:
    void onClickLabel();

private:
    QDialog* buildPalette();

    int result = NoChoice;
    QDialog* popup = nullptr;
};
