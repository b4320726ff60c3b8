#pragma once

#include <QByteArray>
#include <QPalette>
#include <QString>

class AppSettings;
class QCoreApplication;

// The application palette from the thirteen settings colours; Text and
// ButtonText of the Disabled group are dark green. Tool tip text too close to
// its base to read becomes black or white, whichever reads better.
QPalette buildAppPalette(const AppSettings& settings);

// The contrast ratio of two colours as the web's accessibility rules define
// it: 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// Qt's own Japanese texts (dialog buttons, the file and colour dialogs), when
// the system has them; returns whether they were loaded.
bool installQtTranslations(QCoreApplication* app);

// The style sheet text from the bytes of "unify.qss": Latin-1 up to the first
// zero byte, every "url(" pointing into appDir (which ends with "/").
QString styleSheetFromBytes(const QByteArray& bytes, const QString& appDir);

// Applies "unify.qss" from appDir when it exists; returns whether it did.
bool applyStyleSheetFile(const QString& appDir);
