#include "desktop_fixture.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSet>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>

namespace ziva::testing {

namespace {

// One application object for the whole test program, drawing offscreen.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);
  }
  void TearDown() override {
    process_events();
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "test_qt";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

void process_events() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void click(QWidget* w, Qt::MouseButton button, QPoint where, Qt::KeyboardModifiers mods) {
  ASSERT_NE(w, nullptr);
  QPointF at = where.x() < 0 ? QPointF(w->width() / 2.0, w->height() / 2.0) : QPointF(where);
  QPointF global = w->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, mods);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, mods);
  QApplication::sendEvent(w, &release);
}

void tick(QCheckBox* box) {
  ASSERT_NE(box, nullptr);
  QStyleOptionButton option;
  option.initFrom(box);
  QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
  click(box, Qt::LeftButton, mark.center());
}

void type_into(QLineEdit* edit, const std::string& text) {
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  edit->selectAll();
  for (QChar ch : QString::fromStdString(text)) {
    QKeyEvent press(QEvent::KeyPress, ch.toUpper().unicode(), Qt::NoModifier, QString(ch));
    QApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, ch.toUpper().unicode(), Qt::NoModifier, QString(ch));
    QApplication::sendEvent(edit, &release);
  }
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(edit, &enter);
}

void choose_entry(QComboBox* combo, int index) {
  ASSERT_NE(combo, nullptr);
  for (int guard = 0; combo->currentIndex() != index && guard < 64; ++guard) {
    int key = combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(combo, &press);
  }
}

int colour_count(const QImage& image) {
  QSet<QRgb> seen;
  QImage img = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) seen.insert(img.pixel(x, y));
  return static_cast<int>(seen.size());
}

void DesktopTest::TearDown() {
  desktop_.reset();
  program_.reset();
  services_.reset();
  process_events();
}

void DesktopTest::open() {
  services_ = std::make_unique<QtServices>(std::make_unique<ScriptedDialogs>(script_));
  program_ = std::make_unique<Program>(*services_);
  desktop_ = std::make_unique<Desktop>(*program_, *services_);
}

void DesktopTest::start() {
  open();
  ASSERT_TRUE(desktop_->start());
  process_events();
}

QWidget* DesktopTest::widget(Handle h) {
  FigureWindow* w = desktop_->window(g().parent(h));
  return w ? w->control_widget(h) : nullptr;
}

QWidget* DesktopTest::widget(const std::string& tag) {
  return widget(ctl(tag));
}

}  // namespace ziva::testing
