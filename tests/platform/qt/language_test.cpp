// The desktop's language: the command line, the remembered choice and Qt's own dialog texts.
#include <QDialogButtonBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include "desktop_fixture.h"
#include "platform/qt/language_choice.h"

namespace ziva::testing {
namespace {

struct Args {
  QStringList args;
  std::optional<Language> lang;
  bool error;
};

class LanguageArgument : public ::testing::TestWithParam<Args> {};

TEST_P(LanguageArgument, NamesALanguageOrFails) {
  QString error;
  EXPECT_EQ(language_argument(GetParam().args, &error), GetParam().lang);
  EXPECT_EQ(!error.isEmpty(), GetParam().error) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, LanguageArgument,
    ::testing::Values(Args{{"ziva"}, std::nullopt, false},
                      Args{{"ziva", "--lang", "en"}, Language::English, false},
                      Args{{"ziva", "--lang=de"}, Language::German, false},
                      Args{{"ziva", "--lang", "en", "--lang", "de"}, Language::German, false},
                      Args{{"ziva", "--lang", "xx"}, std::nullopt, true},
                      Args{{"ziva", "--lang"}, std::nullopt, true}));

TEST(DesktopLanguage, MenuChoiceIsRememberedAndTheCommandLineWins) {
  QTemporaryDir dir;
  QSettings settings(dir.filePath("ziva.ini"), QSettings::IniFormat);
  EXPECT_EQ(startup_language(std::nullopt, settings), Language::German);

  QWidget owner;
  std::unique_ptr<QMenu> menu(language_menu(&owner, settings));
  ASSERT_EQ(menu->actions().size(), 1);
  QMenu* sub = menu->actions().front()->menu();
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->title(), "Sprache");
  QStringList names;
  for (QAction* a : sub->actions()) names << a->text();
  EXPECT_EQ(names, (QStringList{"Deutsch", "English"}));
  EXPECT_TRUE(sub->actions()[0]->isChecked());
  sub->actions()[1]->trigger();
  process_events();

  EXPECT_EQ(settings.value("language").toString(), "en");
  EXPECT_EQ(startup_language(std::nullopt, settings), Language::English);
  EXPECT_EQ(startup_language(Language::German, settings), Language::German);
  // The new language is what the note says it in.
  bool told = false;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w))
      told = told || box->text().contains("next start");
  EXPECT_TRUE(told);
  settings.setValue("language", "klingon");
  EXPECT_EQ(startup_language(std::nullopt, settings), Language::German);
}

TEST(DesktopLanguage, QtDialogButtonsFollowTheLanguage) {
  auto buttons = [] {
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    return QString(box.button(QDialogButtonBox::Cancel)->text() + "|" +
                   box.button(QDialogButtonBox::Open)->text())
        .remove('&')
        .toStdString();
  };
  ASSERT_TRUE(install_qt_translation(Language::German));
  EXPECT_EQ(buttons(), "Abbrechen|Öffnen");
  install_qt_translation(Language::English);
  EXPECT_EQ(buttons(), "Cancel|Open");
}

}  // namespace
}  // namespace ziva::testing
