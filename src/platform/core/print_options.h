// How a print is laid out, handed from the evaluation through the print service to the renderer.
#pragma once

namespace ziva {

struct PrintOptions {
  // False: the print keeps the figure's own ticks, places and fitted control fonts. True: it is
  // drawn in the window layout at the print's size (see RenderOptions::screen_layout), texts that
  // do not fit their box wrapped instead of shrunk or cut.
  bool window_layout = false;
};

}  // namespace ziva
