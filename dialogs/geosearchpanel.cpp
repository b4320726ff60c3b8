#include "dialogs/geosearchpanel.h"

#include "prompts/prompts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using geocoding::ServiceId;

namespace {
const ServiceId serviceOrder[] = {ServiceId::Gsi, ServiceId::Nominatim};
const QString osmCopyright = QStringLiteral("https://www.openstreetmap.org/copyright");
} // namespace

GeoSearchPanel::GeoSearchPanel(Geocoder* geocoder, QWidget* parent)
    : QWidget(parent), geocoder(geocoder)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("le_geoSearch"));
    edit->setPlaceholderText(QStringLiteral("地名・住所で探す"));
    edit->setToolTip(QStringLiteral("地名・住所で探す（Enter で検索）"));
    edit->setClearButtonEnabled(true);
    edit->setMaxLength(geocoding::maxQueryLength);
    layout->addWidget(edit);

    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("geoResults"));
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("住所・種類"),
                           QStringLiteral("経度"), QStringLiteral("緯度")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->setMinimumHeight(110);
    layout->addWidget(list);

    auto* row = new QHBoxLayout;
    status = new QLabel(this);
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    row->addWidget(status, 1);
    choose = new QPushButton(QStringLiteral("この場所を使う"), this);
    choose->setAutoDefault(false);
    choose->setEnabled(false);
    row->addWidget(choose);
    layout->addLayout(row);

    credit = new QLabel(this);
    credit->setTextFormat(Qt::RichText);
    credit->setOpenExternalLinks(false);
    layout->addWidget(credit);

    connect(credit, &QLabel::linkActivated, this,
            [](const QString& link) { Prompts::instance().openUrl(QUrl(link)); });
    connect(list, &QTreeWidget::itemActivated, this, [this] { chooseCurrent(); });
    connect(list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { choose->setEnabled(item != nullptr); });
    connect(choose, &QPushButton::clicked, this, [this] { chooseCurrent(); });
    connect(geocoder, &Geocoder::answered, this, &GeoSearchPanel::onAnswer);
    // Enter belongs to the search and the list here, not to the dialog's OK.
    edit->installEventFilter(this);
    list->installEventFilter(this);
}

GeoSearchPanel::~GeoSearchPanel()
{
    for (int ticket : tickets)
        geocoder->cancel(ticket);
}

bool GeoSearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    // From the field, the arrow keys go on to the places found.
    if (watched == edit && (key == Qt::Key_Down || key == Qt::Key_Up) &&
        list->topLevelItemCount() > 0) {
        list->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    // Enter again on the same words takes the highlighted place.
    if (watched == list ||
        (edit->text().trimmed() == searched && tickets.isEmpty() && list->currentItem()))
        chooseCurrent();
    else
        search();
    return true;
}

void GeoSearchPanel::search()
{
    const QString query = edit->text().trimmed();
    searched = query;
    for (int ticket : tickets)
        geocoder->cancel(ticket);
    tickets.clear();
    for (int i = 0; i < 2; ++i) {
        found[i].clear();
        errors[i].clear();
    }
    list->clear();
    credit->clear();
    if (query.isEmpty()) {
        status->setText(QStringLiteral("探す地名か住所を入れてください"));
        return;
    }
    status->setText(QStringLiteral("「%1」を探しています…").arg(query));
    for (ServiceId id : serviceOrder)
        tickets.append(geocoder->ask(id, query));
}

void GeoSearchPanel::onAnswer(int ticket, const Geocoder::Answer& answer)
{
    if (!tickets.removeOne(ticket))
        return;
    const int i = int(answer.service);
    found[i] = answer.places;
    errors[i] = answer.error;
    showPlaces();
}

void GeoSearchPanel::showPlaces()
{
    // A place chosen in the list stays chosen when the other service answers.
    const QTreeWidgetItem* before = list->currentItem();
    const QPair<int, int> was = before ? qMakePair(before->data(0, Qt::UserRole).toInt(),
                                                   before->data(1, Qt::UserRole).toInt())
                                       : qMakePair(-1, -1);
    QTreeWidgetItem* keep = nullptr;
    list->clear();
    QStringList credits;
    for (ServiceId id : serviceOrder) {
        const int i = int(id);
        for (int n = 0; n < found[i].size(); ++n) {
            const geocoding::Place& p = found[i][n];
            auto* item =
                new QTreeWidgetItem(list, {p.name, p.detail, QString::number(p.longitude, 'f', 6),
                                           QString::number(p.latitude, 'f', 6)});
            item->setData(0, Qt::UserRole, i);
            item->setData(1, Qt::UserRole, n);
            item->setToolTip(1, p.detail);
            if (qMakePair(i, n) == was)
                keep = item;
        }
        if (!found[i].isEmpty()) {
            const QString text = geocoder->service(id).attribution().toHtmlEscaped();
            credits << (id == ServiceId::Nominatim
                            ? QStringLiteral("<a href=\"%1\">%2</a>").arg(osmCopyright, text)
                            : text);
        }
    }
    credit->setText(credits.join(QStringLiteral("　")));
    list->resizeColumnToContents(0);
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(keep ? keep : list->topLevelItem(0));

    QStringList lines;
    const int count = list->topLevelItemCount();
    if (!tickets.isEmpty())
        lines << QStringLiteral("探しています…");
    else if (count > 0)
        lines << QStringLiteral("%1 件見つかりました。選んで Enter かダブルクリックで使います")
                     .arg(count);
    for (const QString& error : errors) {
        if (!error.isEmpty())
            lines << error;
    }
    if (tickets.isEmpty() && count == 0 && lines.isEmpty())
        lines << QStringLiteral("「%1」は見つかりませんでした").arg(edit->text().trimmed());
    status->setText(lines.join(QLatin1Char('\n')));
}

void GeoSearchPanel::chooseCurrent()
{
    const QTreeWidgetItem* item = list->currentItem();
    if (!item)
        return;
    const int i = item->data(0, Qt::UserRole).toInt();
    const int n = item->data(1, Qt::UserRole).toInt();
    if (i < 0 || i > 1 || n < 0 || n >= found[i].size())
        return;
    emit chosen(found[i][n]);
}
