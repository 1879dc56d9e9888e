// The desktop program: starts the main window and serves the windows until the last one closes.
// `ziva --lang CODE` runs in another language (de, en); the main window's context menu chooses
// the language of the next starts.
#include <QApplication>
#include <QSettings>
#include <QStyleFactory>
#include <cstdio>

#include "app/functions.h"
#include "platform/qt/desktop.h"
#include "platform/qt/language_choice.h"
#include "platform/qt/qt_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Rizid Ziva");
  QApplication::setApplicationName("Rizid Ziva");
  QApplication::setQuitOnLastWindowClosed(false);
  if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);

  QString error;
  std::optional<ziva::Language> asked = ziva::language_argument(QApplication::arguments(), &error);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "ziva: %s\n", error.toLocal8Bit().constData());
    return 2;
  }
  QSettings settings;
  const ziva::Language lang = ziva::startup_language(asked, settings);
  ziva::set_language(lang);
  // The standard dialogs speak the program's language too.
  ziva::install_qt_translation(lang);

  ziva::QtServices services;
  ziva::Program program(services);
  ziva::Desktop desktop(program, services);
  desktop.start();
  return desktop.exec();
}
