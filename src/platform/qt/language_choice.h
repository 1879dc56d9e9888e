// The desktop's language: chosen on the command line (--lang CODE) for one run, or in the main
// window's context menu and remembered for the next starts; German when neither says otherwise.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "ui/language.h"

class QMenu;
class QSettings;
class QWidget;

namespace ziva {

// The language named by --lang CODE or --lang=CODE (the last one counts); nullopt without one.
// A missing or unknown code sets `error`.
std::optional<Language> language_argument(const QStringList& args, QString* error);

// The language to start in: the command line's, else the remembered one, else German.
Language startup_language(std::optional<Language> from_args, const QSettings& settings);

// Remembers a language for the next start.
void remember_language(QSettings& settings, Language lang);

// Installs Qt's translation of its own dialogs and buttons for the language (German: "Öffnen",
// "Abbrechen"); false when Qt has none.
bool install_qt_translation(Language lang);

// The main window's context menu: a "Sprache"/"Language" submenu with every language, named in
// its own language, the remembered (else the current) one ticked. Picking one remembers it in
// `settings` (which must outlive the menu) and says that it applies from the next start.
QMenu* language_menu(QWidget* parent, QSettings& settings);

}  // namespace ziva
