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

  // The figure drawn on a white canvas of `size` pixels at `ppp` pixels per point (0: the
  // figure's width fills the canvas).
  static QImage draw(const Graphics& g, Handle fig, QSize size, double ppp = 0) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    RenderOptions o;
    o.pixels_per_point = ppp;
    render_figure(g, fig, p, size, o);
    p.end();
    return img;
  }

  // A white figure in pixels with one axes filling it (no frame, no labels) and the given limits.
  static Handle plain_axes(Graphics& g, double xmax, double ymax, Handle* fig_out = nullptr,
                           int w = 400, int h = 300) {
    Handle fig = g.figure({{"Units", "pixels"},
                           {"Position", Value::row({0, 0, double(w), double(h)})},
                           {"Color", "w"}});
    Handle ax = g.axes(fig, {{"Position", Value::row({0, 0, 1, 1})},
                             {"XLim", Value::row({0, xmax})},
                             {"YLim", Value::row({0, ymax})},
                             {"XTick", Value::empty_matrix()},
                             {"YTick", Value::empty_matrix()},
                             {"Visible", "off"}});
    g.hold(ax, true);
    if (fig_out != nullptr) *fig_out = fig;
    return ax;
  }
};

}  // namespace ziva::testing
