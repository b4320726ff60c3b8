#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

#include <memory>

namespace Ui {
class verupdialog;
}

// The About dialog: the program's picture, the notices of the libraries and
// map data it uses, its name and version. The new-version controls of the form
// stay hidden: there is no check behind them.
class verupdialog : public QDialog
{
    Q_OBJECT
public:
    // `unused` is kept for callers that pass a check mode; it does nothing.
    verupdialog(const QString& appName, const QString& version, const QPixmap& picture, int unused,
                QWidget* parent = nullptr);
    ~verupdialog() override;

    Ui::verupdialog* form() const { return ui.get(); }

    // The About text (rich text): the toolkit notice, the map data notice,
    // then the name and version on a line of their own.
    static QString aboutText(const QString& appName, const QString& version);

private slots:
    void on_btnOk_clicked();

private:
    std::unique_ptr<Ui::verupdialog> ui;
    QString m_appName;
    QString m_version;
};
