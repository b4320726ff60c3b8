#include "dialogs/importdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Rows the preview table shows.
constexpr int previewRows = 100;

// Read into the fields a file does not carry, so the dialog's defaults can
// take their place whenever they change, without reading the file again.
QString unset(int field)
{
    return QStringLiteral("\x01unset%1").arg(field);
}

QSpinBox* spinBox(int low, int high, const QString& value)
{
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setValue(value.toInt());
    return box;
}

} // namespace

ImportDialog::ImportDialog(const QByteArray& bytes, const QString& fileName,
                           const formats::ImportOptions& defaults, QWidget* parent)
    : QDialog(parent), bytes(bytes), base(defaults)
{
    setWindowTitle(QStringLiteral("インポート - %1").arg(fileName));
    build();
}

void ImportDialog::build()
{
    auto* layout = new QVBoxLayout(this);
    auto* found = new QFormLayout;
    formatLabel = new QLabel;
    found->addRow(QStringLiteral("形式:"), formatLabel);
    layout->addLayout(found);

    csvBox = new QWidget;
    auto* csv = new QFormLayout(csvBox);
    csv->setContentsMargins(0, 0, 0, 0);
    encoding = new QComboBox;
    encoding->addItem(QStringLiteral("UTF-8"), QByteArray("UTF-8"));
    encoding->addItem(QStringLiteral("Shift_JIS (CP932)"), QByteArray("Shift_JIS"));
    delimiter = new QComboBox;
    delimiter->addItem(QStringLiteral("カンマ ( , )"), QChar(QLatin1Char(',')));
    delimiter->addItem(QStringLiteral("タブ"), QChar(QLatin1Char('\t')));
    delimiter->addItem(QStringLiteral("セミコロン ( ; )"), QChar(QLatin1Char(';')));
    header = new QCheckBox(QStringLiteral("1 行目は見出し"));
    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(encoding);
    codeRow->addWidget(new QLabel(QStringLiteral("区切り:")));
    codeRow->addWidget(delimiter);
    codeRow->addWidget(header);
    codeRow->addStretch();
    csv->addRow(QStringLiteral("文字コード:"), codeRow);
    auto* columnRow = new QHBoxLayout;
    const QString columnNames[3] = {QStringLiteral("名称"), QStringLiteral("経度"),
                                    QStringLiteral("緯度")};
    for (int f = 0; f < 3; ++f) {
        columns[size_t(f)] = new QComboBox;
        columnRow->addWidget(new QLabel(columnNames[f]));
        columnRow->addWidget(columns[size_t(f)], 1);
    }
    csv->addRow(QStringLiteral("列:"), columnRow);
    layout->addWidget(csvBox);

    routes = new QCheckBox(QStringLiteral("ルートとトラックの点も読み込む"));
    routes->setChecked(base.routesAndTracks);
    layout->addWidget(routes);

    auto* defaultsBox = new QGroupBox(QStringLiteral("ファイルにない項目の値"));
    auto* d = new QHBoxLayout(defaultsBox);
    colorBox = spinBox(0, 199, base.color);
    layerBox = spinBox(1, 9, base.layer);
    shapeBox = new QComboBox;
    shapeBox->addItems(
        {QStringLiteral("Image"), QStringLiteral("Scaled"), QStringLiteral("Circle")});
    shapeBox->setCurrentText(base.shape);
    fontBox = spinBox(1, 99, base.font);
    levelBox = spinBox(0, 20, base.level);
    const std::pair<QString, QWidget*> defaults[] = {{QStringLiteral("色"), colorBox},
                                                     {QStringLiteral("ﾚｲﾔ"), layerBox},
                                                     {QStringLiteral("部品型"), shapeBox},
                                                     {QStringLiteral("文字"), fontBox},
                                                     {QStringLiteral("ﾚﾍﾞﾙ"), levelBox}};
    for (const auto& [label, widget] : defaults) {
        d->addWidget(new QLabel(label));
        d->addWidget(widget);
    }
    d->addStretch();
    layout->addWidget(defaultsBox);

    counts = new QLabel;
    counts->setWordWrap(true);
    layout->addWidget(counts);
    table = new QTableWidget(0, 8);
    table->setHorizontalHeaderLabels({QStringLiteral("テキスト"), QStringLiteral("経度(X)"),
                                      QStringLiteral("緯度(Y)"), QStringLiteral("色"),
                                      QStringLiteral("ﾚｲﾔ"), QStringLiteral("部品型"),
                                      QStringLiteral("文字"), QStringLiteral("ﾚﾍﾞﾙ")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    layout->addWidget(table, 3);
    layout->addWidget(new QLabel(QStringLiteral("読み飛ばした行:")));
    skippedList = new QPlainTextEdit;
    skippedList->setReadOnly(true);
    layout->addWidget(skippedList, 1);

    auto* buttons = new QDialogButtonBox;
    loadBtn = buttons->addButton(QStringLiteral("読込"), QDialogButtonBox::AcceptRole);
    loadBtn->setToolTip(QStringLiteral("今のリストをこの地点で置き換えます"));
    addBtn = buttons->addButton(QStringLiteral("追加"), QDialogButtonBox::AcceptRole);
    addBtn->setToolTip(QStringLiteral("今のリストに加えます（同じ地点は加えません）"));
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(loadBtn, &QPushButton::clicked, this, [this] {
        chosen = Choice::Load;
        accept();
    });
    connect(addBtn, &QPushButton::clicked, this, [this] {
        chosen = Choice::Add;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    // A new encoding, delimiter or heading row may name other columns: detect them anew.
    auto layoutChanged = [this] {
        if (filling)
            return;
        for (QComboBox* box : columns)
            box->setCurrentIndex(-1);
        reread();
    };
    connect(encoding, QOverload<int>::of(&QComboBox::currentIndexChanged), this, layoutChanged);
    connect(delimiter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, layoutChanged);
    connect(header, &QCheckBox::toggled, this, layoutChanged);
    for (QComboBox* box : columns)
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
            if (!filling)
                reread();
        });
    connect(routes, &QCheckBox::toggled, this, [this] { reread(); });
    for (QSpinBox* box : {colorBox, layerBox, fontBox, levelBox})
        connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] { showResult(); });
    connect(shapeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { showResult(); });
    resize(760, 620);
}

