#include "dialogs/coordinatefilldialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using geocoding::Match;

CoordinateFillDialog::CoordinateFillDialog(const CoordinateFill& batch,
                                           const QStringList& attributions, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("座標の補完"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);

    int clear = 0;
    QStringList notFound;
    table = new QTableWidget(0, 2, this);
    table->setHorizontalHeaderLabels({QStringLiteral("名前"), QStringLiteral("候補")});
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const coordinatefill::Item& item : batch.items()) {
        if (!item.asked)
            continue;
        if (item.match == Match::Clear) {
            ++clear;
        } else if (item.match == Match::Several) {
            const int row = table->rowCount();
            table->insertRow(row);
            auto* name = new QTableWidgetItem(item.query);
            name->setFlags(Qt::ItemIsEnabled);
            table->setItem(row, 0, name);
            auto* box = new QComboBox(table);
            box->addItem(QStringLiteral("（選ばない）"));
            for (const geocoding::Place& p : item.places)
                box->addItem(QStringLiteral("%1 — %2（%3, %4）")
                                 .arg(p.name, p.detail)
                                 .arg(p.longitude, 0, 'f', 5)
                                 .arg(p.latitude, 0, 'f', 5));
            table->setCellWidget(row, 1, box);
        } else {
            notFound << (item.error.isEmpty()
                             ? item.query
                             : QStringLiteral("%1（%2）")
                                   .arg(item.query, item.error.section('\n', 0, 0)));
        }
    }
    table->resizeColumnToContents(0);

    QString text = QStringLiteral("候補が一つに決まった場所：%1 件\n候補が複数ある場所：%2 件\n"
                                  "見つからなかった場所：%3 件")
                       .arg(clear)
                       .arg(table->rowCount())
                       .arg(notFound.size());
    const int unasked = batch.total() - batch.done();
    if (batch.wasCancelled())
        text += QStringLiteral("\n中止しました。まだ問い合わせていない場所：%1 件").arg(unasked);
    else if (!batch.stopReason().isEmpty())
        text += QStringLiteral(
                    "\n通信できないため途中でやめました（%1）。まだ問い合わせていない場所：%2 件")
                    .arg(batch.stopReason().section('\n', 0, 0))
                    .arg(unasked);
    text += QStringLiteral("\n「反映」で座標を書き込みます（元に戻せます）。");
    summary = new QLabel(text, this);
    summary->setTextFormat(Qt::PlainText);
    summary->setWordWrap(true);
    layout->addWidget(summary);

    if (table->rowCount() > 0) {
        layout->addWidget(new QLabel(QStringLiteral("候補から選んでください"), this));
        layout->addWidget(table, 2);
    } else {
        table->hide();
    }
    missing = new QListWidget(this);
    missing->addItems(notFound);
    if (!notFound.isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("見つからなかった場所"), this));
        layout->addWidget(missing, 1);
    } else {
        missing->hide();
    }

    auto* credit = new QLabel(attributions.join(QStringLiteral("　")), this);
    credit->setTextFormat(Qt::PlainText);
    layout->addWidget(credit);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("反映"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 480);
}

QComboBox* CoordinateFillDialog::choiceBox(int row) const
{
    return qobject_cast<QComboBox*>(table->cellWidget(row, 1));
}

std::vector<std::optional<int>> CoordinateFillDialog::choices() const
{
    std::vector<std::optional<int>> result;
    for (int row = 0; row < table->rowCount(); ++row) {
        const int index = choiceBox(row)->currentIndex();
        result.push_back(index > 0 ? std::optional<int>(index - 1) : std::nullopt);
    }
    return result;
}
