#include "platform/qt/language_choice.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>

#include "ui/strings.h"

namespace ziva {

namespace {

constexpr const char* kKey = "language";

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

QString codes() {
  QStringList all;
  for (Language l : languages()) all << qs(language_code(l));
  return all.join(", ");
}

std::optional<Language> remembered(const QSettings& settings) {
  return language_of_code(settings.value(kKey).toString().toStdString());
}

}  // namespace

std::optional<Language> language_argument(const QStringList& args, QString* error) {
  std::optional<Language> out;
  for (qsizetype i = 1; i < args.size(); ++i) {
    QString code;
    if (args[i] == "--lang") {
      if (i + 1 >= args.size()) {
        if (error) *error = "--lang needs a language code (" + codes() + ")";
        return std::nullopt;
      }
      code = args[++i];
    } else if (args[i].startsWith("--lang=")) {
      code = args[i].mid(7);
    } else {
      continue;
    }
    out = language_of_code(code.toStdString());
    if (!out) {
      if (error) *error = "unknown language '" + code + "' (" + codes() + ")";
      return std::nullopt;
    }
  }
  return out;
}

Language startup_language(std::optional<Language> from_args, const QSettings& settings) {
  if (from_args) return *from_args;
  return remembered(settings).value_or(Language::German);
}

void remember_language(QSettings& settings, Language lang) {
  settings.setValue(kKey, qs(language_code(lang)));
  settings.sync();
}

bool install_qt_translation(Language lang) {
  static QTranslator* installed = nullptr;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load("qtbase_" + qs(language_code(lang)),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  installed = t;
  return true;
}

QMenu* language_menu(QWidget* parent, QSettings& settings) {
  const Record& st = strings();
  auto* menu = new QMenu(parent);
  QMenu* sub = menu->addMenu(qs(st_text(st, "language")));
  auto* group = new QActionGroup(sub);
  const Language ticked = remembered(settings).value_or(language());
  for (Language lang : languages()) {
    const Record own = strings_in(lang);
    QAction* a = sub->addAction(qs(st_text(own, "language_name")));
    a->setData(qs(language_code(lang)));
    a->setCheckable(true);
    a->setChecked(lang == ticked);
    group->addAction(a);
    QObject::connect(a, &QAction::triggered, menu, [&settings, lang, own, parent] {
      remember_language(settings, lang);
      auto* box = new QMessageBox(QMessageBox::Information, qs(st_text(own, "language")),
                                  qs(st_text(own, "language_later")), QMessageBox::Ok, parent);
      box->setAttribute(Qt::WA_DeleteOnClose);
      box->setWindowModality(Qt::NonModal);
      box->show();
    });
  }
  return menu;
}

}  // namespace ziva
