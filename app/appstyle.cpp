#include "app/appstyle.h"

#include "settings/appsettings.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cmath>

namespace {

// Below this the text of a tool tip is hard to read on its base.
constexpr double readableContrast = 4.5;

double relativeLuminance(const QColor& colour)
{
    auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette buildAppPalette(const AppSettings& s)
{
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, s.paletteWindow},
        {QPalette::WindowText, s.paletteWindowText},
        {QPalette::Base, s.paletteBase},
        {QPalette::AlternateBase, s.paletteAlternateBase},
        {QPalette::ToolTipBase, s.paletteToolTipBase},
        {QPalette::ToolTipText, s.paletteToolTipText},
        {QPalette::Text, s.paletteText},
        {QPalette::Button, s.paletteButton},
        {QPalette::ButtonText, s.paletteButtonText},
        {QPalette::BrightText, s.paletteBrightText},
        {QPalette::Link, s.paletteLink},
        {QPalette::Highlight, s.paletteHighlight},
        {QPalette::HighlightedText, s.paletteHighlightedText},
    };
    QPalette palette;
    for (const auto& [role, colour] : roles)
        palette.setBrush(role, QBrush(colour));
    // The stored colours stay as they are; only what is drawn changes.
    if (contrastRatio(s.paletteToolTipText, s.paletteToolTipBase) < readableContrast) {
        const QColor black(Qt::black), white(Qt::white);
        palette.setBrush(QPalette::ToolTipText, contrastRatio(black, s.paletteToolTipBase) >=
                                                        contrastRatio(white, s.paletteToolTipBase)
                                                    ? black
                                                    : white);
    }
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::darkGreen);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, Qt::darkGreen);
    return palette;
}

QString styleSheetFromBytes(const QByteArray& bytes, const QString& appDir)
{
    QByteArray text = bytes;
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    QString sheet = QString::fromLatin1(text);
    sheet.replace(QStringLiteral("url("), QStringLiteral("url(") + appDir, Qt::CaseSensitive);
    return sheet;
}

bool applyStyleSheetFile(const QString& appDir)
{
    QFile file(appDir + QStringLiteral("unify.qss"));
    if (!file.exists())
        return false;
    // An unreadable sheet gives empty text, which clears any sheet: harmless.
    file.open(QIODevice::ReadOnly);
    qApp->setStyleSheet(styleSheetFromBytes(file.readAll(), appDir));
    file.close();
    return true;
}

bool installQtTranslations(QCoreApplication* app)
{
    // Dates and sizes in the file dialog read as the rest of it.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QString dir = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    // "qt_ja" gathers the module catalogues; some systems ship only the base one.
    for (const char* name : {"qt_ja", "qtbase_ja"}) {
        auto* translator = new QTranslator(app);
        if (translator->load(QLatin1String(name), dir) &&
            QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
    }
    return false;
}