formats::ImportOptions ImportDialog::optionsFromDialog() const
{
    formats::ImportOptions options = base;
    options.color = unset(3);
    options.layer = unset(4);
    options.shape = unset(5);
    options.font = unset(6);
    options.level = unset(7);
    options.routesAndTracks = routes->isChecked();
    if (current.format == formats::Format::Csv) {
        options.csv = current.csv;
        options.csv.encoding = encoding->currentData().toByteArray();
        options.csv.delimiter = delimiter->currentData().toChar();
        options.csv.header = header->isChecked() ? 1 : 0;
        const bool chosenByHand = std::any_of(columns.begin(), columns.end(),
                                              [](QComboBox* b) { return b->currentIndex() >= 0; });
        if (chosenByHand) {
            for (int f = 0; f < 3; ++f)
                options.csv.columns[size_t(f)] = columns[size_t(f)]->currentData().toInt();
        } else {
            options.csv.columns.assign(8, -1);
        }
    }
    return options;
}

bool ImportDialog::readFile()
{
    formats::ImportOptions options = optionsFromDialog();
    // Large files take a while: show how far, and let the user stop.
    QProgressDialog progress(QStringLiteral("読み込んでいます…"), QStringLiteral("中止"), 0, 1000,
                             parentWidget());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const qint64 total = std::max<qint64>(1, bytes.size());
    options.progress = [&progress, total](qint64 done, qint64) {
        progress.setValue(int(std::min<qint64>(999, done * 1000 / total)));
        return !progress.wasCanceled();
    };
    current = formats::importBytes(bytes, options);
    if (!current.ok)
        return false;
    showResult();
    return true;
}

void ImportDialog::reread()
{
    formats::ImportOptions options = optionsFromDialog();
    current = formats::importBytes(bytes, options);
    showResult();
}

QString ImportDialog::fieldValue(int field, const QString& read) const
{
    if (field < 3 || read != unset(field))
        return read;
    switch (field) {
    case 3:
        return QString::number(colorBox->value());
    case 4:
        return QString::number(layerBox->value());
    case 5:
        return shapeBox->currentText();
    case 6:
        return QString::number(fontBox->value());
    default:
        return QString::number(levelBox->value());
    }
}

void ImportDialog::showResult()
{
    filling = true;
    const bool isCsv = current.format == formats::Format::Csv;
    formatLabel->setText(formats::formatName(current.format));
    csvBox->setVisible(isCsv);
    routes->setVisible(current.format == formats::Format::Gpx);
    if (isCsv) {
        encoding->setCurrentIndex(encoding->findData(current.csv.encoding));
        delimiter->setCurrentIndex(delimiter->findData(current.csv.delimiter));
        header->setChecked(current.csv.header == 1);
        for (int f = 0; f < 3; ++f) {
            QComboBox* box = columns[size_t(f)];
            box->clear();
            box->addItem(QStringLiteral("（なし）"), -1);
            for (int i = 0; i < current.csvHeader.size(); ++i)
                box->addItem(QStringLiteral("%1: %2").arg(i + 1).arg(current.csvHeader[i]), i);
            box->setCurrentIndex(box->findData(current.csv.columns[size_t(f)]));
        }
    }
    filling = false;

    const int shown = int(std::min<size_t>(current.places.size(), previewRows));
    table->setRowCount(shown);
    for (int r = 0; r < shown; ++r)
        for (int f = 0; f < 8; ++f)
            table->setItem(
                r, f, new QTableWidgetItem(fieldValue(f, current.places[size_t(r)]->field(f))));
    table->resizeColumnsToContents();

    QString text =
        current.ok ? QStringLiteral("地点 %1 件").arg(current.places.size()) : current.error;
    text += QStringLiteral("　読み飛ばした行 %1 件").arg(current.skippedCount);
    if (current.otherFeatures > 0)
        text += QStringLiteral("　点でない地物 %1 件（読み込みません）").arg(current.otherFeatures);
    if (current.places.size() > size_t(previewRows))
        text += QStringLiteral("\n表は最初の %1 件です。").arg(previewRows);
    counts->setText(text);

    QStringList lines;
    for (const formats::Skipped& s : current.skipped)
        lines << (s.line > 0 ? QStringLiteral("%1 行目: %2").arg(s.line).arg(s.reason) : s.reason);
    if (current.skippedCount > qint64(current.skipped.size()))
        lines << QStringLiteral("…ほか %1 件")
                     .arg(current.skippedCount - qint64(current.skipped.size()));
    skippedList->setPlainText(lines.join(QLatin1Char('\n')));

    const bool any = current.ok && !current.places.empty();
    loadBtn->setEnabled(any);
    addBtn->setEnabled(any);
}

PlaceList ImportDialog::takePlaces()
{
    PlaceList places = std::move(current.places);
    current.places.clear();
    for (auto& p : places)
        for (int f = 3; f < 8; ++f)
            p->field(f) = fieldValue(f, p->field(f));
    return places;
}

QSpinBox* ImportDialog::defaultBox(int field) const
{
    switch (field) {
    case 3:
        return colorBox;
    case 4:
        return layerBox;
    case 6:
        return fontBox;
    case 7:
        return levelBox;
    default:
        return nullptr;
    }
}
