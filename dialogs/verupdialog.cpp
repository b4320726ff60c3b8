#include "dialogs/verupdialog.h"

#include "prompts/prompts.h"
#include "ui_verupdialog.h"

#include <QUrl>

verupdialog::verupdialog(const QString& appName, const QString& version, const QPixmap& picture,
                         int, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::verupdialog>()), m_appName(appName),
      m_version(version)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->label->setPixmap(picture);

    ui->lblVertext->setTextFormat(Qt::RichText);
    // The notices are longer than the dialog is wide: wrap rather than clip.
    ui->lblVertext->setWordWrap(true);
    ui->lblVertext->setText(aboutText(m_appName, m_version));
    // Links open through the prompts like every other hand-over to the desktop.
    ui->lblVertext->setOpenExternalLinks(false);
    ui->lblVertext->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(ui->lblVertext, &QLabel::linkActivated, this,
            [](const QString& link) { Prompts::instance().openUrl(QUrl(link)); });

    ui->lblNewver->hide();
    ui->progressBar->hide();
    ui->btnVerup->hide();
    // Taller than the form's first size when the fonts need it, never clipped.
    const int needed = heightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

verupdialog::~verupdialog() = default;

QString verupdialog::aboutText(const QString& appName, const QString& version)
{
    const QString qtUrl = QStringLiteral("https://www.qt.io/");
    return QStringLiteral("<p>このプログラムは Qt %1 で作られ、Qt を GNU LGPL バージョン 3 "
                          "の下で使用しています。<a href=\"%2\">%2</a></p>")
               .arg(QStringLiteral(QT_VERSION_STR), qtUrl) +
           QStringLiteral("<p>地図データ: &copy; OpenStreetMap contributors (ODbL)、"
                          "地理院タイル (国土地理院)、Google、Stamen Design</p>") +
           appName.toHtmlEscaped() + QStringLiteral(" Ver ") + version.toHtmlEscaped();
}

void verupdialog::on_btnOk_clicked()
{
    reject();
}
