#pragma once

// The little of SVG the plot needs: elements with attributes written into one string,
// text escaped for XML, and linear axes with ticks at round numbers.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace survseq::run {

// A linear map from data values to pixels, with ticks at round numbers (1, 2 or 5 times
// a power of ten) that span the data.
struct Axis {
  double low = 0.0;  // data values at the ends of the axis
  double high = 1.0;
  double pixelLow = 0.0;  // where `low` and `high` are drawn
  double pixelHigh = 1.0;
  std::vector<double> ticks;

  double pixel(double value) const {
    return pixelLow + (value - low) / (high - low) * (pixelHigh - pixelLow);
  }
};

// About `tickCount` intervals over [low, high], widened to round ends. A range without
// width gets one round step on either side.
Axis roundAxis(double low, double high, double pixelLow, double pixelHigh, int tickCount);

// A tick's label: as few decimals as the step of the ticks needs.
std::string tickLabel(double value, double step);

class SvgCanvas {
 public:
  using Attributes = std::initializer_list<std::pair<std::string_view, std::string>>;

  SvgCanvas(int width, int height, std::string_view title);

  void open(std::string_view tag, Attributes attributes);
  void close(std::string_view tag);
  void element(std::string_view tag, Attributes attributes);
  void text(double x, double y, std::string_view content, Attributes attributes = {});
  void line(double x1, double y1, double x2, double y2, std::string_view stroke,
            Attributes more = {});

  // Closes the document and returns it.
  std::string finish();

 private:
  void startTag(std::string_view tag, Attributes attributes);
  void appendAttributes(Attributes attributes);
  std::string svg_;
};

// A coordinate to a tenth of a pixel.
std::string px(double value);

// `text` with &, <, > and " written as entities.
std::string xmlEscaped(std::string_view text);

}  // namespace survseq::run
