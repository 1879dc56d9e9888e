// A fresh working directory and a started Qt GUI for the renderer tests.
#pragma once

#include <QImage>
#include <QPainter>

#include "platform/render/print.h"
#include "platform/render/renderer.h"
#include "support/work_dir.h"

namespace ziva::testing {

class RenderTest : public WorkDirTest {
 protected:
  void SetUp() override { ensure_gui(); }

 public:
  // The figure drawn on a white canvas of `size` pixels at `ppp` pixels per point (0: the
  // figure's width fills the canvas), in the window layout without controls when asked.
  static QImage draw(const Graphics& g, Handle fig, QSize size, double ppp = 0,
                     bool window_layout = false) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    RenderOptions o;
    o.pixels_per_point = ppp;
    o.controls = !window_layout;
    o.screen_layout = window_layout;
    render_figure(g, fig, p, size, o);
    p.end();
    return img;
  }
};

}  // namespace ziva::testing
