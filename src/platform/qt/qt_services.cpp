#include "platform/qt/qt_services.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <cstdio>

#include "base/error.h"
#include "platform/qt/desktop.h"
#include "platform/qt/layout.h"
#include "ui/strings.h"

namespace ziva {

namespace {

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

// A question whose window can be closed (or left with Escape) without pressing either button.
class QuestionBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void closeEvent(QCloseEvent* e) override { QDialog::closeEvent(e); }
  void keyPressEvent(QKeyEvent* e) override {
    if (e->matches(QKeySequence::Cancel)) {
      reject();
      return;
    }
    QMessageBox::keyPressEvent(e);
  }
};

// "asc" for "*.asc"; nothing for "*.*" or a list of patterns.
QString suffix_of(const std::string& pattern) {
  QString p = qs(pattern).trimmed();
  if (!p.startsWith("*.")) return {};
  QString ext = p.mid(2);
  if (ext.isEmpty() || ext.contains('*') || ext.contains(';') || ext.contains(' ')) return {};
  return ext;
}

// The message boxes the program has open, oldest first. A new one that follows while earlier ones
// are still open steps down and right from the newest of them, so that none hides another.
void cascade_message(QWidget* box) {
  static std::vector<QPointer<QWidget>> open;
  std::erase_if(open, [](const QPointer<QWidget>& w) { return w.isNull() || !w->isVisible(); });
  if (!open.empty()) {
    QWidget* last = open.back();
    box->adjustSize();
    QScreen* screen = last->screen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    box->move(cascade_step(last->pos(), box->frameGeometry().size(), avail, 24));
  }
  open.emplace_back(box);
}

}  // namespace

QStringList name_filters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const auto& f : filters) {
    QString patterns = qs(f.pattern).replace(';', ' ').simplified();
    QString description = qs(f.description).trimmed();
    if (description.isEmpty()) {
      out << patterns;
    } else if (description.contains("(" + patterns + ")")) {
      out << description;
    } else {
      out << description + " (" + patterns + ")";
    }
  }
  return out;
}

std::unique_ptr<QFileDialog> make_file_dialog(QWidget* parent,
                                              const std::vector<FileFilter>& filters,
                                              const std::string& title, bool save) {
  auto dialog = std::make_unique<QFileDialog>(parent, qs(title), QDir::currentPath());
  QStringList rows = name_filters(filters);
  dialog->setNameFilters(rows);
  if (save) {
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    std::vector<QString> suffixes;
    for (const auto& f : filters) suffixes.push_back(suffix_of(f.pattern));
    if (!suffixes.empty()) dialog->setDefaultSuffix(suffixes.front());
    QFileDialog* d = dialog.get();
    QObject::connect(d, &QFileDialog::filterSelected, d, [d, rows, suffixes](const QString& row) {
      auto i = rows.indexOf(row);
      d->setDefaultSuffix(i >= 0 ? suffixes[static_cast<std::size_t>(i)] : QString());
    });
  } else {
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
  }
  return dialog;
}

FileChoice file_choice(const QFileDialog& dialog, bool accepted) {
  FileChoice c;
  QStringList files = dialog.selectedFiles();
  if (!accepted || files.isEmpty() || files.front().isEmpty()) return c;
  QFileInfo info(files.front());
  QString dir = info.absolutePath();
  if (!dir.endsWith('/')) dir += '/';
  c.cancelled = false;
  c.name = info.fileName().toStdString();
  c.dir = dir.toStdString();
  return c;
}

FileChoice QtDialogs::open_file(QWidget* parent, const std::vector<FileFilter>& filters,
                                const std::string& title) {
  auto dialog = make_file_dialog(parent, filters, title, false);
  bool ok = dialog->exec() == QDialog::Accepted;
  return file_choice(*dialog, ok);
}

FileChoice QtDialogs::save_file(QWidget* parent, const std::vector<FileFilter>& filters,
                                const std::string& title) {
  auto dialog = make_file_dialog(parent, filters, title, true);
  bool ok = dialog->exec() == QDialog::Accepted;
  return file_choice(*dialog, ok);
}

