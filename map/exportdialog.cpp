#include "map/exportdialog.h"

#include "map/maprender.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

ExportDialog::ExportDialog(const QSize& screen, QWidget* parent)
    : QDialog(parent), width(new QSpinBox(this)), height(new QSpinBox(this)),
      scale(new QComboBox(this)),
      legend(new QCheckBox(QStringLiteral("色クラスの凡例を入れる"), this))
{
    setWindowTitle(QStringLiteral("画像保存"));
    width->setObjectName(QStringLiteral("exportWidth"));
    height->setObjectName(QStringLiteral("exportHeight"));
    scale->setObjectName(QStringLiteral("exportScale"));
    legend->setObjectName(QStringLiteral("exportLegend"));
    for (QSpinBox* box : {width, height}) {
        box->setRange(1, maprender::MaxSide);
        box->setSuffix(QStringLiteral(" px"));
    }
    width->setValue(screen.width());
    height->setValue(screen.height());
    scale->addItem(QStringLiteral("1× (画面と同じ)"), 1);
    scale->addItem(QStringLiteral("2× (高精細)"), 2);
    scale->addItem(QStringLiteral("4× (印刷用)"), 4);

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(width);
    sizeRow->addWidget(new QLabel(QStringLiteral("×"), this));
    sizeRow->addWidget(height);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("大きさ"), sizeRow);
    form->addRow(QStringLiteral("倍率"), scale);
    form->addRow(QString(), legend);
    auto* note = new QLabel(this);
    note->setObjectName(QStringLiteral("exportNote"));
    form->addRow(QString(), note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const auto update = [this, note] {
        limitSize();
        const ExportChoice c = choice();
        note->setText(QStringLiteral("保存される画像: %1 × %2 ピクセル")
                          .arg(c.size.width() * c.scale)
                          .arg(c.size.height() * c.scale));
    };
    connect(scale, QOverload<int>::of(&QComboBox::currentIndexChanged), this, update);
    connect(width, QOverload<int>::of(&QSpinBox::valueChanged), this, update);
    connect(height, QOverload<int>::of(&QSpinBox::valueChanged), this, update);
    update();
}

void ExportDialog::limitSize()
{
    // No side of the picture beyond the largest one.
    const int most = maprender::MaxSide / scale->currentData().toInt();
    width->setMaximum(most);
    height->setMaximum(most);
}

ExportChoice ExportDialog::choice() const
{
    return {QSize(width->value(), height->value()), scale->currentData().toInt(),
            legend->isChecked()};
}
