// The desktop program: starts the main window and serves the windows until the last one closes.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include "app/functions.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rizid Ziva");
  QApplication::setQuitOnLastWindowClosed(false);
  if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);
  // The program speaks German; so do the standard dialogs.
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(QLocale::German), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt_texts);

  ziva::QtServices services;
  ziva::Program program(services);
  ziva::Desktop desktop(program, services);
  desktop.start();
  return desktop.exec();
}