std::optional<std::string> QtDialogs::question(QWidget* parent, const std::string& text,
                                               const std::string& title, const std::string& button1,
                                               const std::string& button2,
                                               const std::string& default_button) {
  QuestionBox box(QMessageBox::Question, qs(title), qs(text), QMessageBox::NoButton, parent);
  QPushButton* b1 = box.addButton(qs(button1), QMessageBox::ActionRole);
  QPushButton* b2 = box.addButton(qs(button2), QMessageBox::ActionRole);
  if (default_button == button1) box.setDefaultButton(b1);
  if (default_button == button2) box.setDefaultButton(b2);
  box.exec();
  QAbstractButton* pressed = box.clickedButton();
  if (pressed == b1) return button1;
  if (pressed == b2) return button2;
  return std::nullopt;
}

void QtDialogs::error(QWidget* parent, const std::string& message, const std::string& title) {
  auto* box =
      new QMessageBox(QMessageBox::Critical, qs(title), qs(message), QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  cascade_message(box);
  box->show();
  bring_to_front(box);
}

void QtDialogs::warning(QWidget* parent, const std::string& text) {
  // Warnings of one piece of work gather in one window instead of piling up.
  static QPointer<QMessageBox> box;
  if (box && box->isVisible()) {
    box->setText(box->text() + "\n" + qs(text));
    return;
  }
  box = new QMessageBox(QMessageBox::Warning, qs(st_text(strings(), "warning_title")), qs(text),
                        QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  cascade_message(box);
  box->show();
}

std::optional<Eigen::RowVector3d> QtDialogs::color(QWidget* parent,
                                                   const Eigen::RowVector3d& preset) {
  auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
  QColorDialog dialog(
      QColor::fromRgbF(static_cast<float>(unit(preset(0))), static_cast<float>(unit(preset(1))),
                       static_cast<float>(unit(preset(2)))),
      parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  QColor c = dialog.selectedColor();
  if (!c.isValid()) return std::nullopt;
  return Eigen::RowVector3d(c.redF(), c.greenF(), c.blueF());
}

QtServices::QtServices(std::unique_ptr<DialogBackend> dialogs)
    : dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>()) {}

QtServices::~QtServices() = default;

QWidget* QtServices::parent() const {
  return desktop_ ? desktop_->dialog_parent() : nullptr;
}

FileChoice QtServices::get_file(const std::vector<FileFilter>& filters, const std::string& title) {
  return dialogs_->open_file(parent(), filters, title);
}

FileChoice QtServices::put_file(const std::vector<FileFilter>& filters, const std::string& title) {
  return dialogs_->save_file(parent(), filters, title);
}

std::optional<std::string> QtServices::question(const std::string& question,
                                                const std::string& title,
                                                const std::string& button1,
                                                const std::string& button2,
                                                const std::string& default_button) {
  return dialogs_->question(parent(), question, title, button1, button2, default_button);
}

void QtServices::error_dialog(const std::string& message, const std::string& title) {
  dialogs_->error(parent(), message, title.empty() ? st_text(strings(), "error_title") : title);
}

std::optional<Eigen::RowVector3d> QtServices::choose_color(const Eigen::RowVector3d& preset) {
  return dialogs_->color(parent(), preset);
}

void QtServices::pause(double seconds) {
  if (desktop_) desktop_->pause(seconds);
}

void QtServices::drawnow() {
  if (desktop_) desktop_->drawnow();
}

void QtServices::print(Handle figure, const std::string& device, const std::string& file,
                       const PrintOptions& options) {
  if (!desktop_) throw Error("No window system to print with.");
  desktop_->print(figure, device, file, options);
}

void QtServices::zoom(Handle figure, bool on, ZoomDrag drag) {
  if (desktop_) desktop_->set_zoom(figure, on, drag);
}

void QtServices::show_warning(const std::string& text) {
  std::fprintf(stderr, "Warning: %s\n", text.c_str());
  dialogs_->warning(parent(), text);
}

}  // namespace ziva
